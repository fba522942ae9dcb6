#pragma once

#include <cstdint>
#include <memory>

// Called on the audio thread once per captured buffer: the total number of
// interleaved float samples, the number of interleaved channels (the stride)
// and the samples. Must not allocate or lock.
using SampleCallback = int (*)(uint32_t sampleCount, uint32_t stride, const float *samples);

// Captures one audio device's input and hands every buffer to the callback on
// the audio server's real-time thread. One per process.
class AudioCapture {
public:
    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture &) = delete;
    AudioCapture &operator=(const AudioCapture &) = delete;

    // 1 when the device was handed to configure(), else 0 (no such device, no
    // callback, already started). Diagnostics go to buffered standard output.
    int startPlayback(double rate, int32_t bufferSize, int32_t deviceNumber, SampleCallback callback);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
