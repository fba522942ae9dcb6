// The application with its real input bundles and an LTC source on a private
// PipeWire: automatic selection, the active area, the table row's offset and
// light, as a user sees them.
#include "kairon/core/tsyncApp.h"
#include "kairon/core/tsyncMainApp.h"
#include "kairon/windows/InputListModel.h"
#include "kairon/windows/mainWindow.h"
#include "plugins/ltcinput/tests/InputHost.h"
#include "tools/testsupport/LtcSourceProcess.h"
#include "tools/testsupport/PrivatePipeWire.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <sys/time.h>

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &condition, milliseconds limit)
{
    const auto end = steady_clock::now() + limit;
    while (steady_clock::now() < end) {
        if (condition())
            return true;
        spin(20);
    }
    return condition();
}

// Local time of day now, in seconds.
double localSecondsOfDay()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    const time_t t = tv.tv_sec;
    struct tm cal;
    localtime_r(&t, &cal);
    return cal.tm_hour * 3600 + cal.tm_min * 60 + cal.tm_sec + tv.tv_usec / 1e6;
}

TEST(KaironWithLtc, AutomaticSelectionShowsTheLtcInputAndItsRowTurnsRedWhenItStops)
{
    testsupport::PrivatePipeWire pipewire;
    ASSERT_TRUE(pipewire.ready()) << pipewire.error();
    // LTC on the right channel only; a second source playing silence.
    testsupport::LtcSourceProcess stage(pipewire,
                                        { "--name", "Stage", "--channels", "2", "--ltc-channel",
                                          "1", "--fps", "25", "--offset", "2.5" });
    ASSERT_TRUE(stage.ready()) << stage.error();
    QTemporaryDir files;
    const QString silence = files.filePath(QStringLiteral("silence.raw"));
    {
        QFile f(silence);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(48000 * 2, '\0')); // one second of 16-bit mono
    }
    testsupport::LtcSourceProcess booth(pipewire,
                                        { "--name", "Booth", "--file", silence.toStdString(),
                                          "--raw", "s16", "--rate", "48000", "--channels", "1",
                                          "--loop" });
    ASSERT_TRUE(booth.ready()) << booth.error();

    tsyncMainApp *app = tsyncMainApp::sharedApplication();
    ASSERT_TRUE(app);
    QString error;
    ASSERT_TRUE(app->loadMainInterface(&error)) << error.toStdString();
    app->finishLaunching();
    mainWindow *window = app->mainWindowController();
    ASSERT_TRUE(window);
    InputListModel *model = window->model();

    const QStringList classes = [] {
        QStringList names;
        for (const auto &cls : AbstractPluginManager::sharedManager()->inputPluginClasses())
            names << cls->className();
        return names;
    }();
    for (const char *cls : { "ConstantTimeIn", "SMPTETimeIn", "SystemTimeIn" })
        EXPECT_TRUE(classes.contains(QLatin1String(cls))) << cls;

    ASSERT_TRUE(spinUntil(
        [&] { return window->activeName()->text() == QLatin1String("Stage (Right)"); }, 20s))
        << "active input is " << window->activeName()->text().toStdString();

    // The active time is the source's: the time of day 2.5 s ahead, read a
    // frame or two late.
    const QString shown = window->activeTime()->text();
    const auto m = QRegularExpression(QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d\\d)$"))
                       .match(shown);
    ASSERT_TRUE(m.hasMatch()) << shown.toStdString();
    const double label = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60
        + m.captured(3).toInt() + m.captured(4).toInt() / 25.0;
    double ahead = label - localSecondsOfDay();
    ahead -= 86400 * std::round(ahead / 86400);
    EXPECT_NEAR(ahead, 2.5, 0.6) << shown.toStdString();

    auto rowOf = [&](const QString &name) {
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->data(model->index(r, InputListModel::TextColumn))
                    .toString()
                    .startsWith(name))
                return r;
        return -1;
    };
    auto lightOf = [&](int row) {
        return qvariant_cast<QPixmap>(
                   model->data(model->index(row, InputListModel::StatusColumn), Qt::DecorationRole))
            .cacheKey();
    };
    const int right = rowOf(QStringLiteral("Stage (Right)"));
    const int left = rowOf(QStringLiteral("Stage (Left)"));
    const int silent = rowOf(QStringLiteral("Booth (Left)"));
    ASSERT_GE(right, 0);
    ASSERT_GE(left, 0);
    ASSERT_GE(silent, 0);
    // The table reloads 13 times a second, the active area 30 times.
    EXPECT_TRUE(spinUntil([&] { return lightOf(right) == window->greenLight().cacheKey(); }, 1s));
    EXPECT_EQ(lightOf(left), window->redLight().cacheKey());
    EXPECT_EQ(lightOf(silent), window->redLight().cacheKey());
    // The row's offset: +2.5 s less the lag of a frame or two (frames of the
    // offset's 30ths by default).
    const QString text = model->data(model->index(right, InputListModel::TextColumn)).toString();
    const auto offset = QRegularExpression(QStringLiteral("\\+00:00:02\\.(\\d\\d)")).match(text);
    ASSERT_TRUE(offset.hasMatch()) << text.toStdString();
    EXPECT_GE(offset.captured(1).toInt(), 6) << text.toStdString();
    EXPECT_LE(offset.captured(1).toInt(), 15) << text.toStdString();

    stage.stop();
    const auto stopped = steady_clock::now();
    ASSERT_TRUE(spinUntil([&] { return lightOf(right) == window->redLight().cacheKey(); }, 5s));
    const auto took = duration_cast<milliseconds>(steady_clock::now() - stopped);
    std::printf("row red %lld ms after the source stopped\n", (long long)took.count());
    EXPECT_LE(took, 1500ms);
    EXPECT_TRUE(spinUntil([] { return ltctest::sondeoChildren().size() == 1; }, 5s))
        << "the stopped source's Sondeo children are collected; the other input's stays";
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings of a fresh user, never the real one's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    tsyncMainApp app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
