#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

namespace testsupport {

// The build tree a test runs in: KAIRON_BUILD_DIR, or the tree around the
// running test executable (which lives in <tree>/tests/).
inline QString buildRoot()
{
    const QString root = QString::fromLocal8Bit(qgetenv("KAIRON_BUILD_DIR"));
    return root.isEmpty()
        ? QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath()
        : root;
}

} // namespace testsupport
