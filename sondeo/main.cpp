// Sondeo: reads SMPTE LTC from one channel of an audio input and prints one
// line per decoded frame on standard output (the protocol read by the LTC
// input plug-in). "-d" lists the input channels instead.

#include "sondeo/AudioCapture.h"
#include "sondeo/AudioDeviceList.h"
#include "sondeo/BiphaseDecoder.h"
#include "sondeo/CommandLine.h"
#include "sondeo/LineWriter.h"
#include "sondeo/ParentWatch.h"
#include "sondeo/TransitionDetector.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr double kRequestedRate = 44100.0;
constexpr int32_t kBufferSize = 367;
constexpr int kParentPollMilliseconds = 250;

int listDevices()
{
    const AudioDeviceList devices;
    for (uint32_t i = 0; i < devices.count(); ++i) {
        const auto index = static_cast<int32_t>(i);
        const int32_t channels = devices.inputChannelCount(index);
        const std::optional<std::string> name = devices.deviceName(index);
        for (int32_t channel = 0; channel < channels; ++channel)
            sondeo::writeDirect(STDOUT_FILENO, sondeo::deviceLine(name ? &*name : nullptr, index, channel));
    }
    return 0;
}

// A channel the device does not have cannot be captured; the line protocol
// has no message for it, so say it on standard error and wait like a failed
// start. -1 means the device itself is unknown: that is startPlayback's to report.
bool channelUsable(const sondeo::CommandLine &line)
{
    if (line.side < 0) {
        std::fprintf(stderr, "Sondeo: channel %d does not exist: channels are numbered from 0.\n", line.side);
        return false;
    }
    if (line.side == 0)
        return true; // every device with inputs has a channel 0
    const int32_t channels = AudioDeviceList().inputChannelCount(line.device);
    if (channels > 0 && line.side >= channels) {
        std::fprintf(stderr,
                     "Sondeo: device %d has %d input channel%s (0 to %d); channel %d does not exist. "
                     "Run \"Sondeo -d\" to list the channels.\n",
                     line.device, channels, channels == 1 ? "" : "s", channels - 1, line.side);
        return false;
    }
    return true;
}

[[noreturn]] void endTool()
{
    std::fputs("\nSondeo terminated", stderr);
    // Leave without running destructors: the capture thread may still be
    // delivering a buffer and must not meet a half torn-down process.
    std::fflush(stdout);
    std::fflush(stderr); // the audio library may have made it buffered
    _exit(0);
}

void printFrame(void *, const LtcFrame &frame)
{
    // The reader has closed the pipe. Normally the broken-pipe signal has
    // already ended the tool; when the parent left that signal ignored, end here.
    if (!sondeo::writeFrameLine(frame) && errno == EPIPE)
        endTool();
}

// Feeds the decoder until the interval pipe ends or the tool should end.
void runMainLoop(int intervalRead, BiphaseDecoder &decoder)
{
    unsigned char bytes[127];
    for (;;) {
        pollfd fds[2] = {{intervalRead, POLLIN, 0}, {sondeo::ParentWatch::descriptor(), POLLIN, 0}};
        const int ready = poll(fds, 2, kParentPollMilliseconds);
        if (ready < 0 && errno != EINTR)
            return;
        if (sondeo::ParentWatch::shouldEnd())
            return;
        if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t count = read(intervalRead, bytes, sizeof bytes);
        if (count == 0)
            return;
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        for (ssize_t i = 0; i < count; ++i)
            decoder.feed(bytes[i]);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const sondeo::CommandLine line = sondeo::scanArguments(argc, argv);
    switch (line.action) {
    case sondeo::Action::Help:
        sondeo::writeDirect(STDOUT_FILENO, sondeo::versionLine());
        sondeo::writeDirect(STDOUT_FILENO, sondeo::usageText());
        return 0;
    case sondeo::Action::Version:
        sondeo::writeDirect(STDOUT_FILENO, sondeo::versionLine());
        return 0;
    case sondeo::Action::ListDevices:
        return listDevices();
    case sondeo::Action::Capture:
        break;
    }

    // Before any audio thread exists, so they all inherit the signal mask.
    const bool parentPresent = sondeo::ParentWatch::begin();

    int interval[2];
    if (pipe(interval) != 0) {
        std::perror("Sondeo: cannot create the interval pipe");
        return 0;
    }

    BiphaseDecoder decoder(&printFrame, nullptr);
    TransitionDetector detector(line.side, &TransitionDetector::writeToDescriptor, &interval[1],
                                &sondeo::ParentWatch::checkFromAudioThread);
    TransitionDetector::install(&detector);

    AudioCapture capture;
    if (parentPresent && channelUsable(line)) {
        if (!capture.startPlayback(kRequestedRate, kBufferSize, line.device, &TransitionDetector::processSamples))
            std::fputs(sondeo::failureLine(line.device, line.side).c_str(), stdout);
    }

    if (parentPresent)
        runMainLoop(interval[0], decoder);

    endTool();
}
