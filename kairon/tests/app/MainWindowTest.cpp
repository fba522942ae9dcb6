#include "AppTestSupport.h"

#include "kairon/windows/InputListModel.h"
#include "kairon/windows/activeClockWindow.h"
#include "kairon/windows/mainWindow.h"
#include "platform/InterfaceLoader.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTextCharFormat>

using namespace apptest;

namespace {

class MainWindowTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        window = std::make_unique<mainWindow>();
        const QString path
            = platform::Bundle::mainBundle().pathForResource(QStringLiteral("MainMenu.ui"));
        window->setSyncWindow(
            std::unique_ptr<QWidget>(platform::InterfaceLoader::load(path, nullptr)));
        ASSERT_NE(window->allInputsList(), nullptr);
    }

    QModelIndex cell(int row, int column) const { return window->model()->index(row, column); }
    QImage statusImage(int row) const
    {
        return cell(row, 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
    }

    std::unique_ptr<mainWindow> window;
};

TEST_F(MainWindowTest, NoInputsGiveOnePlaceholderRowWithARedLightAndNoText)
{
    window->updateList(nullptr);

    ASSERT_EQ(window->model()->rowCount(), 1);
    EXPECT_EQ(statusImage(0), window->redLight().toImage());
    EXPECT_FALSE(cell(0, 1).data(Qt::DisplayRole).isValid());
    EXPECT_TRUE(cell(0, 0).flags() & Qt::ItemIsSelectable);
}

TEST_F(MainWindowTest, LightsFollowTheStatusLevelInTheTableAndTheActiveArea)
{
    const std::vector<std::pair<StatusLevel, const QPixmap *>> cases = {
        { 0, &window->redLight() },  { 1, &window->yellowLight() }, { 10, &window->greenLight() },
        { 2, &window->blueLight() }, { -1, &window->blueLight() },  { 5, &window->blueLight() },
    };
    for (const auto &[level, light] : cases)
        addInput(QStringLiteral("Input %1").arg(level), level);
    for (const auto &[level, light] : cases)
        ASSERT_FALSE(light->isNull()) << "light for level " << level << " did not load";

    window->updateList(nullptr);

    ASSERT_EQ(window->model()->rowCount(), int(cases.size()));
    for (size_t row = 0; row < cases.size(); ++row) {
        const auto &[level, light] = cases[row];
        EXPECT_EQ(statusImage(int(row)), light->toImage()) << "table, level " << level;
        window->updateActiveName(QStringLiteral("name"), QStringLiteral("time"), level);
        EXPECT_EQ(window->activeValid()->pixmap().toImage(), light->toImage())
            << "active area, level " << level;
    }
    EXPECT_NE(window->redLight().toImage(), window->blueLight().toImage());
}

TEST_F(MainWindowTest, ActiveAreaShowsNameAndTime)
{
    window->updateActiveName(QStringLiteral("<none>"), QStringLiteral("<none>"), -1);
    EXPECT_EQ(window->activeName()->text(), QStringLiteral("<none>"));
    EXPECT_EQ(window->activeTime()->text(), QStringLiteral("<none>"));
    EXPECT_EQ(window->activeValid()->pixmap().toImage(), window->blueLight().toImage());
}

// A tree whose resources hold only some of the lights.
class MissingLights : public AppTest
{
protected:
    std::unique_ptr<mainWindow> windowWithLights(const QStringList &lights)
    {
        const QString resources = tree.path() + QStringLiteral("/share/kairon");
        QDir().mkpath(resources);
        QDir().mkpath(tree.path() + QStringLiteral("/bin"));
        for (const QString &light : lights)
            EXPECT_TRUE(QFile::copy(buildRoot() + QStringLiteral("/share/kairon/") + light,
                                    resources + QLatin1Char('/') + light));
        platform::Bundle::setMainBundleRoot(tree.path());
        auto window = std::make_unique<mainWindow>();
        platform::Bundle::setMainBundleRoot(buildRoot());
        return window;
    }
    QTemporaryDir tree;
};

TEST_F(MissingLights, ALightThatFailedToLoadShowsBlue)
{
    auto window
        = windowWithLights({ QStringLiteral("bluelight.png"), QStringLiteral("greenlight.png") });
    EXPECT_EQ(window->lightForStatus(0).toImage(), window->blueLight().toImage());
    EXPECT_EQ(window->lightForStatus(1).toImage(), window->blueLight().toImage());
    EXPECT_EQ(window->lightForStatus(10).toImage(), window->greenLight().toImage());
    EXPECT_FALSE(window->blueLight().isNull());
}

TEST_F(MissingLights, WithoutTheBlueLightTheLightStaysEmpty)
{
    auto window = windowWithLights({});
    EXPECT_TRUE(window->lightForStatus(0).isNull());
    EXPECT_TRUE(window->lightForStatus(2).isNull());
}

TEST_F(MainWindowTest, CellTextIsNameLineBreakTimeThreeSpacesOffset)
{
    auto input = addInput(QStringLiteral("Line In (Left)"), 10);
    input->delta = { 1, 500000 };

    window->updateList(nullptr);
    EXPECT_EQ(cell(0, 1).data().toString(),
              QStringLiteral("Line In (Left)\n01:02:03.04   +00:00:01.15"));

    setDefault(QStringLiteral("syncOffsetFPS"), QStringLiteral("25"));
    window->updateList(nullptr);
    EXPECT_EQ(cell(0, 1).data().toString(),
              QStringLiteral("Line In (Left)\n01:02:03.04   +00:00:01.12"));

    setDefault(QStringLiteral("offsetClock_frames"), false);
    window->updateList(nullptr);
    EXPECT_EQ(cell(0, 1).data().toString(),
              QStringLiteral("Line In (Left)\n01:02:03.04   +00:00:01"));
}

TEST_F(MainWindowTest, NameRunIsBoldOpaqueBlackAndTheRestFixedPitchHalfTransparent)
{
    addInput(QStringLiteral("System Time"), 2);
    window->updateList(nullptr);

    const auto cellText
        = cell(0, 1).data(InputListModel::AttributedTextRole).value<AttributedText>();
    ASSERT_EQ(cellText.runs.size(), 2);
    const QTextLayout::FormatRange &name = cellText.runs[0];
    const QTextLayout::FormatRange &rest = cellText.runs[1];
    EXPECT_EQ(name.start, 0);
    EXPECT_EQ(name.length, 11);
    EXPECT_TRUE(name.format.font().bold());
    EXPECT_EQ(name.format.foreground().color(), QColor(0, 0, 0, 255));
    EXPECT_EQ(rest.start, 11);
    EXPECT_EQ(rest.start + rest.length, cellText.text.size());
    EXPECT_TRUE(rest.format.font().fixedPitch());
    EXPECT_FALSE(rest.format.font().bold());
    EXPECT_NEAR(rest.format.foreground().color().alphaF(), 0.5, 0.01);
    EXPECT_EQ(rest.format.foreground().color().rgb() & 0xffffff, 0u);
    // Two lines fit in a row.
    EXPECT_GE(window->allInputsList()->verticalHeader()->defaultSectionSize(),
              QFontMetrics(name.format.font()).lineSpacing()
                  + QFontMetrics(rest.format.font()).lineSpacing());
}

struct SelectionCase
{
    const char *what;
    int32_t selectedBefore; // -1: none
    int32_t argument;
    int32_t selectedAfter;
    bool selectionChanges;
};

class SetSelectedInput : public MainWindowTest, public testing::WithParamInterface<SelectionCase>
{
};

TEST_P(SetSelectedInput, FollowsTheRules)
{
    const SelectionCase &c = GetParam();
    for (int i = 0; i < 3; ++i)
        addInput(QStringLiteral("Input %1").arg(i), 10);
    window->updateList(nullptr);
    window->setSelectedInput(c.selectedBefore);
    ASSERT_EQ(window->selecedInput(), c.selectedBefore);

    QSignalSpy changes(window->allInputsList()->selectionModel(),
                       &QItemSelectionModel::selectionChanged);
    window->setSelectedInput(c.argument);

    EXPECT_EQ(window->selecedInput(), c.selectedAfter);
    EXPECT_EQ(window->allInputsList()->selectionModel()->selectedRows().size(),
              c.selectedAfter == -1 ? 0 : 1);
    EXPECT_EQ(!changes.isEmpty(), c.selectionChanges);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SetSelectedInput,
    testing::Values(SelectionCase { "same row", 1, 1, 1, false },
                    SelectionCase { "clear", 1, -1, -1, true },
                    SelectionCase { "another row replaces", 0, 2, 2, true },
                    SelectionCase { "from nothing", -1, 0, 0, true },
                    SelectionCase { "one past the last row", 1, 3, 1, false },
                    SelectionCase { "below -1", 1, -2, 1, false },
                    SelectionCase { "clear when nothing is selected", -1, -1, -1, false }),
    [](const testing::TestParamInfo<SelectionCase> &info) { return caseName(info.param.what); });

TEST_F(MainWindowTest, ReloadKeepsTheSelectionAndFollowsTheInputList)
{
    addInput(QStringLiteral("A"), 10);
    auto b = addInput(QStringLiteral("B"), 10);
    window->updateList(nullptr);
    window->setSelectedInput(1);

    auto c = addInput(QStringLiteral("C"), 10);
    window->updateList(nullptr);
    EXPECT_EQ(window->model()->rowCount(), 3);
    EXPECT_EQ(window->selecedInput(), 1);

    manager->removePluginInstance(c);
    manager->removePluginInstance(b);
    window->updateList(nullptr);
    EXPECT_EQ(window->model()->rowCount(), 1);
    EXPECT_EQ(window->selecedInput(), -1);
}

TEST_F(MainWindowTest, NoCellIsEditable)
{
    addInput(QStringLiteral("A"), 10);
    addInput(QStringLiteral("B"), 1);
    window->updateList(nullptr);

    QTableView &table = *window->allInputsList();
    EXPECT_EQ(table.editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            EXPECT_FALSE(cell(row, column).flags() & Qt::ItemIsEditable);
            EXPECT_TRUE(cell(row, column).flags() & Qt::ItemIsSelectable);
            EXPECT_FALSE(window->model()->setData(cell(row, column), QStringLiteral("x")));
        }
    }
    table.edit(cell(0, 1));
    EXPECT_EQ(table.indexWidget(cell(0, 1)), nullptr);
    EXPECT_TRUE(table.findChildren<QLineEdit *>().isEmpty());
}

TEST_F(MainWindowTest, ReloadAsksEachInputOnceForItsLevel)
{
    auto input = addInput(QStringLiteral("LTC"), 10);
    window->window()->resize(500, 400);
    window->window()->show();
    window->updateList(nullptr);
    window->window()->grab(); // paints every visible cell
    EXPECT_EQ(input->statusQueries, 1);
    window->window()->hide();
}

TEST_F(AppTest, RelaySendsEveryOutputTheUpdateWithTheShowFramesSetting)
{
    auto first = addOutput();
    auto second = addOutput();
    activeClockWindow relay;
    const auto time = TCMDTime::initWithHour(10, 20, 30, 15, 25, false);

    relay.updateTime(time, { 3, -4 }, QStringLiteral("LTC"), 30, 10);
    setDefault(QStringLiteral("offsetClock_frames"), false);
    relay.updateTime(time, { 3, -4 }, QStringLiteral("LTC"), 30, 10);

    for (const auto &output : { first, second }) {
        ASSERT_EQ(output->updates.size(), 2u);
        EXPECT_EQ(output->updates[0].time, time);
        EXPECT_EQ(output->updates[0].offset.tv_sec, 3);
        EXPECT_EQ(output->updates[0].offset.tv_usec, -4);
        EXPECT_EQ(output->updates[0].name, QStringLiteral("LTC"));
        EXPECT_EQ(output->updates[0].offsetFraction, 30);
        EXPECT_EQ(output->updates[0].status, 10);
        EXPECT_TRUE(output->updates[0].showFrames);
        EXPECT_FALSE(output->updates[1].showFrames);
    }
}

} // namespace
