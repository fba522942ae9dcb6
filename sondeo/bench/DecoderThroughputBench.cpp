// Throughput of the LTC decoding path (transition detector and biphase
// decoder) in samples per second, beside libltc's decoder on the same
// signal, and their ratio.

#include "sondeo/BiphaseDecoder.h"
#include "sondeo/TransitionDetector.h"

#include <benchmark/benchmark.h>
#include <ltc.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kRate = 48000;
constexpr double kFps = 30;
constexpr int kFrames = 600; // 20 seconds
constexpr uint32_t kBufferFrames = 256;

// 20 s of clean 30 fps LTC at 48 kHz, mono float.
const std::vector<float> &signal()
{
    static const std::vector<float> samples = [] {
        std::unique_ptr<LTCEncoder, void (*)(LTCEncoder *)> encoder(
            ltc_encoder_create(kRate, kFps, LTC_TV_525_60, 0), ltc_encoder_free);
        SMPTETimecode start{};
        start.hours = 10;
        ltc_encoder_set_timecode(encoder.get(), &start);
        std::vector<ltcsnd_sample_t> buffer(ltc_encoder_get_buffersize(encoder.get()));
        std::vector<float> out;
        for (int i = 0; i < kFrames; ++i) {
            ltc_encoder_encode_frame(encoder.get());
            const int n = ltc_encoder_copy_buffer(encoder.get(), buffer.data());
            for (int s = 0; s < n; ++s)
                out.push_back((static_cast<float>(buffer[s]) - 128.0f) / 128.0f);
            ltc_encoder_inc_timecode(encoder.get());
        }
        return out;
    }();
    return samples;
}

void countFrame(void *context, const LtcFrame &) { ++*static_cast<int64_t *>(context); }

struct DirectPath {
    int64_t frames = 0;
    BiphaseDecoder decoder{countFrame, &frames};
};

void feedDecoder(void *context, uint8_t interval) { static_cast<DirectPath *>(context)->decoder.feed(interval); }

void runDetector(TransitionDetector &detector, const std::vector<float> &samples)
{
    for (std::size_t at = 0; at < samples.size(); at += kBufferFrames) {
        const auto count = static_cast<uint32_t>(std::min<std::size_t>(kBufferFrames, samples.size() - at));
        detector.processBuffer(count, 1, samples.data() + at);
    }
}

// Detector handing each interval straight to the decoder.
void SondeoDirect(benchmark::State &state)
{
    const std::vector<float> &samples = signal();
    DirectPath path;
    TransitionDetector detector(0, feedDecoder, &path);
    for (auto _ : state)
        runDetector(detector, samples);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = benchmark::Counter(static_cast<double>(path.frames), benchmark::Counter::kAvgIterations);
}

// As the tool runs: the detector writes every interval into a pipe, the
// decoder reads up to 127 bytes at a time on another thread.
void SondeoThroughPipe(benchmark::State &state)
{
    const std::vector<float> &samples = signal();
    int fds[2];
    if (pipe(fds) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    std::atomic<int64_t> bytesRead{0};
    int64_t frames = 0;
    std::thread reader([&] {
        BiphaseDecoder decoder(countFrame, &frames);
        unsigned char bytes[127];
        for (ssize_t n; (n = read(fds[0], bytes, sizeof bytes)) > 0;) {
            for (ssize_t i = 0; i < n; ++i)
                decoder.feed(bytes[i]);
            bytesRead.fetch_add(n, std::memory_order_release);
        }
    });

    std::atomic<int64_t> bytesWritten{0};
    struct Writer {
        int fd;
        std::atomic<int64_t> *count;
    } writer{fds[1], &bytesWritten};
    auto writeByte = [](void *context, uint8_t interval) {
        auto *w = static_cast<Writer *>(context);
        TransitionDetector::writeToDescriptor(&w->fd, interval);
        w->count->fetch_add(1, std::memory_order_relaxed);
    };
    TransitionDetector detector(0, writeByte, &writer);
    for (auto _ : state) {
        runDetector(detector, samples);
        while (bytesRead.load(std::memory_order_acquire) < bytesWritten.load(std::memory_order_relaxed))
            std::this_thread::yield();
    }
    close(fds[1]);
    reader.join();
    close(fds[0]);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
}

void Libltc(benchmark::State &state)
{
    std::vector<float> samples = signal();
    std::unique_ptr<LTCDecoder, int (*)(LTCDecoder *)> decoder(
        ltc_decoder_create(static_cast<int>(kRate / kFps), 32), ltc_decoder_free);
    int64_t frames = 0;
    ltc_off_t position = 0;
    LTCFrameExt frame;
    for (auto _ : state) {
        for (std::size_t at = 0; at < samples.size(); at += kBufferFrames) {
            const std::size_t count = std::min<std::size_t>(kBufferFrames, samples.size() - at);
            ltc_decoder_write_float(decoder.get(), samples.data() + at, count, position);
            position += static_cast<ltc_off_t>(count);
            while (ltc_decoder_read(decoder.get(), &frame))
                ++frames;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
}

BENCHMARK(SondeoDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(SondeoThroughPipe)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Libltc)->Unit(benchmark::kMillisecond);

// Prints the usual table, then each Sondeo path's rate against libltc's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end())
                rates_[run.run_name.function_name] = rate->second.value;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto libltc = rates_.find("Libltc");
        if (libltc == rates_.end() || libltc->second <= 0)
            return;
        std::printf("\nsamples per second (%.0f Hz, %.0f fps LTC):\n", kRate, kFps);
        for (const auto &[name, rate] : rates_)
            std::printf("  %-18s %14.0f  (%.0fx real time)\n", name.c_str(), rate, rate / kRate);
        for (const char *name : {"SondeoDirect", "SondeoThroughPipe"}) {
            const auto sondeo = rates_.find(name);
            if (sondeo != rates_.end())
                std::printf("  %s / Libltc = %.2f\n", name, sondeo->second / libltc->second);
        }
    }

private:
    std::map<std::string, double> rates_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
