#include "tools/ltcsource/FileSignal.h"

#include <sndfile.h>
#include <spa/param/audio/raw.h>

#include <algorithm>
#include <cstring>
#include <memory>

FileSignal::FileSignal(const std::string &path, const std::string &rawFormat, uint32_t rawRate, uint32_t rawChannels, bool loop)
    : loop_(loop)
{
    SF_INFO info {};
    if (!rawFormat.empty()) {
        int subtype = 0;
        if (rawFormat == "u8")
            subtype = SF_FORMAT_PCM_U8;
        else if (rawFormat == "s16")
            subtype = SF_FORMAT_PCM_16;
        else if (rawFormat == "f32")
            subtype = SF_FORMAT_FLOAT;
        else {
            error_ = "unknown raw sample format \"" + rawFormat + "\" (use u8, s16 or f32)";
            return;
        }
        info.format = SF_FORMAT_RAW | subtype;
        info.samplerate = int(rawRate);
        info.channels = int(rawChannels);
    }
    std::unique_ptr<SNDFILE, int (*)(SNDFILE *)> file(sf_open(path.c_str(), SFM_READ, &info), sf_close);
    if (!file) {
        error_ = "cannot read \"" + path + "\": " + sf_strerror(nullptr);
        return;
    }
    if (info.channels < 1 || info.samplerate < 1 || info.frames < 1) {
        error_ = "\"" + path + "\" holds no audio";
        return;
    }
    if (uint32_t(info.channels) > SPA_AUDIO_MAX_CHANNELS) {
        error_ = "\"" + path + "\" has " + std::to_string(info.channels)
            + " channels; an audio node carries at most " + std::to_string(SPA_AUDIO_MAX_CHANNELS);
        return;
    }
    rate_ = uint32_t(info.samplerate);
    channels_ = uint32_t(info.channels);
    samples_.resize(size_t(info.frames) * channels_);
    const sf_count_t got = sf_readf_float(file.get(), samples_.data(), info.frames);
    samples_.resize(size_t(std::max<sf_count_t>(got, 0)) * channels_);
    if (samples_.empty())
        error_ = "\"" + path + "\" holds no audio";
}

size_t FileSignal::fill(float *out, size_t frames)
{
    const size_t total = samples_.size() / channels_;
    size_t written = 0;
    while (written < frames) {
        if (position_ >= total) {
            if (!loop_)
                break;
            position_ = 0;
        }
        const size_t n = std::min(frames - written, total - position_);
        std::memcpy(out + written * channels_, samples_.data() + position_ * channels_, n * channels_ * sizeof(float));
        written += n;
        position_ += n;
    }
    return written;
}
