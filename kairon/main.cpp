#include "kairon/core/tsyncMainApp.h"

#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

void printUsage()
{
    std::puts("Usage: Kairon [Qt options]\n"
              "\n"
              "Shows the time of timecode (LTC) sound inputs, the computer's clock and a constant\n"
              "time of day, their offsets from the computer's clock, and sets the clock from them.\n"
              "Settings live in ~/.config/Kairon/; the application has no options of its own.\n"
              "Needs a graphical display (X11, or XWayland).");
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage();
            return 0;
        }
    }
    // Qt aborts without a display; say what is wrong instead.
    if (!isSet("QT_QPA_PLATFORM") && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        std::fputs("Kairon: no display: DISPLAY is not set. Start Kairon from a desktop session, "
                   "or under a virtual X server (xvfb-run -a Kairon).\n",
                   stderr);
        return 1;
    }

    tsyncMainApp app(argc, argv);
    QString error;
    if (!app.loadMainInterface(&error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Kairon"),
                              QStringLiteral("Could not load the main window.\n\n%1\n\nPlease reinstall Kairon.").arg(error));
        return 1;
    }
    app.finishLaunching();
    return app.exec();
}
