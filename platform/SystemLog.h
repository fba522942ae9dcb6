#pragma once

#include <QString>

namespace platform {

// One line to the system log (syslog, the program's name as ident, so the
// journal shows it) and the same line on standard error.
void systemLog(const QString &message);

} // namespace platform
