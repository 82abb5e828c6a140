// This program plays a host with no Qt application of its own: unlike the other test
// programs it makes none, so the module must make one for its dialog calls. Defining main
// here keeps the support library's QApplication main out of the link.

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
