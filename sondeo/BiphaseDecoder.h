#pragma once

#include "sondeo/LtcFrame.h"

#include <cstdint>

// Turns the interval bytes of the TransitionDetector into LTC frames: each
// interval is a half bit cell (short) or a whole one (long); after a forward
// sync word the next 64 data bits are assembled as biphase mark. The frame
// goes to the sink when the 29 intervals that follow are its own sync word:
// a lost or repeated audio block splices the signal, and 64 bits taken
// across a splice would otherwise come out as a plausible but wrong time.
//
// Fixed-size state, no allocation: one instance per process, fed on the
// main thread only.
class BiphaseDecoder {
public:
    using FrameSink = void (*)(void *context, const LtcFrame &frame);

    static constexpr float kThreshold = 15.0f;   // samples; below is a half cell
    static constexpr int kMinValid = 4;
    static constexpr int kMaxValid = 39;
    static constexpr int kSyncIntervals = 29;    // the sync word, in intervals
    static constexpr int32_t kBreakInterval = 101;

    BiphaseDecoder(FrameSink sink, void *context);

    // One interval byte, as written by the detector (taken as signed 8-bit).
    void feed(uint8_t byte);

private:
    struct Entry {
        int32_t interval;
        int32_t isShort;
        int32_t valid;
    };

    void push(Entry e);
    bool matchesSyncWord() const;
    void assembleBit(const Entry &e);
    LtcFrame decodeFrame() const;
    int32_t field(int firstDataBit, int width) const;

    FrameSink sink_;
    void *context_;

    int32_t shortRun_ = 0;
    int32_t historyCount_ = 0;
    Entry history_[200] = {};
    int32_t bitCount_ = 0;
    int32_t bits_[100] = {};
    int32_t halfBitPending_ = 0;
    int32_t framePending_ = 0; // pendingFrame_ awaits its sync word
    LtcFrame pendingFrame_;
};
