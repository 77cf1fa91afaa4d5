#include "transports/serialports.h"

#include <QSerialPortInfo>
#include <algorithm>

#include "transports/connectiontext.h"

namespace cfg {

std::vector<SerialPortEntry> SerialPortsPresent() {
    std::vector<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        // A vendor announced by the device, or the names Linux gives USB serial adapters.
        const bool usb =
            info.hasVendorIdentifier() || name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM");
        ports.push_back({info.systemLocation(), info.description(), usb});
    }
    return InListOrder(std::move(ports));
}

std::vector<SerialPortEntry> InListOrder(std::vector<SerialPortEntry> ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortEntry& a, const SerialPortEntry& b) {
                         if (a.usb != b.usb) return a.usb;
                         return a.path < b.path;
                     });
    return ports;
}

int ComNumberOf(const QString& path) {
    for (int n = 1; n <= 255; ++n) {
        SerialSettings com;
        com.comNumber = n;
        if (SerialDevice(com) == path) return n;
    }
    return 0;
}

}  // namespace cfg
