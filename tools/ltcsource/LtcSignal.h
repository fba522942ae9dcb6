#pragma once

#include "tools/ltcsource/SignalSource.h"

#include <memory>
#include <vector>

struct LTCEncoder;

// LTC of the local time of day plus an offset, produced by libltc's encoder.
// Time advances with the samples handed out (the audio clock); after a stall
// of the graph (nothing pulled the node) it jumps back to the wall clock.
class LtcSignal : public SignalSource {
public:
    struct Settings {
        double fps = 25.0;          // 24, 25, 29.97 (drop-frame) or 30
        double offsetSeconds = 0.0; // added to the local time of day
        double levelDbfs = -12.0;
        uint32_t rate = 48000;
        uint32_t channels = 1;
        uint32_t ltcChannel = 0;
        bool toneOnOtherChannels = false; // else silence
        uint32_t userBits = 0;
    };

    explicit LtcSignal(const Settings &settings);
    ~LtcSignal() override;
    LtcSignal(const LtcSignal &) = delete;
    LtcSignal &operator=(const LtcSignal &) = delete;

    uint32_t rate() const override { return settings_.rate; }
    uint32_t channels() const override { return settings_.channels; }
    size_t fill(float *out, size_t frames) override;
    void skip(size_t frames) override;

private:
    void syncToWallClock();
    void encodeNextFrame();

    Settings settings_;
    struct EncoderDeleter { void operator()(LTCEncoder *e) const; };
    std::unique_ptr<LTCEncoder, EncoderDeleter> encoder_;
    std::vector<unsigned char> frameSamples_;
    size_t frameLength_ = 0;
    size_t framePosition_ = 0;
    float gain_ = 0.0f;
    double tonePhase_ = 0.0;
    // Monotonic time at which the first handed-out sample was due, and how
    // many frames have been handed out since; used to notice graph stalls.
    double monotonicStart_ = 0.0;
    uint64_t framesOut_ = 0;
    bool synced_ = false;
};
