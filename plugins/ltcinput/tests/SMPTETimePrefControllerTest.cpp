// The preference pane comes from the bundle's resources folder; a missing file
// is logged with the file tried and retried on the next request.
#include "plugins/ltcinput/SMPTETimeIn.h"
#include "plugins/ltcinput/_SMPTETimePrefController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <memory>

namespace {

TEST(SMPTETimePrefController, LoadsPaneAndRetriesAfterFailure)
{
    int argc = 1;
    char name[] = "ltcinput_tests";
    char *argv[] = { name, nullptr };
    QApplication app(argc, argv);

    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    SMPTETimeIn::setResourceFolderOverride(empty.path());
    testing::internal::CaptureStderr();
    EXPECT_EQ(SMPTETimeInClass().preferenceView(), nullptr);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("ERROR: cannot load SMPTETimePreference.ui"), std::string::npos) << log;
    EXPECT_NE(
        log.find(
            QDir(empty.path()).filePath(QStringLiteral("SMPTETimePreference.ui")).toStdString()),
        std::string::npos)
        << "the message names the file tried: " << log;

    SMPTETimeIn::setResourceFolderOverride(QString::fromLocal8Bit(qgetenv("KAIRON_SOURCE_DIR"))
                                           + QStringLiteral("/plugins/ltcinput"));
    std::unique_ptr<QWidget> view(_SMPTETimePrefController::globalNib());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->objectName(), QStringLiteral("prefView"));
    EXPECT_TRUE(view->findChild<QLabel *>(QStringLiteral("explanation")));
    EXPECT_EQ(_SMPTETimePrefController::globalNib(), view.get()) << "loaded once, then kept";
    SMPTETimeIn::setResourceFolderOverride(QString());
}

} // namespace
