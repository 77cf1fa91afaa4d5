#include <gtest/gtest.h>

#ifdef CFG_WIDGET_TESTS
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

// Sockets and serial ports need an application object even through their blocking waits, the
// windows a widget one, drawn off screen without a display (test discovery runs outside ctest's
// environment, so the default is set here).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
