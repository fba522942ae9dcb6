// The decoder's handling of interval lengths, sync words and silence, and
// the frame line it leads to, on hand-made square waves.

#include "LtcTestSignal.h"

#include "sondeo/LineWriter.h"
#include "sondeo/TransitionDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>

using namespace ltctest;

namespace {

EncodedFrame makeFrame(int h, int m, int s, int f, std::array<int, 8> userBits)
{
    EncodedFrame frame;
    frame.hours = h;
    frame.minutes = m;
    frame.seconds = s;
    frame.frames = f;
    frame.userBits = userBits;
    return frame;
}

const std::vector<EncodedFrame> kFrames = {
    makeFrame(1, 2, 3, 4, {1, 2, 3, 4, 5, 6, 7, 8}),
    makeFrame(12, 34, 56, 7, {15, 0, 9, 3, 12, 1, 6, 10}),
    makeFrame(23, 59, 59, 29, {0, 0, 0, 0, 15, 15, 15, 15}),
    makeFrame(0, 0, 0, 0, {5, 10, 5, 10, 5, 10, 5, 10}),
};

using Segments = std::vector<int>;

Segments segmentsOf(int index, int shortLength, int longLength)
{
    return frameSegments(kFrames[static_cast<std::size_t>(index)].dataBits(), shortLength, longLength);
}

// Frames [first, end) back to back between two whole cells; `change` may
// edit frame 2's segments.
Segments framesBetween(int first, int end, int shortLength, int longLength,
                       const std::function<void(Segments &)> &change = {})
{
    Segments all = {longLength};
    for (int i = first; i < end; ++i) {
        Segments frame = segmentsOf(i, shortLength, longLength);
        if (i == 2 && change)
            change(frame);
        all.insert(all.end(), frame.begin(), frame.end());
    }
    all.push_back(longLength);
    return all;
}

std::vector<float> fourFrames(int shortLength, int longLength,
                              const std::function<void(Segments &)> &change = {})
{
    return squareWave(framesBetween(0, 4, shortLength, longLength, change));
}

std::size_t firstLong(const Segments &segments, int longLength)
{
    return static_cast<std::size_t>(std::find(segments.begin(), segments.end(), longLength) - segments.begin());
}

struct EdgeCase {
    const char *name;
    std::function<std::vector<float>()> samples;
    std::vector<int> expectedFrames; // indices into kFrames
    int silenceBytes;
};

TEST(IntervalEdgeCases, Table)
{
    const std::vector<EdgeCase> cases = {
        {"half cells of 14 samples are short", [] { return fourFrames(14, 28); }, {1, 2, 3}, 0},
        {"whole cells of 15 samples are long", [] { return fourFrames(7, 15); }, {1, 2, 3}, 0},
        {"a cell of 14 is no whole cell", [] { return fourFrames(7, 14); }, {}, 0},
        {"shortest and longest valid intervals", [] { return fourFrames(4, 39); }, {1, 2, 3}, 0},
        // Two of them, so they would pass for a one-bit if 3 were valid.
        {"an interval of 3 drops the frame being assembled",
         [] { return fourFrames(10, 20, [](Segments &s) { s.insert(s.begin() + 12, {3, 3}); }); }, {1, 3}, 0},
        {"an interval of 40 drops the frame being assembled",
         [] { return fourFrames(10, 20, [](Segments &s) { s[firstLong(s, 20)] = 40; }); }, {1, 3}, 0},
        {"an odd run of short intervals drops the frame being assembled",
         [] { return fourFrames(10, 20, [](Segments &s) { s.insert(s.begin() + firstLong(s, 20), 10); }); },
         {1, 3}, 0},
        // A lost audio block: 64 bits taken across it look like a frame,
        // but what follows them is no sync word.
        {"a frame spliced by a lost block is not handed on",
         [] {
             Segments all = framesBetween(0, 2, 10, 20);
             all.pop_back(); // frame 2 follows frame 1 directly
             const std::array<int, 64> data = kFrames[2].dataBits();
             std::vector<int> spliced(data.begin(), data.begin() + 20);
             spliced.insert(spliced.end(), data.begin() + 34, data.end()); // bits 20-33 lost
             const Segments frame = frameSegments(spliced, 10, 20);
             all.insert(all.end(), frame.begin(), frame.end());
             const Segments rest = framesBetween(3, 4, 10, 20);
             all.insert(all.end(), rest.begin() + 1, rest.end());
             return squareWave(all);
         },
         {1}, 0},
        {"backwards code is never recognised",
         [] {
             std::vector<float> forward = fourFrames(10, 20);
             std::vector<float> samples(forward.rbegin(), forward.rend());
             samples.insert(samples.end(), forward.rbegin(), forward.rend());
             return samples;
         },
         {}, 0},
        {"a signal inside the thresholds is one silence byte",
         [] {
             // Frame 2 is lost in the quiet; frame 3's sync word follows it intact.
             std::vector<float> samples = squareWave(framesBetween(0, 2, 10, 20));
             for (int i = 0; i < 1000; ++i)
                 samples.push_back((i % 2) ? 0.0001f : -0.0001f);
             const std::vector<float> rest = squareWave(framesBetween(2, 4, 10, 20));
             samples.insert(samples.end(), rest.begin(), rest.end());
             return samples;
         },
         {1, 3}, 1},
    };

    for (const EdgeCase &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodeResult result = decodeSamples(c.samples(), 1, 0, 256);

        std::vector<std::string> decoded, expected;
        for (const LtcFrame &f : result.frames)
            decoded.push_back(describe(f));
        for (int index : c.expectedFrames)
            expected.push_back(describe(kFrames[static_cast<std::size_t>(index)]));
        EXPECT_EQ(decoded, expected);

        EXPECT_EQ(std::count(result.intervals.begin(), result.intervals.end(), 101), c.silenceBytes);
        for (std::size_t i = 0; i < result.intervals.size(); ++i) {
            ASSERT_GE(result.intervals[i], 1);
            ASSERT_LE(result.intervals[i], 101);
        }
    }
}

// Bits 27, 43, 58 and 59 are not part of any field; the BCD digits are not
// range checked, so the widest values still make a 37-byte line.
TEST(FrameLine, DecodedBitsMakeTheLine)
{
    struct Row {
        std::array<int, 64> dataBits;
        const char *line;
    };
    std::array<int, 64> allOnes;
    allOnes.fill(1);
    EncodedFrame example = makeFrame(10, 20, 30, 15, {8, 7, 6, 5, 4, 3, 2, 1});
    example.dropFrame = 1;
    EncodedFrame colourOnly;
    colourOnly.colourFrame = 1;

    const Row rows[] = {
        {example.dataBits(), "10:20:30.15dn01 02 03 04 05 06 07 08\n"},
        {colourOnly.dataBits(), "00:00:00.00nc00 00 00 00 00 00 00 00\n"},
        {allOnes, "45:85:85.45dc15 15 15 15 15 15 15 15\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        Segments segments = {20};
        const Segments lead = segmentsOf(0, 10, 20);
        const Segments frame = frameSegments(row.dataBits, 10, 20);
        segments.insert(segments.end(), lead.begin(), lead.end());
        segments.insert(segments.end(), frame.begin(), frame.end());
        segments.push_back(20);
        const DecodeResult result = decodeSamples(squareWave(segments), 1, 0);
        ASSERT_EQ(result.frames.size(), 1u);

        char line[64];
        const std::size_t length = sondeo::formatFrameLine(result.frames[0], line);
        EXPECT_EQ(length, sondeo::kFrameLineLength);
        EXPECT_EQ(std::string(line, length), row.line);
    }
}

// One corrupt sample in the stream (a broken source or filter) costs at most
// the frames around it; the threshold that follows the level must not stay
// out of reach afterwards.
TEST(TransitionDetector, RecoversFromANonFiniteSample)
{
    struct Row {
        const char *name;
        float sample;
    };
    const Row rows[] = {
        {"+infinity", std::numeric_limits<float>::infinity()},
        {"-infinity", -std::numeric_limits<float>::infinity()},
        {"NaN", std::numeric_limits<float>::quiet_NaN()},
    };
    const std::vector<float> clean = fourFrames(10, 20);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<float> samples = clean;
        samples.insert(samples.begin() + 5, row.sample); // inside the lead-in, before any frame
        const DecodeResult result = decodeSamples(samples, 1, 0);

        std::vector<std::string> decoded;
        for (const LtcFrame &f : result.frames)
            decoded.push_back(describe(f));
        const std::vector<std::string> expected = {describe(kFrames[1]), describe(kFrames[2]),
                                                   describe(kFrames[3])};
        EXPECT_EQ(decoded, expected);
    }
}

// The buffer check comes before any sample, and a channel the frame does not
// have is never read.
TEST(TransitionDetector, SkipsBuffersItMustNotRead)
{
    const std::vector<float> stereo = interleave(fourFrames(10, 20), 2, 1);
    auto countBytes = [](void *context, uint8_t) { ++*static_cast<int *>(context); };
    auto refuse = []() { return false; };
    auto accept = []() { return true; };

    struct Row {
        const char *name;
        int32_t side;
        uint32_t stride;
        TransitionDetector::BufferCheck check;
        bool expectBytes;
    };
    const Row rows[] = {
        {"channel 1 of 2", 1, 2, accept, true},
        {"check refuses", 1, 2, refuse, false},
        {"channel 2 of 2", 2, 2, accept, false},
        {"channel -1", -1, 2, accept, false},
        {"stride 0", 0, 0, accept, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        int bytes = 0;
        TransitionDetector detector(row.side, countBytes, &bytes, row.check);
        EXPECT_EQ(detector.processBuffer(static_cast<uint32_t>(stereo.size()), row.stride, stereo.data()), 0);
        EXPECT_EQ(bytes > 0, row.expectBytes);
    }
}

} // namespace
