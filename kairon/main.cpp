#include "kairon/core/tsyncMainApp.h"

#include <QMessageBox>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

bool isSet(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

// Whether the X server named by DISPLAY answers. Asked through libxcb (which
// Qt's X11 platform loads anyway) only when it is there; otherwise assumed.
bool xServerAnswers()
{
    void *xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return true;
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool answers = true;
    if (connect && hasError && disconnect) {
        void *connection = connect(nullptr, nullptr);
        answers = hasError(connection) == 0;
        disconnect(connection);
    }
    dlclose(xcb);
    return answers;
}

// Whether the command line picks the platform or the display itself
// (-platform offscreen, -display :1): Qt then decides, not the environment.
bool choosesDisplayOnCommandLine(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strncmp(arg, "--", 2) == 0)
            ++arg; // Qt takes --platform like -platform
        if (std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "-display") == 0)
            return true;
    }
    return false;
}

void printUsage()
{
    std::puts(
        "Usage: Kairon [Qt options]\n"
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
    const bool qtChooses = choosesDisplayOnCommandLine(argc, argv);
    if (!qtChooses && !isSet("QT_QPA_PLATFORM") && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        std::fputs("Kairon: no display: DISPLAY is not set. Start Kairon from a desktop session, "
                   "or under a virtual X server (xvfb-run -a Kairon).\n",
                   stderr);
        return 1;
    }

    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const bool usesX = (!platform || !*platform || std::strncmp(platform, "xcb", 3) == 0)
        && !isSet("WAYLAND_DISPLAY");
    if (!qtChooses && usesX && isSet("DISPLAY") && !xServerAnswers()) {
        std::fprintf(stderr,
                     "Kairon: cannot connect to the X server at DISPLAY=%s. Check that the display "
                     "is running and "
                     "that this user may use it (xauth), or start Kairon under xvfb-run -a.\n",
                     std::getenv("DISPLAY"));
        return 1;
    }

    tsyncMainApp app(argc, argv);
    QString error;
    if (!app.loadMainInterface(&error)) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Kairon"),
            QStringLiteral("Could not load the main window.\n\n%1\n\nPlease reinstall Kairon.")
                .arg(error));
        return 1;
    }
    app.finishLaunching();
    return app.exec();
}
