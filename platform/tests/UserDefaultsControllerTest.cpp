#include "DefaultsFixture.h"

#include <QSettings>

#include <atomic>
#include <climits>
#include <thread>
#include <utility>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using platform::UserDefaultsController;

TEST_F(DefaultsTest, AFreshUserReadsTheRegisteredDefaults)
{
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 30); // held as text
    EXPECT_EQ(controller().valueForKeyPath(QStringLiteral("values.testRate")).toString(), QStringLiteral("30"));
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testCount")), 13);
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.testFormat")),
              QStringLiteral("%n%H:%M:%S%t"));
    EXPECT_FALSE(controller().boolValueForKeyPath(QStringLiteral("values.testFlag")));
    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.testOn")));
    // Neither set nor registered: nothing, read as 0, false or "".
    EXPECT_FALSE(controller().valueForKeyPath(QStringLiteral("values.testUnknown")).isValid());
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testUnknown")), 0);
    EXPECT_EQ(controller().doubleValueForKeyPath(QStringLiteral("values.testUnknown")), 0.0);
    EXPECT_FALSE(controller().boolValueForKeyPath(QStringLiteral("values.testUnknown")));
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.testUnknown")), QString());
    EXPECT_FALSE(QFile::exists(settingsFile())); // reading writes nothing
}

TEST_F(DefaultsTest, InitialValuesAreKeptApartFromTheDefaults)
{
    const QVariantMap initial{{QStringLiteral("testRate"), QStringLiteral("25")}};
    controller().setInitialValues(initial);
    EXPECT_EQ(controller().initialValues(), initial);
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 30);
    controller().setInitialValues({});
}

// What a hand-edited file gives each typed read.
TEST_F(DefaultsTest, TypedReadsOfHandEditedValues)
{
    writeSettingsFile("[General]\n"
                      "text30=30\n"
                      "textMixed=\" 12abc\"\n"
                      "textAbc=abc\n"
                      "storedTrue=true\n"
                      "storedFalse=false\n"
                      "storedYes=YES\n"
                      "negative=-7\n"
                      "fraction=2.5fps\n"
                      "huge=99999999999\n"
                      "hugeNegative=-99999999999\n"
                      "empty=\n"
                      "exponent=1e3\n"
                      "zeroFraction=0.5\n"
                      "trailingDot=+1.\n"
                      "listed=%H:%M, %S\n");
    struct Row {
        const char *key;
        int intValue;
        double doubleValue;
        bool boolValue;
        const char *stringValue;
    };
    const Row rows[] = {
        {"text30", 30, 30.0, true, "30"},
        {"textMixed", 12, 12.0, true, " 12abc"},
        {"textAbc", 0, 0.0, false, "abc"},
        {"storedTrue", 1, 1.0, true, "true"},
        {"storedFalse", 0, 0.0, false, "false"},
        {"storedYes", 1, 1.0, true, "YES"},
        {"negative", -7, -7.0, true, "-7"},
        {"fraction", 2, 2.5, true, "2.5fps"},
        {"huge", INT_MAX, 99999999999.0, true, "99999999999"},
        {"hugeNegative", INT_MIN, -99999999999.0, true, "-99999999999"},
        {"empty", 0, 0.0, false, ""},
        {"exponent", 1, 1000.0, true, "1e3"},
        {"zeroFraction", 0, 0.5, false, "0.5"},
        {"trailingDot", 1, 1.0, true, "+1."},
        {"listed", 0, 0.0, false, "%H:%M, %S"}, // an unquoted comma still reads as the text
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key);
        const QString keyPath = QStringLiteral("values.") + QString::fromLatin1(row.key);
        EXPECT_EQ(controller().intValueForKeyPath(keyPath), row.intValue);
        EXPECT_DOUBLE_EQ(controller().doubleValueForKeyPath(keyPath), row.doubleValue);
        EXPECT_EQ(controller().boolValueForKeyPath(keyPath), row.boolValue);
        EXPECT_EQ(controller().stringValueForKeyPath(keyPath), QString::fromLatin1(row.stringValue));
    }
}

TEST(UserDefaultsTypedReads, ValuesHeldInMemoryReadLikeNumbers)
{
    struct Row {
        QVariant value;
        int intValue;
        double doubleValue;
        bool boolValue;
    };
    const Row rows[] = {
        {QVariant(true), 1, 1.0, true},
        {QVariant(false), 0, 0.0, false},
        {QVariant(2.9), 2, 2.9, true},
        {QVariant(-2.9), -2, -2.9, true},
        {QVariant(0.25), 0, 0.25, true},
        {QVariant(1e20), INT_MAX, 1e20, true},
        {QVariant(qQNaN()), 0, 0.0, true},
        {QVariant(qint64(-5)), -5, -5.0, true},
        {QVariant(), 0, 0.0, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.value.toString().toStdString());
        EXPECT_EQ(UserDefaultsController::intValue(row.value), row.intValue);
        EXPECT_DOUBLE_EQ(UserDefaultsController::doubleValue(row.value), row.doubleValue);
        EXPECT_EQ(UserDefaultsController::boolValue(row.value), row.boolValue);
    }
}

// Damaged files never crash; what cannot be read falls back to the defaults.
TEST_F(DefaultsTest, DamagedSettingsFilesFallBackToTheDefaults)
{
    struct Case {
        const char *what;
        QByteArray contents;
    };
    static const char binary[] = "\x00\xff\xfe\x00[General]\x00testRate=\xff\xff\n";
    const Case cases[] = {
        {"empty file", ""},
        {"junk lines", "this is not a settings file\n[[[\n=\n==x\n\x01\x02\x03\nrate\n[General\ntestOther=1\n"},
        {"binary", QByteArray(binary, sizeof binary - 1)},
        {"broken variant", "[General]\ntestCount=@Variant(\\0\\0\\0\\x7f)\ntestFormat=@ByteArray(\n"},
        {"other group only", "[Elsewhere]\ntestRate=99\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeSettingsFile(c.contents);
        EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 30);
        EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.testOn")));
        (void)controller().intValueForKeyPath(QStringLiteral("values.testCount"));
        (void)controller().stringValueForKeyPath(QStringLiteral("values.testFormat"));
        // Still writable afterwards.
        controller().setValueForKeyPath(24, QStringLiteral("values.testRate"));
        EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 24);
    }
}

TEST_F(DefaultsTest, AHandEditedValueANumericSettingCannotReadFallsBackToItsDefault)
{
    writeSettingsFile("[General]\ntestRate=abc\ntestOn=\ntestCount=\" 12abc\"\n");
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 30);
    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.testOn")));
    // A leading number is still read as one.
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testCount")), 12);
}

TEST_F(DefaultsTest, EveryObserverOfTheKeyPathIsToldOnceWithNewAndOld)
{
    RecordingObserver first, second, other, newOnly;
    int context = 0;
    controller().addObserver(&first, QStringLiteral("values.testRate"));
    controller().addObserver(&second, QStringLiteral("values.testRate"), UserDefaultsController::New | UserDefaultsController::Old, &context);
    controller().addObserver(&second, QStringLiteral("values.testRate"), UserDefaultsController::New | UserDefaultsController::Old, &context); // once only
    controller().addObserver(&other, QStringLiteral("values.testFlag"));
    controller().addObserver(&newOnly, QStringLiteral("values.testRate"), UserDefaultsController::New);

    controller().setValueForKeyPath(QStringLiteral("25"), QStringLiteral("values.testRate"));

    for (auto *o : {&first, &second}) {
        ASSERT_EQ(o->calls.size(), 1u);
        EXPECT_EQ(o->calls[0].keyPath, QStringLiteral("values.testRate"));
        EXPECT_EQ(o->calls[0].change.value(QStringLiteral("new")).toString(), QStringLiteral("25"));
        EXPECT_EQ(o->calls[0].change.value(QStringLiteral("old")).toString(), QStringLiteral("30"));
    }
    EXPECT_EQ(second.calls[0].context, &context);
    EXPECT_TRUE(other.calls.empty());
    ASSERT_EQ(newOnly.calls.size(), 1u);
    EXPECT_FALSE(newOnly.calls[0].change.contains(QStringLiteral("old")));

    // Setting nothing returns to the default, and is a change like any other.
    controller().setValueForKeyPath(QVariant(), QStringLiteral("values.testRate"));
    ASSERT_EQ(first.calls.size(), 2u);
    EXPECT_EQ(first.calls[1].change.value(QStringLiteral("new")).toString(), QStringLiteral("30"));
    EXPECT_EQ(first.calls[1].change.value(QStringLiteral("old")).toString(), QStringLiteral("25"));

    controller().removeObserver(&first, QStringLiteral("values.testRate"));
    controller().setValueForKeyPath(QStringLiteral("24"), QStringLiteral("values.testRate"));
    EXPECT_EQ(first.calls.size(), 2u);
    EXPECT_EQ(second.calls.size(), 3u);
}

TEST_F(DefaultsTest, ADestroyedObserverIsNoLongerCalled)
{
    RecordingObserver survivor;
    auto doomed = std::make_unique<RecordingObserver>();
    controller().addObserver(doomed.get(), QStringLiteral("values.testFlag"));
    controller().addObserver(doomed.get(), QStringLiteral("values.testRate"));
    controller().addObserver(&survivor, QStringLiteral("values.testFlag"));
    doomed.reset();
    controller().setValueForKeyPath(true, QStringLiteral("values.testFlag"));
    controller().setValueForKeyPath(QStringLiteral("25"), QStringLiteral("values.testRate"));
    EXPECT_EQ(survivor.calls.size(), 1u);
}

TEST_F(DefaultsTest, ObserversMayChangeTheObserverListDuringANotification)
{
    RecordingObserver remover, removed, added;
    auto destroyed = std::make_unique<RecordingObserver>();
    const QString keyPath = QStringLiteral("values.testCount");
    controller().addObserver(&remover, keyPath);
    controller().addObserver(&removed, keyPath);
    controller().addObserver(destroyed.get(), keyPath);
    bool once = false;
    remover.duringCall = [&] {
        if (std::exchange(once, true))
            return;
        controller().removeObserver(&removed);
        destroyed.reset();
        controller().addObserver(&added, keyPath);
        controller().removeObserver(&remover, keyPath);
        // A change made by an observer reaches the others too.
        controller().setValueForKeyPath(99, QStringLiteral("values.testFlag"));
    };
    controller().setValueForKeyPath(1, keyPath);
    EXPECT_EQ(remover.calls.size(), 1u);
    EXPECT_TRUE(removed.calls.empty());
    EXPECT_TRUE(added.calls.empty()); // joined after this change

    controller().setValueForKeyPath(2, keyPath);
    EXPECT_EQ(remover.calls.size(), 1u);
    EXPECT_EQ(added.calls.size(), 1u);
    controller().removeObserver(&added);
}

TEST_F(DefaultsTest, KeyPathsOutsideValuesAreIgnored)
{
    RecordingObserver observer;
    controller().addObserver(&observer, QStringLiteral("testRate"));
    controller().setValueForKeyPath(QStringLiteral("12"), QStringLiteral("testRate"));
    controller().setValueForKeyPath(QStringLiteral("12"), QStringLiteral("values."));
    controller().setValueForKeyPath(QStringLiteral("12"), QStringLiteral("defaults.testRate"));
    EXPECT_TRUE(observer.calls.empty());
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 30);
    EXPECT_FALSE(controller().valueForKeyPath(QStringLiteral("testRate")).isValid());
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(DefaultsTest, ValuesAreOnDiskAtOnceAndSurviveReopening)
{
    controller().setValueForKeyPath(42, QStringLiteral("values.testCount"));
    controller().setValueForKeyPath(true, QStringLiteral("values.testFlag"));
    controller().setValueForKeyPath(QStringLiteral("%H:%M, %S – ö"), QStringLiteral("values.testFormat"));
    controller().setValueForKeyPath(0.75, QStringLiteral("values.testAlpha"));

    // Another reader of the file sees the values without any further step.
    QSettings disk(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(disk.value(QStringLiteral("testCount")).toInt(), 42);

    controller().reopen();
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testCount")), 42);
    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.testFlag")));
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.testFormat")), QStringLiteral("%H:%M, %S – ö"));
    EXPECT_DOUBLE_EQ(controller().doubleValueForKeyPath(QStringLiteral("values.testAlpha")), 0.75);
}

TEST_F(DefaultsTest, ValuesMayBeReadOnAnotherThreadWhileTheyAreWritten)
{
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const int v = controller().intValueForKeyPath(QStringLiteral("values.testCount"));
            EXPECT_TRUE(v == 13 || (v >= 100 && v < 150)) << v;
        }
    });
    for (int i = 100; i < 150; ++i)
        controller().setValueForKeyPath(i, QStringLiteral("values.testCount"));
    done = true;
    reader.join();
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testCount")), 149);
}

// The child half of the restart test: runs only when the parent starts it.
TEST_F(DefaultsTest, ChildProcessWritesSettings)
{
    if (qEnvironmentVariableIsEmpty("KAIRON_DEFAULTS_CHILD_HOME"))
        GTEST_SKIP() << "run by ValuesSurviveARestartOfTheProcess";
    qputenv("XDG_CONFIG_HOME", qgetenv("KAIRON_DEFAULTS_CHILD_HOME"));
    controller().reopen();
    controller().setValueForKeyPath(QStringLiteral("25"), QStringLiteral("values.testRate"));
    controller().setValueForKeyPath(true, QStringLiteral("values.testFlag"));
    controller().setValueForKeyPath(QStringLiteral("%H"), QStringLiteral("values.testFormat"));
    _exit(0); // no orderly shutdown: the values must already be on disk
}

TEST_F(DefaultsTest, ValuesSurviveARestartOfTheProcess)
{
    const QByteArray self = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    const QByteArray filter = "--gtest_filter=DefaultsTest.ChildProcessWritesSettings";
    qputenv("KAIRON_DEFAULTS_CHILD_HOME", QFile::encodeName(configHome.path()));
    char *argv[] = {const_cast<char *>(self.constData()), const_cast<char *>(filter.constData()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.constData(), nullptr, nullptr, argv, environ);
    qunsetenv("KAIRON_DEFAULTS_CHILD_HOME");
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    controller().reopen();
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testRate")), 25);
    EXPECT_TRUE(controller().boolValueForKeyPath(QStringLiteral("values.testFlag")));
    EXPECT_EQ(controller().stringValueForKeyPath(QStringLiteral("values.testFormat")), QStringLiteral("%H"));
    EXPECT_EQ(controller().intValueForKeyPath(QStringLiteral("values.testCount")), 13);
}

} // namespace
