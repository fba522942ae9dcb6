// CPU share of the application side of a dozen Audio LTC inputs and of their
// Sondeo children. The host polls every input as the application's timers do
// (status of every row 13 times a second, time and delta of one 30 times a
// second) and reports how late its ticks ran.
//
//   ltcinput_cpu_share [--seconds N]
#include "plugins/ltcinput/tests/InputHost.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

double selfCpuSeconds()
{
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec
        + u.ru_stime.tv_usec / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    double runSeconds = 30;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            std::printf(
                "Usage: ltcinput_cpu_share [--seconds N]\n"
                "Runs three 4-channel LTC sources on a private PipeWire (12 Audio LTC inputs)\n"
                "and prints the CPU share of the input host and of the Sondeo processes.\n");
            return 0;
        }
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            runSeconds = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "ltcinput_cpu_share: unknown option %s; see --help\n", argv[i]);
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    testsupport::PrivatePipeWire pipewire;
    if (!pipewire.ready()) {
        std::fprintf(stderr, "ltcinput_cpu_share: no private PipeWire: %s\n",
                     pipewire.error().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<testsupport::LtcSourceProcess>> sources;
    const char *rates[] = { "24", "25", "30" };
    for (int s = 0; s < 3; ++s) {
        sources.push_back(std::make_unique<testsupport::LtcSourceProcess>(
            pipewire,
            std::vector<std::string> { "--name", "Bus " + std::to_string(s + 1), "--channels", "4",
                                       "--other", "tone", "--fps", rates[s] }));
        if (!sources.back()->ready()) {
            std::fprintf(stderr, "ltcinput_cpu_share: %s\n", sources.back()->error().c_str());
            return 1;
        }
    }

    const double cpuBeforeStart = selfCpuSeconds();
    const auto startAt = steady_clock::now();
    ltctest::InputHost host;
    const double startSeconds = duration<double>(steady_clock::now() - startAt).count();
    const InputList inputs = host.inputs();
    const double startCpu = selfCpuSeconds() - cpuBeforeStart;
    std::this_thread::sleep_for(3s); // settle: every child started, every channel locked or silent
    const std::vector<pid_t> sondeos = ltctest::sondeoChildren();
    std::printf("%zu inputs, %zu Sondeo processes, started in %.0f ms (%.0f ms CPU)\n",
                inputs.size(), sondeos.size(), startSeconds * 1e3, startCpu * 1e3);

    double sondeoBefore = 0;
    for (pid_t p : sondeos)
        sondeoBefore += ltctest::processCpuSeconds(p);
    const double selfBefore = selfCpuSeconds();
    const auto begin = steady_clock::now();
    const auto end = begin + duration<double>(runSeconds);
    auto nextTable = begin, nextActive = begin;
    double worstLate = 0;
    int green = 0;
    long greenSum = 0, tableTicks = 0;
    while (steady_clock::now() < end) {
        const auto now = steady_clock::now();
        if (now >= nextTable) {
            worstLate = std::max(worstLate, duration<double>(now - nextTable).count());
            green = 0;
            for (const auto &in : inputs)
                green += in->statusLevel() == kStatusReliable;
            greenSum += green;
            tableTicks += 1;
            nextTable += microseconds(1000000 / 13);
        }
        if (now >= nextActive) {
            worstLate = std::max(worstLate, duration<double>(now - nextActive).count());
            for (const auto &in : inputs)
                if (in->statusLevel() == kStatusReliable) {
                    in->myTime();
                    in->currentTimeDelta();
                    break;
                }
            nextActive += microseconds(1000000 / 30);
        }
        std::this_thread::sleep_until(std::min(nextTable, nextActive));
    }
    const double wall = duration<double>(steady_clock::now() - begin).count();
    const double self = selfCpuSeconds() - selfBefore;
    double sondeoAfter = 0;
    for (pid_t p : sondeos)
        sondeoAfter += ltctest::processCpuSeconds(p);
    std::printf("over %.0f s, %.1f of %zu inputs green on average (3 carry LTC):\n", wall,
                tableTicks ? double(greenSum) / double(tableTicks) : 0.0, inputs.size());
    std::printf("  input host (listeners and polling): %.2f %% of one core\n", 100 * self / wall);
    std::printf(
        "  Sondeo processes, total:            %.2f %% of one core (%.2f %% each)\n",
        100 * (sondeoAfter - sondeoBefore) / wall,
        sondeos.empty() ? 0.0 : 100 * (sondeoAfter - sondeoBefore) / wall / double(sondeos.size()));
    std::printf("  latest timer tick:                  %.1f ms late\n", worstLate * 1e3);
    return 0;
}
