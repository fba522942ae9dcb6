#include "kairon/windows/preferenceController.h"

#include <QApplication>
#include <gtest/gtest.h>

// Widgets need the application object; the defaults are registered first,
// as the application does.
int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    preferenceController::initialize();
    return RUN_ALL_TESTS();
}
