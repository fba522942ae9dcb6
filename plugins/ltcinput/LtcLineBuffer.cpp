#include "plugins/ltcinput/LtcLineBuffer.h"

std::vector<std::string> LtcLineBuffer::append(std::string_view chunk)
{
    std::vector<std::string> lines;
    for (char c : chunk) {
        pending_.push_back(c);
        if (c == '\n' || c == '\r') {
            lines.push_back(std::move(pending_));
            pending_.clear();
        } else if (pending_.size() > kMaxPendingBytes) {
            pending_.clear();
        }
    }
    return lines;
}
