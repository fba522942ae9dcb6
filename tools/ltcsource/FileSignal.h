#pragma once

#include "tools/ltcsource/SignalSource.h"

#include <string>
#include <vector>

// An audio file read whole with libsndfile before the node goes live, so the
// data thread never touches the disk.
class FileSignal : public SignalSource {
public:
    // rawFormat "u8", "s16" or "f32" reads headerless data with the given
    // rate and channels; empty means the file says what it is.
    FileSignal(const std::string &path, const std::string &rawFormat, uint32_t rawRate, uint32_t rawChannels, bool loop);

    bool ok() const { return error_.empty(); }
    const std::string &error() const { return error_; }

    uint32_t rate() const override { return rate_; }
    uint32_t channels() const override { return channels_; }
    size_t fill(float *out, size_t frames) override;

private:
    std::vector<float> samples_;
    uint32_t rate_ = 0;
    uint32_t channels_ = 0;
    size_t position_ = 0; // in frames
    bool loop_ = false;
    std::string error_;
};
