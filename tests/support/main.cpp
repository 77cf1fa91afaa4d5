#include <gtest/gtest.h>

#include <QCoreApplication>

// Sockets and serial ports need an application object (event dispatcher) even when they are
// only used through their blocking waits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
