#include "tools/ltcsource/LtcSignal.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <sys/time.h>

namespace {

constexpr double kStallSeconds = 0.5;

double monotonicSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double localTimeOfDaySeconds()
{
    timeval tv {};
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    tm local {};
    localtime_r(&secs, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + tv.tv_usec / 1e6;
}

bool isDropFrame(double fps) { return std::fabs(fps - 29.97) < 0.01; }

double exactRate(double fps) { return isDropFrame(fps) ? 30000.0 / 1001.0 : fps; }

LTC_TV_STANDARD standardFor(double fps)
{
    if (fps < 24.5)
        return LTC_TV_FILM_24;
    if (fps < 27.5)
        return LTC_TV_625_50;
    return LTC_TV_525_60;
}

SMPTETimecode labelForNominalFrame(int64_t n, int nominal)
{
    SMPTETimecode tc {};
    std::memcpy(tc.timezone, "+0000", 6);
    tc.frame = static_cast<unsigned char>(n % nominal);
    const int64_t seconds = n / nominal;
    tc.secs = static_cast<unsigned char>(seconds % 60);
    tc.mins = static_cast<unsigned char>((seconds / 60) % 60);
    tc.hours = static_cast<unsigned char>((seconds / 3600) % 24);
    return tc;
}

// Where a generator set to the time of day is at `tod`: the label and how far
// into that frame. Drop-frame labels are counted from the last ten-minute mark
// of the clock, where they meet the time of day (ten minutes are 17982 frames
// at 29.97, to a fraction of a millisecond); in between they read up to two
// frames slow.
SMPTETimecode labelAt(double tod, double fps, double &intoFrame)
{
    const int nominal = int(std::lround(fps));
    if (!isDropFrame(fps)) {
        const double position = tod * nominal;
        const auto n = static_cast<int64_t>(std::floor(position));
        intoFrame = position - double(n);
        return labelForNominalFrame(n, nominal);
    }
    const double cycleStart = std::floor(tod / 600.0) * 600.0;
    const double position = (tod - cycleStart) * 30000.0 / 1001.0;
    auto k = static_cast<int64_t>(std::floor(position));
    intoFrame = position - double(k);
    // Frames 0 and 1 of minutes 1 to 9 of the ten are skipped labels.
    k += k >= 2 ? 2 * ((k - 2) / 1798) : 0;
    return labelForNominalFrame(int64_t(cycleStart) * 30 + k, 30);
}

} // namespace

void LtcSignal::EncoderDeleter::operator()(LTCEncoder *e) const { ltc_encoder_free(e); }

LtcSignal::LtcSignal(const Settings &settings)
    : settings_(settings)
    , encoder_(ltc_encoder_create(settings.rate, exactRate(settings.fps), standardFor(settings.fps), 0))
{
    // Full scale in 8 bits, scaled to the wanted level in float: finer than
    // asking libltc for a low level in its 8-bit samples.
    ltc_encoder_set_volume(encoder_.get(), 0.0);
    ltc_encoder_set_user_bits(encoder_.get(), settings.userBits);
    frameSamples_.resize(ltc_encoder_get_buffersize(encoder_.get()));
    gain_ = float(std::pow(10.0, settings.levelDbfs / 20.0));
}

LtcSignal::~LtcSignal() = default;

void LtcSignal::syncToWallClock()
{
    double tod = std::fmod(localTimeOfDaySeconds() + settings_.offsetSeconds, 86400.0);
    if (tod < 0)
        tod += 86400.0;
    double intoFrame = 0;
    SMPTETimecode tc = labelAt(tod, settings_.fps, intoFrame);
    ltc_encoder_reset(encoder_.get());
    ltc_encoder_set_timecode(encoder_.get(), &tc);
    ltc_encoder_set_user_bits(encoder_.get(), settings_.userBits);
    ltc_encoder_encode_frame(encoder_.get());
    frameLength_ = size_t(ltc_encoder_copy_buffer(encoder_.get(), frameSamples_.data()));
    // Start inside the frame so its first sample lines up with the wall clock.
    framePosition_ = std::min(frameLength_, size_t(intoFrame * double(frameLength_)));
    monotonicStart_ = monotonicSeconds();
    framesOut_ = 0;
    synced_ = true;
}

void LtcSignal::encodeNextFrame()
{
    ltc_encoder_inc_timecode(encoder_.get());
    ltc_encoder_encode_frame(encoder_.get());
    frameLength_ = size_t(ltc_encoder_copy_buffer(encoder_.get(), frameSamples_.data()));
    framePosition_ = 0;
}

size_t LtcSignal::fill(float *out, size_t frames)
{
    if (!synced_ || monotonicSeconds() - (monotonicStart_ + double(framesOut_) / settings_.rate) > kStallSeconds)
        syncToWallClock();

    const uint32_t channels = settings_.channels;
    const double toneStep = 2.0 * M_PI * 1000.0 / settings_.rate;
    for (size_t i = 0; i < frames; ++i) {
        if (framePosition_ >= frameLength_)
            encodeNextFrame();
        const float ltc = (float(frameSamples_[framePosition_++]) - 128.0f) / 127.0f * gain_;
        const float other = settings_.toneOnOtherChannels ? gain_ * float(std::sin(tonePhase_)) : 0.0f;
        tonePhase_ = std::fmod(tonePhase_ + toneStep, 2.0 * M_PI);
        for (uint32_t c = 0; c < channels; ++c)
            out[i * channels + c] = c == settings_.ltcChannel ? ltc : other;
    }
    framesOut_ += frames;
    return frames;
}

void LtcSignal::skip(size_t frames)
{
    if (!synced_)
        return;
    for (size_t left = frames; left > 0;) {
        if (framePosition_ >= frameLength_)
            encodeNextFrame();
        const size_t n = std::min(left, frameLength_ - framePosition_);
        framePosition_ += n;
        left -= n;
    }
    framesOut_ += frames;
}
