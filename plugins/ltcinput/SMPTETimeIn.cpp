#include "plugins/ltcinput/SMPTETimeIn.h"

#include "kairon/core/PluginManager.h"
#include "orrery/TCMDTime.h"
#include "orrery/UBMDUserBits.h"
#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"
#include "platform/SystemLog.h"
#include "plugins/ltcinput/LtcLineBuffer.h"
#include "plugins/ltcinput/_SMPTETimePrefController.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

std::atomic<int> SMPTETimeIn::totalReadersRunning_ { 0 };

namespace {

static platform::ClassRegistration<SMPTETimeInClass> registration;

std::mutex overrideMutex;
QString resourceFolderOverride;

// A two-character field read like atoi: leading blanks, a sign, then digits.
int fieldValue(std::string_view line, size_t pos)
{
    std::string_view s = line.substr(pos, 2);
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10 + (s[i] - '0');
    return negative ? -value : value;
}

} // namespace

SMPTETimeIn::SMPTETimeIn() = default;

SMPTETimeIn::~SMPTETimeIn()
{
    stop();
}

std::shared_ptr<SMPTETimeIn> SMPTETimeIn::initWithThisChannel(int32_t device, int32_t side,
                                                              const QString &name)
{
    auto input = std::make_shared<SMPTETimeIn>();
    input->name_ = name;
    input->startDevice(device, side);
    return input;
}

QString SMPTETimeIn::pluginName()
{
    return QStringLiteral("Audio LTC");
}

std::vector<std::shared_ptr<SMPTETimeIn>> SMPTETimeIn::pluginsFor()
{
    const DeviceList devices = getAllDevicesInit();
    QStringList described;
    for (const auto &d : devices)
        described << QStringLiteral("%1 %2 %3").arg(d->name()).arg(d->device()).arg(d->side());
    platform::systemLog(
        QStringLiteral("allAudioDevices (%1)").arg(described.join(QStringLiteral(", "))));
    std::vector<std::shared_ptr<SMPTETimeIn>> inputs;
    for (const auto &d : devices)
        inputs.push_back(initWithThisChannel(d->device(), d->side(), d->name()));
    return inputs;
}

QString SMPTETimeIn::name() const
{
    QString channel;
    if (side_ == 0)
        channel = QStringLiteral("Left");
    else if (side_ == 1)
        channel = QStringLiteral("Right");
    else
        channel = QString::number(side_);
    return QStringLiteral("%1 (%2)").arg(name_, channel);
}

std::shared_ptr<const TCMDTime> SMPTETimeIn::myTime()
{
    std::lock_guard lock(state_);
    return nowTime_;
}

std::shared_ptr<const UBMDUserBits> SMPTETimeIn::nowUB() const
{
    std::lock_guard lock(state_);
    return nowUB_;
}

uint32_t SMPTETimeIn::fps() const
{
    std::lock_guard lock(state_);
    return fps_;
}

TimeDelta SMPTETimeIn::currentTimeDelta()
{
    TimeDelta result;
    const std::shared_ptr<const TCMDTime> time = myTime();
    uint32_t hour = 0, minute = 0, second = 0, frame = 0;
    float rate = 30.0f;
    if (time) {
        hour = time->hour();
        minute = time->minute();
        second = time->second();
        frame = time->frame();
        rate = float(time->fps());
        if (!time->isDropFrame())
            rate = rate - 0.03f;
    }

    struct timeval a;
    ::gettimeofday(&a, nullptr);
    const time_t aSeconds = a.tv_sec;
    struct tm calendar;
    ::localtime_r(&aSeconds, &calendar);

    // Frame 0 contributes nothing whatever the rate, so an empty time needs no rate.
    const float fraction = float(frame) / rate;
    const int32_t microseconds = int32_t(fraction * 1000000.0f);

    calendar.tm_hour = int(hour);
    calendar.tm_min = int(minute);
    calendar.tm_sec = int(second);
    const time_t labelSeconds = ::mktime(&calendar);

    struct timeval b;
    ::gettimeofday(&b, nullptr);
    result.tv_sec = int32_t(labelSeconds - b.tv_sec);
    result.tv_usec = microseconds - int32_t(b.tv_usec);
    if (result.tv_usec < 0) {
        result.tv_usec += 1000000;
        result.tv_sec -= 1;
    }
    return result;
}

StatusLevel SMPTETimeIn::statusLevel()
{
    std::lock_guard lock(state_);
    timesCallesStatusSinceLastChange_ += 1;
    if (timesCallesStatusSinceLastChange_ > 10)
        statusLevel_ = kStatusNoSignal;
    return statusLevel_;
}

void SMPTETimeIn::setStatus(uint32_t frameCount)
{
    std::lock_guard lock(state_);
    timesCallesStatusSinceLastChange_ = 0;
    timeSinceLastError_ += 1;
    if (frameCount != lastFrame_ + 1) {
        timeSinceLastError_ = 0;
        statusLevel_ = kStatusNoSignal;
    }
    if (statusLevel_ == kStatusNoSignal && timeSinceLastError_ > 4)
        statusLevel_ = kStatusUnsteady;
    if (statusLevel_ == kStatusUnsteady && timeSinceLastError_ > 59)
        statusLevel_ = kStatusReliable;
    if (timeSinceLastError_ > 1000)
        timeSinceLastError_ = 1000;
    lastFrame_ = frameCount;
}

void SMPTETimeIn::processTCLine(std::string_view line)
{
    if (line.size() <= 35)
        return;
    const int hours = fieldValue(line, 0);
    const int minutes = fieldValue(line, 3);
    const int seconds = fieldValue(line, 6);
    const int frames = fieldValue(line, 9);
    const bool dropFrame = line[11] == 'd';
    uint8_t ub[8];
    for (size_t i = 0; i < 8; ++i)
        ub[i] = uint8_t(fieldValue(line, 13 + 3 * i) & 0xff);

    std::shared_ptr<const TCMDTime> time;
    {
        std::lock_guard lock(state_);
        if (frames == 0) {
            const uint32_t count = fpsLastSecond_ + 1;
            if (count == 24 || count == 25 || count == 30)
                fps_ = count;
        }
        fpsLastSecond_ = uint32_t(frames);
        nowUB_ = UBMDUserBits::ubitsWithU(ub[0], ub[1], ub[2], ub[3], ub[4], ub[5], ub[6], ub[7]);
        nowTime_ = TCMDTime::initWithHour(uint32_t(hours), uint32_t(minutes), uint32_t(seconds),
                                          uint32_t(frames), fps_, dropFrame);
        time = nowTime_;
    }
    setStatus(time ? time->timeInFrames() : 0);
}

void SMPTETimeIn::setResourceFolderOverride(const QString &folder)
{
    std::lock_guard lock(overrideMutex);
    resourceFolderOverride = folder;
}

QString SMPTETimeIn::resourceFolder()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!resourceFolderOverride.isEmpty())
            return resourceFolderOverride;
    }
    if (auto bundle = platform::Bundle::bundleForClass(QStringLiteral("SMPTETimeIn")))
        return bundle->resourcePath();
    return QString();
}

QString SMPTETimeIn::sondeoPath()
{
    return QStringLiteral("%1/Sondeo").arg(resourceFolder());
}

bool SMPTETimeIn::runSondeo(const std::vector<std::string> &args, bool markerOnFailure)
{
    program_ = sondeoPath();
    const std::string program = program_.toStdString();
    std::vector<std::string> argv { program };
    argv.insert(argv.end(), args.begin(), args.end());
    if (!child_.start(program, argv, markerOnFailure)) {
        platform::systemLog(
            QStringLiteral("ERROR: cannot start %1: %2 (too many processes or open files?)")
                .arg(QString::fromStdString(program),
                     QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    cpid_ = child_.pid();
    return true;
}

void SMPTETimeIn::startDevice(int32_t device, int32_t side)
{
    if (cpid_.load() != 0) {
        platform::systemLog(QStringLiteral("Attempt to restart Sondeo while in use thwarted!"));
        return;
    }
    // A listener that stopped by itself is finished; collect its thread.
    joinListener();
    device_ = device;
    side_ = side;
    stopping_ = false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!runSondeo({ std::to_string(device), std::to_string(side) }, true)) {
        ::close(wakeFd_);
        wakeFd_ = -1;
        return;
    }
    listener_ = std::thread([this] { TClistener(true); });
}

void SMPTETimeIn::wakeListener()
{
    stopping_ = true;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void SMPTETimeIn::joinListener()
{
    if (!listener_.joinable())
        return;
    wakeListener();
    listener_.join();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

void SMPTETimeIn::stop()
{
    // The pipe and the child belong to a running listener: it closes and
    // collects them itself once woken, so no other thread touches them.
    joinListener();
    closeChild();
}

void SMPTETimeIn::closeChild()
{
    if (child_.readFd() >= 0) {
        platform::systemLog(QStringLiteral("CLosing fd[0] <%1>").arg(child_.readFd()));
        child_.closeReadEnd();
    }
    if (child_.pid() > 0) {
        // After end of file the child has normally exited already; when we
        // stop first, the closed pipe would only end it at its next line.
        if (stopping_.load())
            child_.terminate();
        const pid_t pid = child_.pid();
        const int status = child_.reap(std::chrono::milliseconds(1000));
        if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 127)
            platform::systemLog(
                QStringLiteral("ERROR: could not run %1 (child %2); check that Kairon is installed "
                               "completely")
                    .arg(program_)
                    .arg(pid));
    }
    cpid_ = 0;
}

void SMPTETimeIn::TClistener(bool frameLines)
{
    totalReadersRunning_ += 1;
    LtcLineBuffer buffer;
    // Discovery must not hang the start of the application on a stuck child.
    const int timeoutMs = frameLines ? -1 : 15000;
    char chunk[127];
    while (child_.readFd() >= 0) {
        struct pollfd fds[2] = { { child_.readFd(), POLLIN, 0 }, { wakeFd_, POLLIN, 0 } };
        const nfds_t count = wakeFd_ >= 0 ? 2 : 1;
        const int ready = ::poll(fds, count, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            platform::systemLog(
                QStringLiteral("ERROR: %1 -d gave no answer for %2 s; no Audio LTC inputs")
                    .arg(program_)
                    .arg(timeoutMs / 1000));
            stopping_ = true;
            closeChild();
            break;
        }
        if (ready < 0 || (count == 2 && fds[1].revents != 0) || stopping_.load()) {
            closeChild();
            break;
        }
        const ssize_t n = ::read(child_.readFd(), chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            closeChild();
            break;
        }
        for (const std::string &line : buffer.append(std::string_view(chunk, size_t(n)))) {
            if (frameLines)
                processTCLine(line);
            else
                processTCDeviceLine(line);
        }
    }
    platform::systemLog(
        QStringLiteral("*** > TClistener<%1> stopped < ***").arg(totalReadersRunning_.load()));
    totalReadersRunning_ -= 1;
}

QString SMPTETimeInClass::className() const
{
    return QStringLiteral("SMPTETimeIn");
}

QString SMPTETimeInClass::pluginName() const
{
    return SMPTETimeIn::pluginName();
}

QWidget *SMPTETimeInClass::preferenceView()
{
    return _SMPTETimePrefController::globalNib();
}

void SMPTETimeInClass::initializePluginWithManager(PluginManager *manager)
{
    platform::systemLog(QStringLiteral("SMPTETimeIn init"));
    const SMPTETimeIn::DeviceList devices = SMPTETimeIn::getAllDevicesInit();
    platform::systemLog(QStringLiteral("SMPTETimeIn init a"));
    if (!manager)
        return;
    for (const auto &d : devices)
        manager->addPluginInstance(
            SMPTETimeIn::initWithThisChannel(d->device(), d->side(), d->name()));
}
