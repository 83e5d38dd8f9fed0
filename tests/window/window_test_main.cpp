#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    // The widget tests need no display; test discovery runs without the
    // environment that ctest gives the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
