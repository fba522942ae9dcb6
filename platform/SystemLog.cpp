#include "platform/SystemLog.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace platform {

void systemLog(const QString &message)
{
    static std::once_flag opened;
    std::call_once(opened, [] {
        // program_invocation_short_name lives as long as the process, as
        // openlog requires of its ident.
        openlog(program_invocation_short_name, LOG_PID, LOG_USER);
    });
    const QByteArray line = message.toLocal8Bit();
    syslog(LOG_NOTICE, "%s", line.constData());
    // One write per line so lines from several threads do not interleave.
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

} // namespace platform
