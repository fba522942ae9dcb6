#include "sondeo/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sondeo {

int32_t parseNumber(const char *text)
{
    if (!text)
        return 0;
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

CommandLine scanArguments(int argc, const char *const *argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            line.action = Action::Help;
            return line;
        }
        if (std::strcmp(arg, "-v") == 0) {
            line.action = Action::Version;
            return line;
        }
        if (std::strcmp(arg, "-d") == 0) {
            line.action = Action::ListDevices;
            return line;
        }
    }
    if (argc == 3) {
        line.device = parseNumber(argv[1]);
        line.side = parseNumber(argv[2]);
    }
    return line;
}

} // namespace sondeo
