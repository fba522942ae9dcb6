#include "kairon/core/tsyncMainApp.h"

#include <gtest/gtest.h>

// One application object for the whole run, as in Kairon itself.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tsyncMainApp app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
