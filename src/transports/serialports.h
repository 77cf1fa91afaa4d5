#pragma once

#include <QString>
#include <vector>

namespace cfg {

// A serial device present on this computer, as the RS-232 dialog and `ports` list it.
struct SerialPortEntry {
    QString path;  // what the link opens: /dev/ttyUSB0, COM3
    QString description;
    bool usb = false;  // an adapter a technician plugs in: listed first
};

// The serial devices present, in list order: USB adapters first, then the others, each group by
// path. Pseudo-terminals are not among them.
std::vector<SerialPortEntry> SerialPortsPresent();
std::vector<SerialPortEntry> InListOrder(std::vector<SerialPortEntry> ports);

// The COMn (1 to 255) whose device is `path`, as the link maps COM numbers; 0 when none.
int ComNumberOf(const QString& path);

}  // namespace cfg
