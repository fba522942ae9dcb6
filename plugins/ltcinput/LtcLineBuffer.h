#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits the byte stream of a pipe into lines. A line ends in a newline or a
// carriage return and is handed out with its terminator; a partial line waits
// for the next chunk.
class LtcLineBuffer
{
public:
    // A frame line is 37 bytes; anything this long without a terminator is
    // not from Sondeo and is dropped so a broken child cannot grow us unbounded.
    static constexpr size_t kMaxPendingBytes = 4096;

    // Appends a chunk and returns the lines it completed, in order.
    std::vector<std::string> append(std::string_view chunk);
    const std::string &pending() const { return pending_; }

private:
    std::string pending_;
};
