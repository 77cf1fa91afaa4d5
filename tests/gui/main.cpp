#include <gtest/gtest.h>

#include <QApplication>

// The windows need a widget application; without a display they draw off screen (test
// discovery runs outside ctest's environment, so the default is set here too).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
