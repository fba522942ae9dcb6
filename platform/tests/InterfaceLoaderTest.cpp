#include "platform/InterfaceLoader.h"
#include "platform/ValueTransformer.h"

#include "DefaultsFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <memory>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "platform_interface_test";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

QString uiFile(const char *name)
{
    return QString::fromLocal8Bit(qgetenv("KAIRON_SOURCE_DIR")) + QStringLiteral("/platform/tests/ui/") +
           QString::fromLatin1(name);
}

class FixturePanel : public QFrame {
public:
    using QFrame::QFrame;
};

class SignTransformer : public platform::ValueTransformer {
public:
    QVariant transformedValue(const QVariant &value) const override
    {
        return platform::UserDefaultsController::boolValue(value) ? QStringLiteral("+") : QStringLiteral("-");
    }
};

class NegateTransformer : public platform::ValueTransformer {
public:
    QVariant transformedValue(const QVariant &value) const override
    {
        return !platform::UserDefaultsController::boolValue(value);
    }
    bool allowsReverseTransformation() const override { return true; }
    QVariant reverseTransformedValue(const QVariant &value) const override { return !value.toBool(); }
};

} // namespace

// The owner of an interface file: receives its actions.
class PaneOwner : public QObject {
    Q_OBJECT
public:
    std::vector<QObject *> goSenders;
    int plainPresses = 0;

public slots:
    void goPressed(QObject *sender) { goSenders.push_back(sender); }
    void plainPressed() { ++plainPresses; }
};

namespace {

class InterfaceLoaderTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        application();
        DefaultsTest::SetUp();
        controller().registerDefaults({{QStringLiteral("uiCount"), 7},
                                       {QStringLiteral("uiRate"), QStringLiteral("30")},
                                       {QStringLiteral("uiFormat"), QStringLiteral("%H:%M")}});
        platform::ValueTransformer::setValueTransformer(std::make_shared<SignTransformer>(),
                                                        QStringLiteral("TestSignTransformer"));
        platform::ValueTransformer::setValueTransformer(std::make_shared<NegateTransformer>(),
                                                        QStringLiteral("TestNegateTransformer"));
        platform::InterfaceLoader::registerCustomClass(
            QStringLiteral("FixturePanel"), [](QWidget *parent) { return new FixturePanel(parent); });
        QString error;
        pane.reset(platform::InterfaceLoader::load(uiFile("bindings.ui"), &owner, nullptr, &error));
        ASSERT_TRUE(pane) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
    }

    template <class T>
    T *outlet(const char *name)
    {
        T *w = pane->findChild<T *>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }

    PaneOwner owner;
    std::unique_ptr<QWidget> pane;
};

TEST_F(InterfaceLoaderTest, ControlsShowTheCurrentValuesWhenLoaded)
{
    EXPECT_FALSE(outlet<QCheckBox>("flagCheck")->isChecked());
    EXPECT_EQ(outlet<QSpinBox>("countSpin")->value(), 7);
    EXPECT_EQ(outlet<QLineEdit>("formatEdit")->text(), QStringLiteral("%H:%M"));
    EXPECT_EQ(outlet<QComboBox>("rateCombo")->currentText(), QStringLiteral("30"));
    EXPECT_EQ(outlet<QLabel>("signLabel")->text(), QStringLiteral("-"));
    EXPECT_TRUE(dynamic_cast<FixturePanel *>(outlet<QFrame>("customPanel")));
    // Loading changed no setting.
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(InterfaceLoaderTest, AUserChangeReachesEveryObserverOnceAndTheOtherControls)
{
    RecordingObserver first, second;
    controller().addObserver(&first, QStringLiteral("values.uiFlag"));
    controller().addObserver(&second, QStringLiteral("values.uiFlag"));

    outlet<QCheckBox>("flagCheck")->click();

    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.uiFlag")));
    for (auto *o : {&first, &second}) {
        ASSERT_EQ(o->calls.size(), 1u);
        EXPECT_EQ(o->calls[0].keyPath, QStringLiteral("values.uiFlag"));
        EXPECT_TRUE(platform::UserDefaultsController::boolValue(o->calls[0].change.value(QStringLiteral("new"))));
        EXPECT_FALSE(platform::UserDefaultsController::boolValue(o->calls[0].change.value(QStringLiteral("old"))));
    }
    // The label bound to the same key path follows through its transformer.
    EXPECT_EQ(outlet<QLabel>("signLabel")->text(), QStringLiteral("+"));
}

TEST_F(InterfaceLoaderTest, ControlsWriteTheirValuesAndFollowChanges)
{
    RecordingObserver observer;
    for (const char *key : {"values.uiCount", "values.uiAlpha", "values.uiFormat", "values.uiRate"})
        controller().addObserver(&observer, QString::fromLatin1(key));

    // From the controls to the settings, as the user would.
    outlet<QSpinBox>("countSpin")->setValue(42);
    outlet<QDoubleSpinBox>("alphaSpin")->setValue(0.5);
    auto *edit = outlet<QLineEdit>("formatEdit");
    edit->setText(QStringLiteral("%S"));
    emit edit->editingFinished();
    emit edit->editingFinished(); // leaving the field again changes nothing
    outlet<QComboBox>("rateCombo")->setCurrentIndex(1);

    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.uiCount")), 42);
    EXPECT_DOUBLE_EQ(controller().doubleValueForKeyPath(QStringLiteral("values.uiAlpha")), 0.5);
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.uiFormat")), QStringLiteral("%S"));
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.uiRate")), QStringLiteral("25"));
    EXPECT_EQ(observer.calls.size(), 4u); // one notification per change, no echo from the bindings

    // From the settings to the controls.
    observer.calls.clear();
    controller().setValueForKeyPath(12, QStringLiteral("values.uiCount"));
    controller().setValueForKeyPath(QStringLiteral("24"), QStringLiteral("values.uiRate"));
    controller().setValueForKeyPath(QStringLiteral("%n"), QStringLiteral("values.uiFormat"));
    controller().setValueForKeyPath(true, QStringLiteral("values.uiFlag"));
    EXPECT_EQ(outlet<QSpinBox>("countSpin")->value(), 12);
    EXPECT_EQ(outlet<QComboBox>("rateCombo")->currentText(), QStringLiteral("24"));
    EXPECT_EQ(outlet<QLineEdit>("formatEdit")->text(), QStringLiteral("%n"));
    EXPECT_TRUE(outlet<QCheckBox>("flagCheck")->isChecked());
    EXPECT_EQ(observer.calls.size(), 3u);
}

TEST_F(InterfaceLoaderTest, TransformersWorkBothWaysOnlyWhenReversible)
{
    auto *inverted = outlet<QCheckBox>("invertedCheck");
    EXPECT_TRUE(inverted->isChecked()); // absent reads false, shown negated
    inverted->click();
    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.uiHidden")));
    controller().setValueForKeyPath(false, QStringLiteral("values.uiHidden"));
    EXPECT_TRUE(inverted->isChecked());

    // A one-way transformer: the control shows the value but never writes it.
    auto *shownOnly = outlet<QCheckBox>("shownOnlyCheck");
    shownOnly->click();
    EXPECT_FALSE(controller().valueForKeyPath(QStringLiteral("values.uiShownOnly")).isValid());
}

TEST_F(InterfaceLoaderTest, AValueTheControlCannotShowIsNotOverwritten)
{
    // Out of the spin box's range, and not among the combo box's items.
    controller().setValueForKeyPath(500, QStringLiteral("values.uiCount"));
    controller().setValueForKeyPath(QStringLiteral("48"), QStringLiteral("values.uiRate"));
    EXPECT_EQ(outlet<QSpinBox>("countSpin")->value(), 100);
    EXPECT_EQ(outlet<QComboBox>("rateCombo")->currentIndex(), -1);
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.uiCount")), 500);
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.uiRate")), QStringLiteral("48"));
}

TEST_F(InterfaceLoaderTest, ActionsInvokeTheOwnersSlotWithTheSender)
{
    auto *go = outlet<QPushButton>("goButton");
    go->click();
    ASSERT_EQ(owner.goSenders.size(), 1u);
    EXPECT_EQ(owner.goSenders[0], go);

    auto *menu = pane->findChild<QAction *>(QStringLiteral("menuAction"));
    ASSERT_TRUE(menu);
    menu->trigger();
    ASSERT_EQ(owner.goSenders.size(), 2u);
    EXPECT_EQ(owner.goSenders[1], menu);

    outlet<QPushButton>("plainButton")->click();
    EXPECT_EQ(owner.plainPresses, 1);
    outlet<QPushButton>("brokenButton")->click(); // no such slot: logged when loaded, nothing happens
    EXPECT_EQ(owner.goSenders.size(), 2u);
}

TEST_F(InterfaceLoaderTest, ControlsOutliveNeitherTheirBindingsNorTheirOwner)
{
    RecordingObserver observer;
    controller().addObserver(&observer, QStringLiteral("values.uiFlag"));
    pane.reset();
    controller().setValueForKeyPath(true, QStringLiteral("values.uiFlag"));
    EXPECT_EQ(observer.calls.size(), 1u);

    // An owner that is gone receives no action.
    auto shortLived = std::make_unique<PaneOwner>();
    std::unique_ptr<QWidget> other(platform::InterfaceLoader::load(uiFile("bindings.ui"), shortLived.get()));
    ASSERT_TRUE(other);
    shortLived.reset();
    other->findChild<QPushButton *>(QStringLiteral("goButton"))->click();
}

TEST(InterfaceLoaderErrors, FilesThatCannotBeLoadedNameTheFileTried)
{
    application();
    struct Case {
        QString path;
        const char *reason;
    };
    const Case cases[] = {
        {uiFile("missing.ui"), "Cannot open"},
        {uiFile(""), "folder"},
        {uiFile("truncated.ui"), "Cannot load"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString error;
        EXPECT_EQ(platform::InterfaceLoader::load(c.path, nullptr, nullptr, &error), nullptr);
        EXPECT_TRUE(error.contains(c.path)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.reason))) << error.toStdString();
    }
    EXPECT_EQ(platform::InterfaceLoader::load(QString(), nullptr), nullptr);
}

} // namespace

#include "InterfaceLoaderTest.moc"
