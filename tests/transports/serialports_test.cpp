#include "transports/serialports.h"

#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QStringList>

namespace cfg {
namespace {

// Adapters first, each group by path; a device knows the COMn that maps to it.
TEST(SerialPorts, AdaptersFirstAndTheComThatMapsToEach) {
    const std::vector<SerialPortEntry> listed = InListOrder({{"/dev/ttyS1", "", false},
                                                             {"/dev/ttyUSB1", "FTDI", true},
                                                             {"/dev/ttyACM0", "", true},
                                                             {"/dev/ttyS0", "", false}});
    QStringList paths;
    for (const SerialPortEntry& port : listed) paths.append(port.path);
    EXPECT_EQ(paths, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyS1"}));
    qputenv("CFGTARASCOPE_COM12", "/dev/pts/7");
    const auto unset = qScopeGuard([] { qunsetenv("CFGTARASCOPE_COM12"); });
    EXPECT_EQ(ComNumberOf("/dev/pts/7"), 12);
    EXPECT_EQ(ComNumberOf("/dev/ttyS11"), 0);  // COM12 goes elsewhere
    EXPECT_EQ(ComNumberOf("/dev/ttyS0"), 1);
    EXPECT_EQ(ComNumberOf("/dev/ttyUSB0"), 0);
}

}  // namespace
}  // namespace cfg
