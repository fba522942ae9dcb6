#pragma once

#include <QApplication>

namespace testsupport {

// The test process's one QApplication, made on first use.
inline QApplication &application()
{
    static int argc = 1;
    static char name[] = "kairon-test";
    static char *argv[] = { name, nullptr };
    static QApplication app(argc, argv);
    return app;
}

} // namespace testsupport
