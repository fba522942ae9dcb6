#pragma once

#include <cstdio>
#include <string>

// A frame line as Sondeo prints it.
inline std::string frameLine(unsigned h, unsigned m, unsigned s, unsigned f, bool dropFrame = false,
                             const unsigned (&ub)[8] = { 0, 0, 0, 0, 0, 0, 0, 0 })
{
    char line[64];
    std::snprintf(line, sizeof line,
                  "%02u:%02u:%02u.%02u%cn%02u %02u %02u %02u %02u %02u %02u %02u\n", h, m, s, f,
                  dropFrame ? 'd' : 'n', ub[0], ub[1], ub[2], ub[3], ub[4], ub[5], ub[6], ub[7]);
    return line;
}

// The line of the label `count` frames after 00:00:00:00 at a non-drop rate.
inline std::string frameLineAt(unsigned count, unsigned fps)
{
    const unsigned f = count % fps;
    const unsigned seconds = count / fps;
    return frameLine(seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, f);
}
