#pragma once

#include <cmath>
#include <ctime>
#include <optional>
#include <regex>
#include <string>
#include <sys/time.h>

// Reading Sondeo's frame lines back into times, for the end-to-end tests.
struct FrameLine {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool dropFrame = false;

    static std::optional<FrameLine> parse(const std::string &line)
    {
        static const std::regex shape(R"(^(\d\d):(\d\d):(\d\d)\.(\d\d)([dn])([cn])((\d\d) ){7}(\d\d)$)");
        std::smatch m;
        if (!std::regex_match(line, m, shape))
            return std::nullopt;
        FrameLine f;
        f.hours = std::stoi(m[1]);
        f.minutes = std::stoi(m[2]);
        f.seconds = std::stoi(m[3]);
        f.frames = std::stoi(m[4]);
        f.dropFrame = m[5] == "d";
        return f;
    }

    // Frames since midnight at the nominal rate; drop-frame labels skip
    // frames 0 and 1 of every minute that is not a tenth.
    long frameNumber(int nominalFps) const
    {
        const long totalMinutes = hours * 60L + minutes;
        long n = (totalMinutes * 60 + seconds) * nominalFps + frames;
        if (dropFrame)
            n -= 2 * (totalMinutes - totalMinutes / 10);
        return n;
    }

    bool valid(int nominalFps) const
    {
        if (hours > 23 || minutes > 59 || seconds > 59 || frames >= nominalFps)
            return false;
        return !(dropFrame && seconds == 0 && frames < 2 && minutes % 10 != 0);
    }

    double secondsOfDay(double fps) const
    {
        const int nominal = int(std::lround(fps));
        return double(frameNumber(nominal)) / (dropFrame ? 30000.0 / 1001.0 : fps);
    }
};

inline double localSecondsOfDay()
{
    timeval tv {};
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    tm local {};
    localtime_r(&secs, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + tv.tv_usec / 1e6;
}

// Distance between two times of day, across midnight.
inline double timeOfDayDistance(double a, double b)
{
    const double d = std::fmod(std::fabs(a - b), 86400.0);
    return std::min(d, 86400.0 - d);
}
