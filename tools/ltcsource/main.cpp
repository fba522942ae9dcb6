// ltcsource: publishes a PipeWire Audio/Source node that plays LTC of the
// local time of day (or an audio file), for development, tests and demos.

#include "tools/ltcsource/FileSignal.h"
#include "tools/ltcsource/LtcSignal.h"
#include "tools/ltcsource/SourceNode.h"

#include <getopt.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char usage[] =
    "Usage: ltcsource [options]\n"
    "Publishes a PipeWire Audio/Source node that plays LTC of the local time of\n"
    "day plus an offset, or an audio file.\n"
    "\n"
    "  --name NAME          node name and description (default \"LTC <fps>fps\")\n"
    "  --fps RATE           24, 25, 29.97 (drop-frame) or 30 (default 25)\n"
    "  --offset SECONDS     added to the local time of day, may be negative (default 0)\n"
    "  --level DBFS         LTC level in dBFS, 0 or below (default -12)\n"
    "  --rate HZ            sample rate (default 48000)\n"
    "  --channels N         1 to 8 channels (default 1)\n"
    "  --ltc-channel N      channel that carries the LTC, from 0 (default 0)\n"
    "  --other silence|tone what the other channels carry (default silence)\n"
    "  --user-bits N        32-bit user-bits value (default 0)\n"
    "  --file PATH          play this audio file instead of LTC (read with libsndfile)\n"
    "  --raw u8|s16|f32     the file is headerless data of this format, at --rate\n"
    "                       and --channels\n"
    "  --loop               repeat the file\n"
    "  --duration SECONDS   stop after this long (default: until SIGINT or SIGTERM)\n"
    "  --help               this text\n"
    "\n"
    "Prints \"ltcsource: ready node ...\" on standard output once the node and its\n"
    "ports exist. Exits with status 0 when ended by a signal, the duration or the\n"
    "end of the file.\n";

bool parseDouble(const char *text, double &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

bool parseUnsigned(const char *text, unsigned long &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

int fail(const std::string &message)
{
    std::fprintf(stderr, "ltcsource: %s (see ltcsource --help)\n", message.c_str());
    return 2;
}

std::string fpsLabel(double fps)
{
    char text[16];
    std::snprintf(text, sizeof text, "%g", fps);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    enum { Name = 1, Fps, Offset, Level, Rate, Channels, LtcChannel, Other, UserBits, File, Raw, Loop, Duration, Help };
    const option options[] = {
        { "name", required_argument, nullptr, Name },
        { "fps", required_argument, nullptr, Fps },
        { "offset", required_argument, nullptr, Offset },
        { "level", required_argument, nullptr, Level },
        { "rate", required_argument, nullptr, Rate },
        { "channels", required_argument, nullptr, Channels },
        { "ltc-channel", required_argument, nullptr, LtcChannel },
        { "other", required_argument, nullptr, Other },
        { "user-bits", required_argument, nullptr, UserBits },
        { "file", required_argument, nullptr, File },
        { "raw", required_argument, nullptr, Raw },
        { "loop", no_argument, nullptr, Loop },
        { "duration", required_argument, nullptr, Duration },
        { "help", no_argument, nullptr, Help },
        { nullptr, 0, nullptr, 0 },
    };

    LtcSignal::Settings ltc;
    SourceNode::Settings node;
    std::string file, raw;
    bool loop = false;
    bool rateGiven = false;
    int opt;
    while ((opt = getopt_long(argc, argv, "", options, nullptr)) != -1) {
        double d = 0;
        unsigned long u = 0;
        switch (opt) {
        case Name:
            node.name = optarg;
            break;
        case Fps:
            if (!parseDouble(optarg, d) || !(d == 24 || d == 25 || d == 30 || std::fabs(d - 29.97) < 0.001))
                return fail(std::string("frame rate must be 24, 25, 29.97 or 30, not \"") + optarg + "\"");
            ltc.fps = d;
            break;
        case Offset:
            if (!parseDouble(optarg, d) || std::fabs(d) > 86400)
                return fail(std::string("offset must be a number of seconds within a day, not \"") + optarg + "\"");
            ltc.offsetSeconds = d;
            break;
        case Level:
            if (!parseDouble(optarg, d) || d > 0 || d < -120)
                return fail(std::string("level must be between -120 and 0 dBFS, not \"") + optarg + "\"");
            ltc.levelDbfs = d;
            break;
        case Rate:
            if (!parseUnsigned(optarg, u) || u < 8000 || u > 384000)
                return fail(std::string("sample rate must be 8000 to 384000 Hz, not \"") + optarg + "\"");
            ltc.rate = uint32_t(u);
            rateGiven = true;
            break;
        case Channels:
            if (!parseUnsigned(optarg, u) || u < 1 || u > 8)
                return fail(std::string("channels must be 1 to 8, not \"") + optarg + "\"");
            ltc.channels = uint32_t(u);
            break;
        case LtcChannel:
            if (!parseUnsigned(optarg, u) || u > 7)
                return fail(std::string("LTC channel must be 0 to 7, not \"") + optarg + "\"");
            ltc.ltcChannel = uint32_t(u);
            break;
        case Other:
            if (std::strcmp(optarg, "silence") != 0 && std::strcmp(optarg, "tone") != 0)
                return fail(std::string("--other takes silence or tone, not \"") + optarg + "\"");
            ltc.toneOnOtherChannels = std::strcmp(optarg, "tone") == 0;
            break;
        case UserBits:
            if (!parseUnsigned(optarg, u) || u > 0xFFFFFFFFul)
                return fail(std::string("user bits must be a 32-bit number, not \"") + optarg + "\"");
            ltc.userBits = uint32_t(u);
            break;
        case File:
            file = optarg;
            break;
        case Raw:
            raw = optarg;
            break;
        case Loop:
            loop = true;
            break;
        case Duration:
            if (!parseDouble(optarg, d) || d <= 0)
                return fail(std::string("duration must be a positive number of seconds, not \"") + optarg + "\"");
            node.durationSeconds = d;
            break;
        case Help:
            std::fputs(usage, stdout);
            return 0;
        default:
            return fail("unknown option");
        }
    }
    if (optind < argc)
        return fail(std::string("unexpected argument \"") + argv[optind] + "\"");
    if (ltc.ltcChannel >= ltc.channels)
        return fail("the LTC channel must be below the number of channels");
    if (!raw.empty() && file.empty())
        return fail("--raw needs --file");
    if (!raw.empty() && !rateGiven)
        return fail("--raw needs --rate");

    std::unique_ptr<SignalSource> signal;
    if (!file.empty()) {
        auto fileSignal = std::make_unique<FileSignal>(file, raw, ltc.rate, ltc.channels, loop);
        if (!fileSignal->ok()) {
            std::fprintf(stderr, "ltcsource: %s\n", fileSignal->error().c_str());
            return 1;
        }
        signal = std::move(fileSignal);
    } else {
        signal = std::make_unique<LtcSignal>(ltc);
    }
    if (node.name.empty())
        node.name = file.empty() ? "LTC " + fpsLabel(ltc.fps) + "fps" : "ltcsource file";
    node.description = node.name;
    return SourceNode::run(*signal, node);
}
