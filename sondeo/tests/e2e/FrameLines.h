#pragma once

#include <cmath>
#include <ctime>
#include <optional>
#include <cctype>
#include <string>
#include <sys/time.h>

// Reading Sondeo's frame lines back into times, for the end-to-end tests.
struct FrameLine {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool dropFrame = false;

    // "HH:MM:SS.FFdcUU UU UU UU UU UU UU UU" (the line end already cut off).
    static std::optional<FrameLine> parse(const std::string &line)
    {
        if (line.size() != 36)
            return std::nullopt;
        auto digits = [&](size_t at, int &value) {
            if (!std::isdigit(static_cast<unsigned char>(line[at])) || !std::isdigit(static_cast<unsigned char>(line[at + 1])))
                return false;
            value = (line[at] - '0') * 10 + (line[at + 1] - '0');
            return true;
        };
        FrameLine f;
        int userBits = 0;
        bool ok = digits(0, f.hours) && line[2] == ':' && digits(3, f.minutes) && line[5] == ':'
            && digits(6, f.seconds) && line[8] == '.' && digits(9, f.frames)
            && (line[11] == 'd' || line[11] == 'n') && (line[12] == 'c' || line[12] == 'n');
        for (size_t at = 13; ok && at < 36; at += 3)
            ok = digits(at, userBits) && userBits <= 15 && (at + 2 == 36 || line[at + 2] == ' ');
        if (!ok)
            return std::nullopt;
        f.dropFrame = line[11] == 'd';
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

    // The time of day the label shows (drop-frame labels read as such, as a
    // time-of-day generator sets them).
    double secondsOfDay(double fps) const
    {
        return hours * 3600.0 + minutes * 60.0 + seconds + frames / std::round(fps);
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
