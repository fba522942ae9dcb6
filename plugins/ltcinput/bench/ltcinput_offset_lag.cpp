// Measures how far the Audio LTC input's offset lags the offset its source
// adds: the label of a frame is known only once the whole frame has been
// heard and decoded, and the delta is taken later still. Prints mean, spread
// and range of (added offset - reported offset) over a run.
//
//   ltcinput_offset_lag [--seconds N] [--fps 24|25|30] [--offset SECONDS]
#include "plugins/ltcinput/tests/InputHost.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono;
using namespace std::chrono_literals;

int main(int argc, char **argv)
{
    double runSeconds = 60, offset = 2.5;
    std::string fps = "25";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            std::printf(
                "Usage: ltcinput_offset_lag [--seconds N] [--fps 24|25|30] [--offset SECONDS]\n"
                "Runs an LTC source on a private PipeWire and prints the lag of the Audio LTC\n"
                "input's offset behind the offset the source adds (mean, spread, range).\n");
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "ltcinput_offset_lag: %s needs a value; see --help\n", argv[i]);
            return 2;
        }
        if (!std::strcmp(argv[i], "--seconds"))
            runSeconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--fps"))
            fps = argv[++i];
        else if (!std::strcmp(argv[i], "--offset"))
            offset = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "ltcinput_offset_lag: unknown option %s; see --help\n", argv[i]);
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    testsupport::PrivatePipeWire pipewire;
    if (!pipewire.ready()) {
        std::fprintf(stderr, "ltcinput_offset_lag: no private PipeWire: %s\n",
                     pipewire.error().c_str());
        return 1;
    }
    testsupport::LtcSourceProcess source(
        pipewire, { "--name", "Lag", "--fps", fps, "--offset", std::to_string(offset) });
    if (!source.ready()) {
        std::fprintf(stderr, "ltcinput_offset_lag: %s\n", source.error().c_str());
        return 1;
    }
    ltctest::InputHost host;
    auto in = host.inputNamed(QStringLiteral("Lag (Left)"));
    if (!in) {
        std::fprintf(stderr, "ltcinput_offset_lag: no input \"Lag (Left)\"\n");
        return 1;
    }
    const auto greenBy = steady_clock::now() + 20s;
    while (in->statusLevel() != kStatusReliable && steady_clock::now() < greenBy)
        std::this_thread::sleep_for(50ms);

    // Sampled at the active timer's 30 per second, as the application reads it.
    std::vector<double> lags;
    const auto end = steady_clock::now() + duration<double>(runSeconds);
    while (steady_clock::now() < end) {
        if (in->statusLevel() == kStatusReliable) {
            const TimeDelta d = in->currentTimeDelta();
            lags.push_back(offset - (d.tv_sec + d.tv_usec / 1e6));
        }
        std::this_thread::sleep_for(33ms);
    }
    if (lags.empty()) {
        std::fprintf(stderr, "ltcinput_offset_lag: the input never turned green\n");
        return 1;
    }
    double sum = 0;
    for (double l : lags)
        sum += l;
    const double mean = sum / double(lags.size());
    double var = 0;
    for (double l : lags)
        var += (l - mean) * (l - mean);
    const double sd = std::sqrt(var / double(lags.size()));
    const auto [lo, hi] = std::minmax_element(lags.begin(), lags.end());
    std::printf(
        "offset lag at %s fps over %.0f s (%zu samples): mean %.1f ms, spread (sd) %.1f ms, "
        "min %.1f ms, max %.1f ms\n",
        fps.c_str(), runSeconds, lags.size(), mean * 1e3, sd * 1e3, *lo * 1e3, *hi * 1e3);
    return 0;
}
