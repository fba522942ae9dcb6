#include "sondeo/BiphaseDecoder.h"

#include <algorithm>
#include <iterator>

namespace {

// The sync word (bits 64-79: 0 0 1 1 1 1 1 1 1 1 1 1 1 1 0 1) as intervals,
// forward only: a zero is one long interval, a one two short ones.
constexpr bool kSyncIsShort[BiphaseDecoder::kSyncIntervals] = {
    false, false,
    true, true, true, true, true, true, true, true, true, true, true, true,
    true, true, true, true, true, true, true, true, true, true, true, true,
    false, true, true,
};

constexpr int32_t kSyncBits[16] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1};

constexpr int kSyncBitCount = 16;
constexpr int kFrameBitCount = 80;

} // namespace

BiphaseDecoder::BiphaseDecoder(FrameSink sink, void *context)
    : sink_(sink), context_(context)
{
}

void BiphaseDecoder::feed(uint8_t byte)
{
    const int32_t a = static_cast<int8_t>(byte);
    const int32_t isShort = static_cast<float>(a) < kThreshold ? 1 : 0;
    const int32_t valid = (a >= kMinValid && a <= kMaxValid) ? 1 : 0;

    if (isShort) {
        ++shortRun_;
    } else {
        // A one-bit is two half cells: an odd run before a long interval
        // means the half-bit phase was lost, so whatever was assembled is void.
        if (shortRun_ % 2 != 0)
            push({kBreakInterval, 0, 0});
        shortRun_ = 0;
    }
    push({a, isShort, valid});
}

void BiphaseDecoder::push(Entry e)
{
    history_[historyCount_] = e;
    ++historyCount_;
    if (!e.valid) {
        historyCount_ = 0;
        framePending_ = 0;
    }

    if (historyCount_ < kSyncIntervals)
        return;

    if (historyCount_ == kSyncIntervals) {
        if (matchesSyncWord()) {
            // The frame's own sync word closes it: only now is it known to
            // be 64 bits of one frame and not a splice of a lost audio block.
            if (framePending_) {
                framePending_ = 0;
                if (sink_)
                    sink_(context_, pendingFrame_);
            }
            std::copy(std::begin(kSyncBits), std::end(kSyncBits), bits_);
            bitCount_ = kSyncBitCount;
        } else {
            framePending_ = 0;
            std::copy(history_ + 1, history_ + kSyncIntervals, history_);
            historyCount_ = kSyncIntervals - 1;
        }
        return;
    }

    assembleBit(e);
}

bool BiphaseDecoder::matchesSyncWord() const
{
    for (int i = 0; i < kSyncIntervals; ++i) {
        if ((history_[i].isShort != 0) != kSyncIsShort[i])
            return false;
    }
    return true;
}

void BiphaseDecoder::assembleBit(const Entry &e)
{
    if (!e.isShort) {
        halfBitPending_ = 0;
        bits_[bitCount_++] = 0;
    } else if (!halfBitPending_) {
        halfBitPending_ = 1;
    } else {
        bits_[bitCount_++] = 1;
        halfBitPending_ = 0;
    }

    if (bitCount_ == kFrameBitCount) {
        pendingFrame_ = decodeFrame();
        framePending_ = 1;
        historyCount_ = 0;
        bitCount_ = 0;
    }
}

int32_t BiphaseDecoder::field(int firstDataBit, int width) const
{
    int32_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= bits_[kSyncBitCount + firstDataBit + i] << i;
    return value;
}

LtcFrame BiphaseDecoder::decodeFrame() const
{
    LtcFrame f;
    f.frameUnits = field(0, 4);
    f.userBits1 = field(4, 4);
    f.frameTens = field(8, 2);
    f.dropFrame = field(10, 1);
    f.colourFrame = field(11, 1);
    f.userBits2 = field(12, 4);
    f.secondUnits = field(16, 4);
    f.userBits3 = field(20, 4);
    f.secondTens = field(24, 3);
    f.userBits4 = field(28, 4);
    f.minuteUnits = field(32, 4);
    f.userBits5 = field(36, 4);
    f.minuteTens = field(40, 3);
    f.userBits6 = field(44, 4);
    f.hourUnits = field(48, 4);
    f.userBits7 = field(52, 4);
    f.hourTens = field(56, 2);
    f.userBits8 = field(60, 4);
    return f;
}
