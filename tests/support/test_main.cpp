// Every test program runs inside one QApplication on the offscreen platform, so widgets
// are real and nothing needs a display.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // No test answers from, or leaves answers in, the offline cache of the user running it;
    // those about the cache name a folder of their own.
    setenv("KZT_CACHE_DIR", "off", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
