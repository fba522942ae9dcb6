#include "FixturePlugins.h"
#include "SettingsSandbox.h"
#include "TestPrinters.h"

#include "kairon/core/Defaults.h"
#include "kairon/windows/preferenceController.h"
#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A plug-in class whose pane the test provides (nullptr: its pane failed to load).
template<class Instance> struct PaneClass : FixtureClass<Instance>
{
    PaneClass(const char *className, const char *pluginName)
        : FixtureClass<Instance>(QLatin1String(className), {}, QLatin1String(pluginName))
    {
    }
    QWidget *preferenceView() override { return pane; }
    QPointer<QWidget> pane;
};
struct PrefTestInput : PaneClass<FixtureInput>
{
    PrefTestInput()
        : PaneClass("PrefTestInput", "Test Input")
    {
    }
};
struct PrefTestBoth : PaneClass<FixtureBoth>
{
    PrefTestBoth()
        : PaneClass("PrefTestBoth", "")
    {
    } // no display name: the class name is shown
};
struct PrefTestOutput : PaneClass<FixtureOutput>
{
    PrefTestOutput()
        : PaneClass("PrefTestOutput", "Test Output")
    {
    }
};
platform::ClassRegistration<PrefTestInput> inputRegistration;
platform::ClassRegistration<PrefTestBoth> bothRegistration;
platform::ClassRegistration<PrefTestOutput> outputRegistration;

template<class T> std::shared_ptr<T> registered(const char *name)
{
    return std::dynamic_pointer_cast<T>(
        platform::ClassRegistry::shared().classNamed(QLatin1String(name)));
}

QStringList childTexts(QTreeWidgetItem *item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QList<QWidget *> panesContent(const preferenceController &controller)
{
    return controller.preferencePanes()->findChildren<QWidget *>(QString(),
                                                                 Qt::FindDirectChildrenOnly);
}

void clickRow(QTreeWidget *list, QTreeWidgetItem *row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
}

// Finds the modal alert while it runs, records it and presses its button.
class AlertWatcher
{
public:
    AlertWatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible())
                    continue;
                ++shown;
                text = box->text();
                informativeText = box->informativeText();
                buttons.clear();
                QAbstractButton *shucks = nullptr;
                for (QAbstractButton *b : box->buttons()) {
                    buttons << b->text();
                    if (b->text() == QLatin1String("Shucks!"))
                        shucks = b;
                }
                if (shucks)
                    shucks->click();
                else
                    box->done(0);
            }
        });
        timer_.start();
    }
    int shown = 0;
    QString text;
    QString informativeText;
    QStringList buttons;

private:
    QTimer timer_;
};

class PreferenceWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        manager = std::make_shared<PluginManager>();
        AbstractPluginManager::setSharedManager(manager);
        inputClass = registered<PrefTestInput>("PrefTestInput");
        bothClass = registered<PrefTestBoth>("PrefTestBoth");
        outputClass = registered<PrefTestOutput>("PrefTestOutput");
        ASSERT_TRUE(inputClass && bothClass && outputClass);
        inputPane = std::make_unique<QWidget>();
        inputPane->setObjectName(QStringLiteral("inputPane"));
        inputClass->pane = inputPane.get();
        outputPane = std::make_unique<QWidget>();
        outputClass->pane = outputPane.get();
        bothClass->pane = nullptr;
    }

    void registerTestPlugins()
    {
        manager->addPluginClass(inputClass);
        manager->addPluginClass(bothClass);
        manager->addPluginClass(inputClass); // reported twice, listed once
        manager->addPluginClass(outputClass);
    }

    SettingsSandbox sandbox;
    std::shared_ptr<PluginManager> manager;
    std::shared_ptr<PrefTestInput> inputClass;
    std::shared_ptr<PrefTestBoth> bothClass;
    std::shared_ptr<PrefTestOutput> outputClass;
    // Owned by the test, as a plug-in class owns its pane; they outlive the controller.
    std::unique_ptr<QWidget> inputPane;
    std::unique_ptr<QWidget> outputPane;
};

TEST_F(PreferenceWindowTest, OutlineListsGeneralThenInputAndOutputPlugIns)
{
    registerTestPlugins();
    preferenceController controller;
    controller.showPreferences(nullptr);
    ASSERT_TRUE(controller.isPrefLoaded());
    ASSERT_TRUE(controller.preferenceWindow()->isVisible());

    QTreeWidget *list = controller.preferenceList();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "General");
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Input");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "Output");
    EXPECT_EQ(childTexts(list->topLevelItem(0)), QStringList());
    EXPECT_EQ(childTexts(list->topLevelItem(1)), (QStringList { "Test Input", "PrefTestBoth" }));
    EXPECT_EQ(childTexts(list->topLevelItem(2)), (QStringList { "PrefTestBoth", "Test Output" }));
    EXPECT_EQ(controller.inputPluginNames(), (QStringList { "PrefTestInput", "PrefTestBoth" }));
    EXPECT_EQ(controller.outputPluginNames(), (QStringList { "PrefTestBoth", "PrefTestOutput" }));
    EXPECT_TRUE(list->topLevelItem(1)->isExpanded());
    EXPECT_TRUE(list->topLevelItem(2)->isExpanded());

    // The window opens on the General pane.
    EXPECT_EQ(controller.activePreferenceName()->text(), "General Preferences");
    EXPECT_EQ(panesContent(controller), QList<QWidget *> { controller.generalView() });
}

TEST_F(PreferenceWindowTest, SelectingShowsThePaneAndGroupRowsAreRefused)
{
    registerTestPlugins();
    preferenceController controller;
    controller.showPreferences(nullptr);
    ASSERT_TRUE(controller.isPrefLoaded());
    QTreeWidget *list = controller.preferenceList();
    QTreeWidgetItem *inputGroup = list->topLevelItem(1);
    QTreeWidgetItem *outputGroup = list->topLevelItem(2);
    QWidget *general = controller.generalView();

    clickRow(list, inputGroup->child(0));
    EXPECT_EQ(controller.activePreferenceName()->text(), "Test Input");
    EXPECT_EQ(panesContent(controller), QList<QWidget *> { inputPane.get() });
    EXPECT_EQ(inputPane->size(), controller.preferencePanes()->size());
    EXPECT_EQ(general->parent(), nullptr); // put aside, not destroyed

    // Group rows: the selection and the pane stay as they were.
    for (QTreeWidgetItem *group : { inputGroup, outputGroup }) {
        clickRow(list, group);
        EXPECT_FALSE(group->isSelected());
        EXPECT_TRUE(inputGroup->child(0)->isSelected());
        EXPECT_EQ(controller.activePreferenceName()->text(), "Test Input");
        EXPECT_EQ(panesContent(controller), QList<QWidget *> { inputPane.get() });
    }
    EXPECT_FALSE(controller.shouldSelectItem({ preferenceController::ItemKind::Output, {} }));

    // A pane that failed to load empties the pane area; the name still shows.
    clickRow(list, outputGroup->child(0));
    EXPECT_EQ(controller.activePreferenceName()->text(), "PrefTestBoth");
    EXPECT_TRUE(panesContent(controller).isEmpty());
    EXPECT_EQ(inputPane->parent(), nullptr);

    clickRow(list, outputGroup->child(1));
    EXPECT_EQ(controller.activePreferenceName()->text(), "Test Output");
    EXPECT_EQ(panesContent(controller), QList<QWidget *> { outputPane.get() });

    clickRow(list, list->topLevelItem(0));
    EXPECT_EQ(controller.activePreferenceName()->text(), "General Preferences");
    EXPECT_EQ(panesContent(controller), QList<QWidget *> { general });
    EXPECT_TRUE(general->isVisible());
    // Back to a plug-in pane so the controller goes while holding it.
    clickRow(list, inputGroup->child(0));
    ASSERT_EQ(panesContent(controller), QList<QWidget *> { inputPane.get() });
}

TEST_F(PreferenceWindowTest, ClosingTheControllerHandsPlugInPanesBack)
{
    registerTestPlugins();
    QPointer<QWidget> window;
    {
        preferenceController controller;
        controller.showPreferences(nullptr);
        ASSERT_TRUE(controller.isPrefLoaded());
        window = controller.preferenceWindow();
        clickRow(controller.preferenceList(),
                 controller.preferenceList()->topLevelItem(1)->child(0));
        ASSERT_EQ(inputPane->parent(), controller.preferencePanes());
    }
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(inputPane->parent(), nullptr); // still alive, back with its class
}

TEST_F(PreferenceWindowTest, WithoutPlugInsOrManagerTheGroupsAreEmpty)
{
    AbstractPluginManager::setSharedManager(nullptr);
    preferenceController controller;
    testing::internal::CaptureStderr();
    controller.showPreferences(nullptr);
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(controller.isPrefLoaded());
    QTreeWidget *list = controller.preferenceList();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(1)->childCount(), 0);
    EXPECT_EQ(list->topLevelItem(2)->childCount(), 0);
    EXPECT_NE(log.find("There are 0 Output plugins"), std::string::npos) << log;
}

TEST_F(PreferenceWindowTest, MissingInterfaceFileAlertsAndIsRetried)
{
    const QString installedRoot = platform::Bundle::mainBundle().bundlePath();
    QTemporaryDir emptyRoot;
    platform::Bundle::setMainBundleRoot(emptyRoot.path());

    preferenceController controller;
    {
        AlertWatcher alert;
        controller.showPreferences(nullptr);
        EXPECT_EQ(alert.shown, 1);
        EXPECT_EQ(alert.text, "preferences.ui");
        EXPECT_EQ(alert.informativeText, "Could not load preferences!\n\nPlease reinstall Kairon.");
        EXPECT_EQ(alert.buttons, QStringList { "Shucks!" });
    }
    EXPECT_FALSE(controller.isPrefLoaded());
    EXPECT_EQ(controller.preferenceWindow(), nullptr);

    platform::Bundle::setMainBundleRoot(installedRoot);
    AlertWatcher noAlert;
    controller.showPreferences(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(noAlert.shown, 0);
    ASSERT_TRUE(controller.isPrefLoaded());
    EXPECT_TRUE(controller.preferenceWindow()->isVisible());
}

struct RecordingObserver : platform::KeyValueObserver
{
    struct Call
    {
        QString keyPath;
        QVariantMap change;
    };
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &change,
                                void *) override
    {
        calls.push_back({ keyPath, change });
    }
    std::vector<Call> calls;
};

TEST_F(PreferenceWindowTest, GeneralPaneShowsTheSettingsAndWritesThemBack)
{
    preferenceController controller;
    controller.showPreferences(nullptr);
    ASSERT_TRUE(controller.isPrefLoaded());
    QWidget *general = controller.generalView();

    // Every control of the General pane is bound to its key and shows its default.
    struct Bound
    {
        const char *objectName;
        QVariant shown;
    };
    for (const Bound &b :
         { Bound { "syncRefreshFPS", 13 }, Bound { "activeRefreshFPS", 30 },
           Bound { "syncOffsetFPS", QStringLiteral("30") }, Bound { "offsetClock_frames", true },
           Bound { "autoselectTime", true }, Bound { "autoselectTime_keepSearching", true },
           Bound { "autoselectTime_allowSystem", true } }) {
        QWidget *control = general->findChild<QWidget *>(QLatin1String(b.objectName));
        ASSERT_NE(control, nullptr) << b.objectName;
        EXPECT_EQ(control->property("binding").toString(),
                  defaults::keyPath(QLatin1String(b.objectName)));
        QVariant shown;
        if (auto *spin = qobject_cast<QSpinBox *>(control)) {
            shown = spin->value();
            EXPECT_EQ(spin->minimum(), 1);
            EXPECT_EQ(spin->maximum(), 60);
        } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
            shown = combo->currentText();
        } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
            shown = check->isChecked();
        }
        EXPECT_EQ(shown, b.shown) << b.objectName;
    }

    auto &d = SettingsSandbox::defaults();
    RecordingObserver tableRate1, tableRate2, activeRate, autoselect;
    d.addObserver(&tableRate1, QStringLiteral("values.syncRefreshFPS"));
    d.addObserver(&tableRate2, QStringLiteral("values.syncRefreshFPS"));
    d.addObserver(&activeRate, QStringLiteral("values.activeRefreshFPS"));
    d.addObserver(&autoselect, QStringLiteral("values.autoselectTime"));

    auto *rate = general->findChild<QSpinBox *>(QStringLiteral("syncRefreshFPS"));
    rate->setFocus();
    QTest::keyClick(rate, Qt::Key_Up);
    for (RecordingObserver *o : { &tableRate1, &tableRate2 }) {
        ASSERT_EQ(o->calls.size(), 1u);
        EXPECT_EQ(o->calls[0].keyPath, "values.syncRefreshFPS");
        EXPECT_EQ(o->calls[0].change.value(QStringLiteral("new")).toInt(), 14);
        EXPECT_EQ(o->calls[0].change.value(QStringLiteral("old")).toInt(), 13);
    }
    EXPECT_TRUE(activeRate.calls.empty());
    EXPECT_EQ(d.intValueForKeyPath(QStringLiteral("values.syncRefreshFPS")), 14);

    auto *box = general->findChild<QCheckBox *>(QStringLiteral("autoselectTime"));
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_EQ(autoselect.calls.size(), 1u);
    EXPECT_EQ(autoselect.calls[0].keyPath, "values.autoselectTime");
    EXPECT_FALSE(d.boolValueForKeyPath(QStringLiteral("values.autoselectTime")));

    auto *offsetRate = general->findChild<QComboBox *>(QStringLiteral("syncOffsetFPS"));
    offsetRate->setCurrentText(QStringLiteral("25"));
    EXPECT_EQ(d.intValueForKeyPath(QStringLiteral("values.syncOffsetFPS")), 25);
    EXPECT_EQ(tableRate1.calls.size(), 1u);
}

} // namespace
