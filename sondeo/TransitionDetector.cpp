#include "sondeo/TransitionDetector.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <unistd.h>

namespace {
std::atomic<TransitionDetector *> installedDetector{nullptr};
}

TransitionDetector::TransitionDetector(int32_t side, ByteSink sink, void *context, BufferCheck check)
    : side_(side), sink_(sink), context_(context), check_(check)
{
}

void TransitionDetector::writeToDescriptor(void *fdPointer, uint8_t interval)
{
    const int fd = *static_cast<const int *>(fdPointer);
    while (write(fd, &interval, 1) < 0 && errno == EINTR) {
    }
}

int TransitionDetector::processBuffer(uint32_t sampleCount, uint32_t stride, const float *samples)
{
    if (check_ && !check_())
        return 0;
    // A channel outside the frame would silently decode a different channel
    // (or, when negative, read before the buffer): skip such buffers.
    if (stride == 0 || side_ < 0 || static_cast<uint32_t>(side_) >= stride || !samples)
        return 0;

    // 64-bit index: the step past the last frame must not wrap around.
    for (uint64_t i = static_cast<uint32_t>(side_); i < sampleCount; i += stride) {
        const float s = samples[i];
        const float magnitude = std::min(s < 0.0f ? -s : s, kPeakCeiling);
        peak_ = magnitude > peak_ ? magnitude : peak_ * kPeakDecay;
        if (peak_ < 1e-6f)
            peak_ = 0.0f; // no denormals during long silence
        const float upper = std::max(kThresholdFloor, peak_ * kHysteresisFraction);
        ++samplesSinceTransition_;
        if (s > upper && polarity_ != 1) {
            emit(samplesSinceTransition_);
            samplesSinceTransition_ = 0;
            polarity_ = 1;
            silent_ = 0;
        } else if (s < -upper && polarity_ != 0) {
            emit(samplesSinceTransition_);
            samplesSinceTransition_ = 0;
            polarity_ = 0;
            silent_ = 0;
        } else if (samplesSinceTransition_ > kSilenceLimit) {
            if (!silent_)
                emit(samplesSinceTransition_);
            silent_ = 1;
            samplesSinceTransition_ = 0;
        }
    }
    return 0;
}

void TransitionDetector::install(TransitionDetector *detector)
{
    installedDetector.store(detector, std::memory_order_release);
}

int TransitionDetector::processSamples(uint32_t sampleCount, uint32_t stride, const float *samples)
{
    TransitionDetector *detector = installedDetector.load(std::memory_order_acquire);
    if (detector)
        detector->processBuffer(sampleCount, stride, samples);
    return 0;
}
