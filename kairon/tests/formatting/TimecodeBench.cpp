// Cost of building a wrapped label from a frame count and of the offset text
// that every display builds several times per tick.
#include "kairon/core/fancyStrings.h"
#include "orrery/TCMDTime.h"

#include <benchmark/benchmark.h>

namespace {

void BM_timeWithFrames(benchmark::State &state)
{
    const auto fps = static_cast<uint32_t>(state.range(0));
    const bool dropFrame = state.range(1) != 0;
    int64_t count = -1234567;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TCMDTime::timeWithFrames(count, fps, dropFrame));
        count += 7919;
    }
}
BENCHMARK(BM_timeWithFrames)->Args({ 25, 0 })->Args({ 30, 1 })->Args({ 60, 1 });

void BM_fancyOffsetString(benchmark::State &state)
{
    const TimeDelta delta { static_cast<int32_t>(state.range(0)), -250000 };
    for (auto _ : state)
        benchmark::DoNotOptimize(fancyOffsetString(delta, 30, true));
}
// A near offset, and the farthest one, which wraps around the day the most.
BENCHMARK(BM_fancyOffsetString)->Arg(3)->Arg(2147483647);

void BM_fancyTimeString(benchmark::State &state)
{
    const std::shared_ptr<const TCMDTime> label = TCMDTime::initWithHour(12, 34, 56, 7, 30, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(fancyTimeString(label, true));
}
BENCHMARK(BM_fancyTimeString);

} // namespace

BENCHMARK_MAIN();
