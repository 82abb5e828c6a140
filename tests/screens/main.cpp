// This program's windows open on two screens side by side: a till's 800 x 600 and a
// desk's 1920 x 1080, both on the offscreen platform, so no display is needed.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || std::string(platform) == "offscreen") {
        const std::string screens =
            "offscreen:configfile=" KZT_SOURCE_DIR "/tests/screens/screens.json";
        setenv("QT_QPA_PLATFORM", screens.c_str(), 1);
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
