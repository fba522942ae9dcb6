// Sondeo against a real, private PipeWire daemon, fed by ltcsource nodes.

#include "sondeo/tests/e2e/FrameLines.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <ltc.h>
#include <sndfile.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>

using namespace testsupport;
using namespace std::chrono;

namespace {

constexpr auto kPatience = seconds(30);

std::string sondeoPath() { return buildTreePath("lib/kairon/PlugIns/LtcInput.plugin/Resources/Sondeo"); }

struct ReceivedFrame {
    FrameLine frame;
    double wallClock; // local time of day when the line arrived
};

struct Output {
    std::vector<ReceivedFrame> frames;
    std::vector<std::string> malformed; // looks like a frame line, is not one
    std::vector<std::string> other;     // diagnostics
};

// Reads Sondeo's standard output until `wanted` frame lines arrived or the
// patience ran out.
Output readFrames(ChildProcess &sondeo, size_t wanted, milliseconds patience = kPatience)
{
    Output out;
    const auto deadline = steady_clock::now() + patience;
    while (out.frames.size() < wanted && steady_clock::now() < deadline) {
        const auto line = sondeo.readLine(duration_cast<milliseconds>(deadline - steady_clock::now()));
        if (!line)
            break;
        if (auto frame = FrameLine::parse(*line))
            out.frames.push_back({ *frame, localSecondsOfDay() });
        else if (line->size() >= 3 && std::isdigit(static_cast<unsigned char>((*line)[0])) && (*line)[2] == ':')
            out.malformed.push_back(*line);
        else
            out.other.push_back(*line);
    }
    return out;
}

// Every line a valid label of the source's rate showing the source's time,
// each one after the one before. Audio lost on a loaded machine may skip
// frames (the decoder starts over), but a line is never made up.
void expectFramesOfSource(const Output &out, double fps, double offsetSeconds)
{
    const int nominal = int(std::lround(fps));
    const bool dropFrame = std::fabs(fps - 29.97) < 0.01;
    EXPECT_TRUE(out.malformed.empty()) << "first malformed line: " << out.malformed.front();
    size_t consecutive = 0;
    for (size_t i = 0; i < out.frames.size(); ++i) {
        const FrameLine &f = out.frames[i].frame;
        SCOPED_TRACE("frame line " + std::to_string(i));
        EXPECT_TRUE(f.valid(nominal)) << f.hours << ":" << f.minutes << ":" << f.seconds << "." << f.frames;
        EXPECT_EQ(f.dropFrame, dropFrame);
        EXPECT_LT(timeOfDayDistance(f.secondsOfDay(fps), out.frames[i].wallClock + offsetSeconds), 2.0);
        if (i > 0) {
            const long step = f.frameNumber(nominal) - out.frames[i - 1].frame.frameNumber(nominal);
            EXPECT_GE(step, 1) << "a frame line that does not follow the one before";
            consecutive += step == 1;
        }
    }
    EXPECT_GE(consecutive * 2, out.frames.size()) << "most frames should follow their predecessor directly";
}

bool contains(const std::vector<std::string> &lines, const std::string &wanted)
{
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

class SondeoEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pipewire.ready()) << pipewire.error(); }

    std::string listing()
    {
        std::string output;
        int code = -1;
        EXPECT_TRUE(pipewire.run({ sondeoPath(), "-d" }, output, code));
        EXPECT_EQ(code, 0);
        return output;
    }

    PrivatePipeWire pipewire;
};

} // namespace

TEST_F(SondeoEndToEnd, ListsEveryChannelOfEverySourceInCreationOrder)
{
    LtcSourceProcess mono(pipewire, { "--name", "LTC Mono" });
    ASSERT_TRUE(mono.ready()) << mono.error();
    LtcSourceProcess stereo(pipewire, { "--name", "LTC Stereo", "--channels", "2" });
    ASSERT_TRUE(stereo.ready()) << stereo.error();

    EXPECT_EQ(listing(), ">device LTC Mono\t0\t0\n"
                         ">device LTC Stereo\t1\t0\n"
                         ">device LTC Stereo\t1\t1\n");
}

struct SourceCase {
    const char *name;
    const char *fps;
    const char *rate;
    double offsetSeconds;
};

void PrintTo(const SourceCase &c, std::ostream *os) { *os << c.name; }

class SondeoDecodes : public SondeoEndToEnd, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(SondeoDecodes, TheSourcesTimeFrameAfterFrame)
{
    const SourceCase &c = GetParam();
    LtcSourceProcess source(pipewire, { "--fps", c.fps, "--rate", c.rate, "--offset", std::to_string(c.offsetSeconds) });
    ASSERT_TRUE(source.ready()) << source.error();

    auto sondeo = pipewire.start({ sondeoPath(), "0", "0" });
    const Output out = readFrames(*sondeo, 75);
    ASSERT_GE(out.frames.size(), 75u) << sondeo->errorText();
    expectFramesOfSource(out, std::stod(c.fps), c.offsetSeconds);
    // Diagnostics of the negotiated stream, flushed after the first frame.
    EXPECT_TRUE(contains(out.other, "mSampleRate = 44100"));
    EXPECT_TRUE(contains(out.other, "mChannelsPerFrame = 1"));
    EXPECT_TRUE(contains(out.other, "AudioDeviceStart"));
}

INSTANTIATE_TEST_SUITE_P(Sources, SondeoDecodes,
                         ::testing::Values(SourceCase { "fps25_48kHz", "25", "48000", 0.0 },
                                           SourceCase { "fps24_44k1Hz_offsetBack", "24", "44100", -2.5 },
                                           SourceCase { "fps2997df_48kHz_offsetOneHour", "29.97", "48000", 3600.0 },
                                           SourceCase { "fps30_96kHz", "30", "96000", 0.0 }),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SondeoEndToEnd, DecodesOnlyTheChannelThatCarriesLtc)
{
    // LTC on the right channel, a tone on the left: the tone must not decode.
    LtcSourceProcess source(pipewire, { "--channels", "2", "--ltc-channel", "1", "--other", "tone" });
    ASSERT_TRUE(source.ready()) << source.error();

    auto right = pipewire.start({ sondeoPath(), "0", "1" });
    auto left = pipewire.start({ sondeoPath(), "0", "0" });
    const Output fromRight = readFrames(*right, 50);
    ASSERT_GE(fromRight.frames.size(), 50u) << right->errorText();
    expectFramesOfSource(fromRight, 25, 0.0);
    EXPECT_TRUE(contains(fromRight.other, "mChannelsPerFrame = 2"));

    // The left one captured as long as the right one decoded 50 frames.
    left->terminate();
    const Output fromLeft = readFrames(*left, 1, seconds(5));
    EXPECT_TRUE(fromLeft.frames.empty()) << fromLeft.frames.size() << " frames decoded from the tone";
    EXPECT_TRUE(fromLeft.malformed.empty());
    // Its diagnostics, flushed as it ended, show that it did capture.
    EXPECT_TRUE(contains(fromLeft.other, "AudioDeviceStart")) << left->errorText();
}

namespace {

// The channel volumes of a node's Props as pw-cli prints them.
std::vector<float> channelVolumes(const PrivatePipeWire &pipewire, uint32_t node)
{
    std::string output;
    int code = -1;
    pipewire.run({ "/usr/bin/pw-cli", "enum-params", std::to_string(node), "Props" }, output, code);
    std::vector<float> volumes;
    const auto at = output.rfind("Props:channelVolumes");
    if (at == std::string::npos)
        return volumes;
    std::istringstream lines(output.substr(at));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.find("Prop:") == std::string::npos)
        if (const auto f = line.find("Float "); f != std::string::npos)
            volumes.push_back(std::stof(line.substr(f + 6)));
    return volumes;
}

} // namespace

TEST_F(SondeoEndToEnd, RaisesOnlyTooLowInputVolumes)
{
    LtcSourceProcess source(pipewire, { "--channels", "2" });
    ASSERT_TRUE(source.ready()) << source.error();
    std::string output;
    int code = -1;
    ASSERT_TRUE(pipewire.run({ "/usr/bin/pw-cli", "set-param", std::to_string(source.nodeId()), "Props",
                               "{ channelVolumes: [ 0.25, 0.6 ] }" }, output, code));
    ASSERT_EQ(channelVolumes(pipewire, source.nodeId()), (std::vector<float> { 0.25f, 0.6f }));

    // By the first frame line the volume step is long done.
    auto sondeo = pipewire.start({ sondeoPath(), "0", "0" });
    ASSERT_GE(readFrames(*sondeo, 1).frames.size(), 1u) << sondeo->errorText();
    EXPECT_EQ(channelVolumes(pipewire, source.nodeId()), (std::vector<float> { 0.4f, 0.6f }));
}

namespace {

// A WAV file of LTC from 10:00:00:00 at 25 fps, made with libltc.
bool writeLtcFile(const std::string &path, int seconds, int rate)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    LTCEncoder *encoder = ltc_encoder_create(rate, 25, LTC_TV_625_50, 0);
    SMPTETimecode start { "+0000", 0, 0, 0, 10, 0, 0, 0 };
    ltc_encoder_set_timecode(encoder, &start);
    std::vector<ltcsnd_sample_t> encoded(ltc_encoder_get_buffersize(encoder));
    std::vector<float> samples;
    for (int frame = 0; frame < seconds * 25; ++frame) {
        ltc_encoder_encode_frame(encoder);
        const int n = ltc_encoder_copy_buffer(encoder, encoded.data());
        for (int i = 0; i < n; ++i)
            samples.push_back((float(encoded[size_t(i)]) - 128.0f) / 512.0f);
        ltc_encoder_inc_timecode(encoder);
    }
    ltc_encoder_free(encoder);
    const bool written = sf_writef_float(file, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    return sf_close(file) == 0 && written;
}

} // namespace

TEST_F(SondeoEndToEnd, DecodesAFilePlayedBySourceAndEndsWithIt)
{
    const std::string path = pipewire.directory() + "/ltc-10h.wav";
    ASSERT_TRUE(writeLtcFile(path, 3, 48000));

    std::unique_ptr<ChildProcess> sondeo;
    {
        LtcSourceProcess source(pipewire, { "--file", path, "--name", "LTC File" });
        ASSERT_TRUE(source.ready()) << source.error();
        sondeo = pipewire.start({ sondeoPath(), "0", "0" });
        // The file plays once the capture pulls it; the node goes at its end.
        ASSERT_TRUE(source.process().waitForExit(kPatience));
        EXPECT_EQ(source.process().exitCode(), 0);
    }
    ASSERT_TRUE(sondeo->waitForExit(kPatience)) << "Sondeo kept running after the file's node went";
    const Output out = readFrames(*sondeo, 75, seconds(5));
    EXPECT_TRUE(out.malformed.empty());
    ASSERT_GE(out.frames.size(), 40u) << sondeo->errorText();
    long previous = -1;
    for (const auto &received : out.frames) {
        const FrameLine &f = received.frame;
        ASSERT_TRUE(f.hours == 10 && f.minutes == 0 && f.seconds < 3 && f.valid(25))
            << "not a frame of the file: " << f.hours << ":" << f.minutes << ":" << f.seconds << "." << f.frames;
        EXPECT_GT(f.frameNumber(25), previous);
        previous = f.frameNumber(25);
    }
}

TEST_F(SondeoEndToEnd, EndsCleanlyWhenTheSourceIsRemoved)
{
    LtcSourceProcess source(pipewire, {});
    ASSERT_TRUE(source.ready()) << source.error();
    auto sondeo = pipewire.start({ sondeoPath(), "0", "0" });
    ASSERT_GE(readFrames(*sondeo, 10).frames.size(), 10u) << sondeo->errorText();

    source.stop();
    ASSERT_TRUE(sondeo->waitForExit(kPatience)) << "Sondeo kept running without its device";
    sondeo->waitForOutputEnd(kPatience);
    EXPECT_TRUE(sondeo->exitedNormally());
    EXPECT_EQ(sondeo->exitCode(), 0);
    EXPECT_NE(sondeo->errorText().find("NotifyWhenStopping\nNotifyWhenStopping\nNotifyWhenStopping\n"), std::string::npos)
        << sondeo->errorText();
}

TEST_F(SondeoEndToEnd, EndsCleanlyWhenTheAudioServerGoes)
{
    // Every device is gone with the server: the same clean end as for one.
    LtcSourceProcess source(pipewire, {});
    ASSERT_TRUE(source.ready()) << source.error();
    auto sondeo = pipewire.start({ sondeoPath(), "0", "0" });
    ASSERT_GE(readFrames(*sondeo, 5).frames.size(), 5u) << sondeo->errorText();

    pipewire.stopServer();
    ASSERT_TRUE(sondeo->waitForExit(kPatience)) << "Sondeo kept running without an audio server";
    sondeo->waitForOutputEnd(kPatience);
    EXPECT_EQ(sondeo->exitCode(), 0);
    EXPECT_NE(sondeo->errorText().find("NotifyWhenStopping\n"), std::string::npos) << sondeo->errorText();
}

namespace {

// Main thread waiting in poll: Sondeo has reached its main loop.
bool waitsInMainLoop(pid_t pid)
{
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    std::getline(wchan, where);
    return where.find("poll") != std::string::npos;
}

} // namespace

TEST_F(SondeoEndToEnd, EndsWhenItsParentIsKilled)
{
    LtcSourceProcess source(pipewire, {});
    ASSERT_TRUE(source.ready()) << source.error();
    // Orphans come to this process, which can then see them end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);

    struct Case {
        const char *what;
        const char *device;
        bool capturing;
    };
    for (const Case &c : { Case { "while capturing", "0", true }, Case { "when capture never started", "7", false } }) {
        SCOPED_TRACE(c.what);
        // A shell is Sondeo's parent; it prints Sondeo's pid, then waits.
        auto shell = pipewire.start({ "/bin/sh", "-c", "\"$0\" \"$@\" & echo $!; wait", sondeoPath(), c.device, "0" });
        const auto pidLine = shell->readLine(kPatience);
        ASSERT_TRUE(pidLine.has_value());
        const pid_t sondeo = std::stoi(*pidLine);
        if (c.capturing) {
            ASSERT_GE(readFrames(*shell, 5).frames.size(), 5u) << shell->errorText();
        } else {
            const auto deadline = steady_clock::now() + kPatience;
            while (!waitsInMainLoop(sondeo) && steady_clock::now() < deadline)
                std::this_thread::sleep_for(milliseconds(20));
        }

        shell->signal(SIGKILL);
        ASSERT_TRUE(shell->waitForExit(kPatience));
        const auto killedAt = steady_clock::now();
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = waitpid(sondeo, &status, WNOHANG)) == 0 && steady_clock::now() - killedAt < kPatience)
            std::this_thread::sleep_for(milliseconds(5));
        ASSERT_EQ(reaped, sondeo) << "Sondeo outlived its parent";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        RecordProperty(std::string(c.capturing ? "capturing" : "idle") + "_end_ms",
                       int(duration_cast<milliseconds>(steady_clock::now() - killedAt).count()));
    }
}

TEST(SondeoWithoutServer, ListsNothingAndPrintsTheFailureLine)
{
    std::string folder = (std::filesystem::temp_directory_path() / "kairon-nopw-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const auto environment = environmentWith({ "XDG_RUNTIME_DIR=" + folder, "PIPEWIRE_RUNTIME_DIR=" + folder,
                                               "PIPEWIRE_REMOTE=pipewire-0" });

    ChildProcess list({ { sondeoPath(), "-d" }, environment });
    ASSERT_TRUE(list.waitForExit(kPatience));
    list.waitForOutputEnd(kPatience);
    EXPECT_EQ(list.exitCode(), 0);
    EXPECT_EQ(list.readRest(kPatience), "");
    EXPECT_NE(list.errorText().find("cannot connect to the PipeWire audio server"), std::string::npos) << list.errorText();

    // The failure line sits in buffered output until the tool ends.
    ChildProcess capture({ { sondeoPath(), "0", "0" }, environment });
    const auto deadline = steady_clock::now() + kPatience;
    while (capture.errorText().find("PipeWire") == std::string::npos && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(20));
    capture.terminate();
    EXPECT_EQ(capture.readRest(kPatience), "input->startPlayback( 0, 0 ); failed \n");
    std::filesystem::remove_all(folder);
}

TEST(SondeoWithSessionManager, CapturesThroughTheSessionManagersLinks)
{
    PrivatePipeWire pipewire(PrivatePipeWire::Options { true, kPatience });
    ASSERT_TRUE(pipewire.ready()) << pipewire.error();
    // Two sources an hour apart: the frames show which one got linked.
    LtcSourceProcess other(pipewire, { "--name", "LTC Other", "--fps", "30" });
    ASSERT_TRUE(other.ready()) << other.error();
    LtcSourceProcess source(pipewire, { "--name", "LTC Managed", "--fps", "30", "--offset", "3600" });
    ASSERT_TRUE(source.ready()) << source.error();

    std::string listing;
    int code = -1;
    ASSERT_TRUE(pipewire.run({ sondeoPath(), "-d" }, listing, code));
    const auto at = listing.find(">device LTC Managed\t");
    ASSERT_NE(at, std::string::npos) << listing;
    const std::string device = listing.substr(at + 20, listing.find('\t', at + 20) - at - 20);

    auto sondeo = pipewire.start({ sondeoPath(), device, "0" });
    const Output out = readFrames(*sondeo, 40);
    ASSERT_GE(out.frames.size(), 40u) << sondeo->errorText();
    expectFramesOfSource(out, 30, 3600.0);
}
