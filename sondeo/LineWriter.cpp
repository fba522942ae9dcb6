#include "sondeo/LineWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace sondeo {

namespace {

std::string format(const char *fmt, auto... args)
{
    const int length = std::snprintf(nullptr, 0, fmt, args...);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, fmt, args...);
    return text;
}

} // namespace

std::string versionLine()
{
    return format("Sondeo %s\n", kVersion);
}

std::string usageText()
{
    return "Usage: Sondeo [[-hvd] | device side]\n"
           "  -h         Help (this screen)\n"
           "  -v         Sondeo Version\n"
           "  -d         Display all audio devices\n"
           "  device     The audio device to use (number, 0 is default)\n"
           "  side       L or R for the Left and Right audio chanels\n"
           "\n"
           "  If no parameters are taken, the left side of the default\n"
           "  device is used.\n";
}

std::string deviceLine(const std::string *name, int32_t device, int32_t channel)
{
    std::string shown = (name && !name->empty()) ? *name : format("Audio input %d", device);
    for (char &c : shown) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return format(">device %s\t%i\t%i\n", shown.c_str(), device, channel);
}

std::string failureLine(int32_t device, int32_t channel)
{
    return format("input->startPlayback( %d, %d ); failed \n", device, channel);
}

std::size_t formatFrameLine(const LtcFrame &f, char (&out)[64])
{
    const int length = std::snprintf(out, sizeof out,
        "%02i:%02i:%02i.%02i%c%c%02i %02i %02i %02i %02i %02i %02i %02i\n",
        f.hours(), f.minutes(), f.seconds(), f.frames(),
        f.dropFrame ? 'd' : 'n', f.colourFrame ? 'c' : 'n',
        f.userBits8, f.userBits7, f.userBits6, f.userBits5,
        f.userBits4, f.userBits3, f.userBits2, f.userBits1);
    // snprintf reports the length it wanted: never hand out more than it wrote.
    return length > 0 ? std::min(static_cast<std::size_t>(length), sizeof out - 1) : 0;
}

bool writeDirect(int fd, const char *text, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, text, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool writeFrameLine(const LtcFrame &frame)
{
    char line[64];
    const std::size_t length = formatFrameLine(frame, line);
    const bool written = writeDirect(STDOUT_FILENO, line, length);
    const int writeError = errno;
    std::fflush(stdout);
    errno = writeError; // the caller asks why the line was refused
    return written;
}

} // namespace sondeo
