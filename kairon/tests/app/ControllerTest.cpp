#include "AppTestSupport.h"

#include "kairon/core/tsyncApp.h"
#include "kairon/windows/mainWindow.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <limits>

using namespace apptest;

namespace {

class ControllerTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        QString error;
        ASSERT_TRUE(app().loadMainInterface(&error)) << error.toStdString();
    }

    // Applies every setting as launching does (the plug-ins are the test's).
    void applySettings() { controller().observeValueForKeyPath(QString(), nullptr, {}, nullptr); }

    tsyncApp &controller() { return *app().controller(); }
    mainWindow &window() { return *app().mainWindowController(); }
    QString activeName() { return window().activeName()->text(); }
    QString activeTimeText() { return window().activeTime()->text(); }
    QString activeInputName()
    {
        auto input = controller().activeInput();
        return input ? input->name() : QStringLiteral("(none)");
    }
};

struct InputSetup
{
    const char *name;
    StatusLevel level;
};

struct SelectionScenario
{
    const char *what;
    std::vector<InputSetup> inputs;
    bool autoselect;
    bool keepSearching;
    bool allowSystem;
    const char *shown; // name in the active area after one active tick
    const char *active; // the active input afterwards
    int32_t selectedRow; // the table's selection afterwards
    bool outputsUpdated;
};

class AutomaticSelection : public ControllerTest,
                           public testing::WithParamInterface<SelectionScenario>
{
};

TEST_P(AutomaticSelection, OneActiveTick)
{
    const SelectionScenario &s = GetParam();
    for (const InputSetup &setup : s.inputs)
        addInput(QString::fromUtf8(setup.name), setup.level);
    auto output = addOutput();
    setDefault(QStringLiteral("autoselectTime"), s.autoselect);
    setDefault(QStringLiteral("autoselectTime_keepSearching"), s.keepSearching);
    setDefault(QStringLiteral("autoselectTime_allowSystem"), s.allowSystem);
    applySettings();
    controller().updateTableTimer();

    controller().updateActiveTimer();

    EXPECT_EQ(activeName(), QString::fromUtf8(s.shown));
    EXPECT_EQ(activeInputName(), QString::fromUtf8(s.active));
    EXPECT_EQ(window().selecedInput(), s.selectedRow);
    ASSERT_EQ(output->updates.size(), s.outputsUpdated ? 1u : 0u);
    if (s.outputsUpdated)
        EXPECT_EQ(output->updates[0].name, QString::fromUtf8(s.shown));
    else
        EXPECT_EQ(activeTimeText(), QStringLiteral("<none>"));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, AutomaticSelection,
    testing::Values(
        SelectionScenario { "unsteady LTC falls back to the system time",
                            { { "LTC 1", 1 }, { "System Time", 2 } },
                            true,
                            true,
                            true,
                            "System Time",
                            "(none)",
                            -1,
                            true },
        SelectionScenario { "reliable LTC first is shown, not made active",
                            { { "LTC 1", 10 }, { "System Time", 2 } },
                            true,
                            true,
                            true,
                            "LTC 1",
                            "(none)",
                            -1,
                            true },
        SelectionScenario { "system time listed before a reliable LTC wins the fallback",
                            { { "System Time", 2 }, { "LTC 1", 10 } },
                            true,
                            true,
                            true,
                            "System Time",
                            "(none)",
                            -1,
                            true },
        SelectionScenario { "keep searching off latches the reliable input and selects its row",
                            { { "LTC 1", 0 }, { "LTC 2", 10 }, { "System Time", 2 } },
                            true,
                            false,
                            true,
                            "LTC 2",
                            "LTC 2",
                            1,
                            true },
        SelectionScenario {
            "keep searching off behind the system time: fallback shown, LTC latched",
            { { "System Time", 2 }, { "LTC 1", 10 } },
            true,
            false,
            true,
            "System Time",
            "LTC 1",
            1,
            true },
        SelectionScenario { "the first reliable input wins",
                            { { "LTC 1", 10 }, { "LTC 2", 10 } },
                            true,
                            true,
                            true,
                            "LTC 1",
                            "(none)",
                            -1,
                            true },
        SelectionScenario { "fallback not allowed",
                            { { "LTC 1", 1 }, { "System Time", 2 } },
                            true,
                            true,
                            false,
                            "<none>",
                            "(none)",
                            -1,
                            false },
        SelectionScenario { "a level-2 input not named System Time is never chosen",
                            { { "Constant Time", 2 } },
                            true,
                            true,
                            true,
                            "<none>",
                            "(none)",
                            -1,
                            false },
        SelectionScenario { "constant time before the system time",
                            { { "Constant Time", 2 }, { "System Time", 2 } },
                            true,
                            true,
                            true,
                            "System Time",
                            "(none)",
                            -1,
                            true },
        SelectionScenario { "System Time at another level is no fallback",
                            { { "System Time", 1 } },
                            true,
                            true,
                            true,
                            "<none>",
                            "(none)",
                            -1,
                            false },
        SelectionScenario { "automatic selection off",
                            { { "LTC 1", 10 }, { "System Time", 2 } },
                            false,
                            true,
                            true,
                            "<none>",
                            "(none)",
                            -1,
                            false },
        SelectionScenario {
            "no inputs at all", {}, true, true, true, "<none>", "(none)", -1, false }),
    [](const testing::TestParamInfo<SelectionScenario> &info) {
        return caseName(info.param.what);
    });

TEST_F(ControllerTest, KeepSearchingShowsTheSystemTimeAgainWhenTheReliableInputDrops)
{
    auto ltc = addInput(QStringLiteral("LTC 1"), 10);
    addInput(QStringLiteral("System Time"), 2);
    applySettings();

    controller().updateActiveTimer();
    EXPECT_EQ(activeName(), QStringLiteral("LTC 1"));
    ltc->setLevel(0);
    controller().updateActiveTimer();
    EXPECT_EQ(activeName(), QStringLiteral("System Time"));
    EXPECT_EQ(controller().activeInput(), nullptr);
    EXPECT_EQ(window().selecedInput(), -1);
}

TEST_F(ControllerTest, LatchedInputStaysActiveWhenItsLevelDrops)
{
    auto ltc = addInput(QStringLiteral("LTC 1"), 10);
    addInput(QStringLiteral("System Time"), 2);
    setDefault(QStringLiteral("autoselectTime_keepSearching"), false);
    applySettings();

    controller().updateActiveTimer();
    controller().updateTableTimer(); // confirms the controller's own choice
    ltc->setLevel(0);
    controller().updateTableTimer();
    controller().updateActiveTimer();

    EXPECT_EQ(controller().activeInput(), ltc);
    EXPECT_EQ(activeName(), QStringLiteral("LTC 1"));
    EXPECT_EQ(window().activeValid()->pixmap().toImage(), window().redLight().toImage());
}

TEST_F(ControllerTest, UserSelectionMakesTheInputActiveAndClearingItReturnsToAutomaticSelection)
{
    addInput(QStringLiteral("System Time"), 2);
    auto ltc = addInput(QStringLiteral("LTC 1"), 0);
    applySettings();
    controller().updateTableTimer();

    window().setSelectedInput(1); // the user's click
    controller().updateTableTimer();
    EXPECT_EQ(controller().activeInput(), ltc);
    controller().updateActiveTimer();
    EXPECT_EQ(activeName(), QStringLiteral("LTC 1"));

    window().setSelectedInput(-1);
    controller().updateTableTimer();
    EXPECT_EQ(controller().activeInput(), nullptr);
    controller().updateActiveTimer();
    EXPECT_EQ(activeName(), QStringLiteral("System Time"));
}

TEST_F(ControllerTest, SelectingThePlaceholderRowMakesNoInputActive)
{
    applySettings();
    controller().updateTableTimer();
    window().setSelectedInput(0);
    controller().updateTableTimer();
    EXPECT_EQ(controller().activeInput(), nullptr);
}

TEST_F(ControllerTest, ActiveTickHandsTheInputToEveryOutput)
{
    auto ltc = addInput(QStringLiteral("LTC 1"), 10);
    ltc->delta = { -2, 500000 };
    auto first = addOutput();
    auto second = addOutput();
    setDefault(QStringLiteral("syncOffsetFPS"), QStringLiteral("25"));
    setDefault(QStringLiteral("offsetClock_frames"), false);
    applySettings();

    controller().updateActiveTimer();

    for (const auto &output : { first, second }) {
        ASSERT_EQ(output->updates.size(), 1u);
        const RecordingOutput::Update &u = output->updates[0];
        EXPECT_EQ(u.time, ltc->time);
        EXPECT_EQ(u.offset.tv_sec, -2);
        EXPECT_EQ(u.offset.tv_usec, 500000);
        EXPECT_EQ(u.name, QStringLiteral("LTC 1"));
        EXPECT_EQ(u.offsetFraction, 25);
        EXPECT_FALSE(u.showFrames);
        EXPECT_EQ(u.status, 10);
    }
    // The active area always shows frames.
    EXPECT_EQ(activeTimeText(), QStringLiteral("01:02:03.04"));
}

TEST_F(ControllerTest, OffsetRateChangeReachesTheNextOutputUpdate)
{
    addInput(QStringLiteral("System Time"), 2);
    auto output = addOutput();
    applySettings();
    controller().updateActiveTimer();
    setDefault(QStringLiteral("syncOffsetFPS"), 25);
    controller().updateActiveTimer();

    ASSERT_EQ(output->updates.size(), 2u);
    EXPECT_EQ(output->updates[0].offsetFraction, 30);
    EXPECT_EQ(output->updates[1].offsetFraction, 25);
}

TEST_F(ControllerTest, InputWithoutTimeShowsZerosAndOutputsGetNoTime)
{
    auto input = addInput(QStringLiteral("System Time"), 2);
    input->time = nullptr;
    auto output = addOutput();
    applySettings();

    controller().updateActiveTimer();

    EXPECT_EQ(activeTimeText(), QStringLiteral("00:00:00.00"));
    ASSERT_EQ(output->updates.size(), 1u);
    EXPECT_EQ(output->updates[0].time, nullptr);
}

int activeTimers(const tsyncApp &controller)
{
    int count = 0;
    for (const QTimer *timer : controller.findChildren<QTimer *>())
        count += timer->isActive() ? 1 : 0;
    return count;
}

TEST_F(ControllerTest, RateChangeReplacesTheTimerAtOnce)
{
    applySettings();
    QPointer<QTimer> table = controller().syncRefreshTimer();
    QPointer<QTimer> active = controller().activeRefreshTimer();
    ASSERT_TRUE(table && active);
    EXPECT_EQ(table->interval(), 77);
    EXPECT_EQ(active->interval(), 33);

    setDefault(QStringLiteral("activeRefreshFPS"), 10);

    QTimer *replacement = controller().activeRefreshTimer();
    ASSERT_NE(replacement, nullptr);
    EXPECT_NE(replacement, active.data());
    EXPECT_EQ(replacement->interval(), 100);
    EXPECT_FLOAT_EQ(controller().activeRefreshInterval(), 0.1f);
    EXPECT_TRUE(replacement->isActive());
    EXPECT_TRUE(!active || !active->isActive());
    EXPECT_EQ(controller().syncRefreshTimer(), table.data());
    EXPECT_EQ(activeTimers(controller()), 2);
}

class UnusableRate : public ControllerTest, public testing::WithParamInterface<QVariant>
{
};

TEST_P(UnusableRate, KeepsTheRunningTimerAndSaysSo)
{
    applySettings();
    QTimer *before = controller().activeRefreshTimer();

    testing::internal::CaptureStderr();
    setDefault(QStringLiteral("activeRefreshFPS"), GetParam());
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(controller().activeRefreshTimer(), before);
    EXPECT_TRUE(before->isActive());
    EXPECT_EQ(before->interval(), 33);
    EXPECT_FLOAT_EQ(controller().activeRefreshInterval(), 1.0f / 30);
    EXPECT_NE(log.find("activeRefreshFPS"), std::string::npos) << log;
    EXPECT_EQ(activeTimers(controller()), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, UnusableRate,
    testing::Values(QVariant(0), QVariant(-5), QVariant(std::numeric_limits<double>::quiet_NaN()),
                    QVariant(std::numeric_limits<double>::infinity())),
    [](const testing::TestParamInfo<QVariant> &info) {
        return "Rate" + std::to_string(info.index) + caseName(info.param.toString().toStdString());
    });

// Text that is no number reads as the registered default (30 a second).
TEST_F(ControllerTest, TextRateRunsAtTheDefaultRate)
{
    applySettings();
    setDefault(QStringLiteral("activeRefreshFPS"), 10);
    for (const char *text : { "fast", "nan", "inf", "" }) {
        SCOPED_TRACE(text);
        setDefault(QStringLiteral("activeRefreshFPS"), QString::fromLatin1(text));
        ASSERT_NE(controller().activeRefreshTimer(), nullptr);
        EXPECT_TRUE(controller().activeRefreshTimer()->isActive());
        EXPECT_EQ(controller().activeRefreshTimer()->interval(), 33);
        EXPECT_EQ(activeTimers(controller()), 2);
    }
}

TEST_F(ControllerTest, UnusableRateAtLaunchStartsTheDefaultRate)
{
    setDefault(QStringLiteral("syncRefreshFPS"), 0);
    testing::internal::CaptureStderr();
    applySettings();
    const std::string log = testing::internal::GetCapturedStderr();

    ASSERT_NE(controller().syncRefreshTimer(), nullptr);
    EXPECT_EQ(controller().syncRefreshTimer()->interval(), 77);
    EXPECT_TRUE(controller().syncRefreshTimer()->isActive());
    EXPECT_NE(log.find("syncRefreshFPS"), std::string::npos) << log;
}

struct SheetCase
{
    const char *what;
    const char *name;
    StatusLevel level;
    const char *message; // empty: no sheet
    const char *informative;
};

class SetClockRequest : public ControllerTest, public testing::WithParamInterface<SheetCase>
{
};

TEST_P(SetClockRequest, RefusesInformationalAndUnsteadyInputsWithASheet)
{
    const SheetCase &c = GetParam();
    auto input = addInput(QString::fromUtf8(c.name), c.level);
    applySettings();
    controller().setActiveInput(input);
    controller().updateActiveTimer(); // enables the control

    auto *control = window().window()->findChild<QPushButton *>(QStringLiteral("syncControl"));
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isEnabled());
    control->click();

    const auto sheets = window().window()->findChildren<QMessageBox *>();
    if (!*c.message) {
        EXPECT_TRUE(sheets.isEmpty());
        return;
    }
    ASSERT_EQ(sheets.size(), 1);
    QMessageBox &sheet = *sheets.first();
    EXPECT_EQ(sheet.text(), QString::fromUtf8(c.message));
    EXPECT_EQ(sheet.informativeText(), QString::fromUtf8(c.informative));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    ASSERT_EQ(sheet.buttons().size(), 1);
    EXPECT_EQ(sheet.buttons().first()->text(), QStringLiteral("Cancel"));
    sheet.close();
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SetClockRequest,
    testing::Values(
        SheetCase {
            "system time", "System Time", 2, "Cannot Sync",
            "System Time is for informational use and cannot be used to set the system clock." },
        SheetCase {
            "constant time", "Constant Time", 2, "Cannot Sync",
            "Constant Time is for informational use and cannot be used to set the system clock." },
        SheetCase { "unsteady", "Line In (Left)", 1, "Unreliable Time Signal",
                    "Line In (Left) has been unreliable recently, wait for the green light to "
                    "appear and try again.\n\n"
                    " If the problem persists, check your cables or lower the refresh rate in the "
                    "preferences." },
        SheetCase { "reliable", "Line In (Left)", 10, "", "" },
        SheetCase { "no signal", "Line In (Left)", 0, "", "" }),
    [](const testing::TestParamInfo<SheetCase> &info) { return caseName(info.param.what); });

TEST_F(ControllerTest, SetClockRequestWithoutActiveInputDoesNothing)
{
    addInput(QStringLiteral("System Time"), 2);
    applySettings();
    controller().updateActiveTimer(); // shown by the fallback, not active

    auto *control = window().window()->findChild<QPushButton *>(QStringLiteral("syncControl"));
    EXPECT_FALSE(control->isEnabled());
    controller().togglePrivilegedChild(nullptr);
    EXPECT_TRUE(window().window()->findChildren<QMessageBox *>().isEmpty());
}

} // namespace
