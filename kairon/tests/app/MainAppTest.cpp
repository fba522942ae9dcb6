#include "AppTestSupport.h"

#include "kairon/core/SystemDefinedEvent.h"
#include "kairon/core/tsyncApp.h"
#include "kairon/windows/InputListModel.h"
#include "kairon/windows/mainWindow.h"
#include "kairon/windows/preferenceController.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>

using namespace apptest;

namespace {

// Keeps the order in which listeners and the normal handling saw events.
struct EventLog
{
    std::vector<std::string> entries;
};

class LoggingListener : public GlobalHotKeyListener
{
public:
    LoggingListener(EventLog &log, std::string name)
        : log_(log)
        , name_(std::move(name))
    {
    }
    void hotKeyEvent(const SystemDefinedEvent &event) override
    {
        log_.entries.push_back(name_ + ":" + std::to_string(event.data1()));
    }

private:
    EventLog &log_;
    std::string name_;
};

// Stands for the normal handling: sees what reaches the application object.
class NormalHandling : public QObject
{
public:
    explicit NormalHandling(EventLog &log)
        : log_(log)
    {
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == SystemDefinedEvent::qtType())
            log_.entries.push_back(
                "normal:" + std::to_string(static_cast<SystemDefinedEvent *>(event)->subtype()));
        else if (event->type() == QEvent::KeyPress)
            log_.entries.push_back("normal:key");
        return false;
    }

private:
    EventLog &log_;
};

class HotKeyDispatch : public testing::Test
{
protected:
    void SetUp() override { app().installEventFilter(&normal); }
    void TearDown() override { app().removeEventFilter(&normal); }
    EventLog log;
    NormalHandling normal { log };
};

TEST_F(HotKeyDispatch, WithNoListenersAHotKeyGoesStraightToNormalHandling)
{
    if (!app().globalHotKeyListeners().empty())
        GTEST_SKIP() << "listeners registered by an earlier test";
    SystemDefinedEvent press(14, 6, 1);
    app().dispatchSystemEvent(press);
    EXPECT_EQ(log.entries, (std::vector<std::string> { "normal:6" }));
}

TEST_F(HotKeyDispatch, EachListenerOnceBeforeNormalHandlingOnlyForHotKeyPresses)
{
    auto typist = std::make_shared<LoggingListener>(log, "typist");
    auto other = std::make_shared<LoggingListener>(log, "other");
    app().addGlobalHotKeyListener(typist);
    app().addGlobalHotKeyListener(other);
    app().addGlobalHotKeyListener(typist); // switched off and on again

    SystemDefinedEvent press(14, 6, 7);
    app().dispatchSystemEvent(press);
    SystemDefinedEvent otherSubtype(14, 7, 8);
    app().dispatchSystemEvent(otherSubtype);
    SystemDefinedEvent otherType(13, 6, 9);
    app().dispatchSystemEvent(otherType);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&app(), &key);

    EXPECT_EQ(log.entries,
              (std::vector<std::string> { "typist:7", "other:7", "normal:6", "normal:7", "normal:6",
                                          "normal:key" }));
}

class LaunchTest : public AppTest
{
};

TEST_F(LaunchTest, StartsWithTheBuiltInInputsAndShowsSystemTime)
{
    QString error;
    ASSERT_TRUE(app().loadMainInterface(&error)) << error.toStdString();
    app().finishLaunching();
    mainWindow &window = *app().mainWindowController();
    ASSERT_TRUE(window.window()->isVisible());

    // Both timers run from launch on: let each tick a few times.
    QTimer::singleShot(300, &app(), &QCoreApplication::quit);
    app().exec();

    bool listed = false;
    for (int row = 0; row < window.model()->rowCount(); ++row)
        listed |= window.model()->index(row, 1).data().toString().startsWith(
            QStringLiteral("System Time\n"));
    EXPECT_TRUE(listed);
    EXPECT_EQ(window.activeName()->text(), QStringLiteral("System Time"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d$"))
                    .match(window.activeTime()->text())
                    .hasMatch())
        << window.activeTime()->text().toStdString();
    EXPECT_EQ(window.activeValid()->pixmap().toImage(), window.blueLight().toImage());
    window.window()->close();
}

TEST_F(LaunchTest, MenuOpensPreferencesAndQuits)
{
    QString error;
    ASSERT_TRUE(app().loadMainInterface(&error)) << error.toStdString();
    app().finishLaunching();
    QWidget &window = *app().mainWindowController()->window();
    auto *preferences = window.findChild<QAction *>(QStringLiteral("actionPreferences"));
    auto *quit = window.findChild<QAction *>(QStringLiteral("actionQuit"));
    ASSERT_TRUE(preferences && quit);

    preferences->trigger();
    QWidget *preferencesWindow = preferenceController::globalInstance()->preferenceWindow();
    ASSERT_NE(preferencesWindow, nullptr);
    EXPECT_TRUE(preferencesWindow->isVisible());

    QTimer::singleShot(50, quit, &QAction::trigger);
    EXPECT_EQ(app().exec(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(preferencesWindow->isVisible());
}

} // namespace
