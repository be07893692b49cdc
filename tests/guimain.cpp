// Test main of the widget tests: the program's own application object (offscreen) for the
// whole test program.
#include "gui/app/verolaapplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    verola::VerolaApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
