#include "kairon/windows/preferenceController.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widgets need the application object; the defaults are registered first,
// as the application does. Offscreen unless told otherwise, so listing the
// tests works without a display too.
int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    preferenceController::initialize();
    return RUN_ALL_TESTS();
}
