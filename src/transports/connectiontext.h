#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace cfg {

// The connection texts of the scale link, read strictly: whatever is not understood is refused
// here instead of being guessed at by a resolver or a driver further down.

// TCP/IP: `HOST:PORT`. Surrounding spaces are ignored (the batch command line hands over a
// fixed 20-character field). A host of digits and dots only must be a dotted IPv4 address of
// four decimal groups 0..255, leading zeros allowed and read as decimal, so `010.000.000.001`
// is 10.0.0.1; system resolvers would read such a group as octal, so numeric hosts never reach
// them. Anything else must be a plain host name (letters, digits, '-', '_', dot-separated
// labels) that no resolver could take for a number either (`0x7f.1` is refused). PORT is the
// run of decimal digits right after the first ':' (`127.0.0.1:60:00` is port 60), 1..65535.
struct TcpEndpoint {
    quint32 ipv4 = 0;  // the address when `host` is empty
    QString host;      // the host name to look up, empty for a dotted address
    quint16 port = 0;
};
std::optional<TcpEndpoint> ParseTcpText(const QString& text);

// RS-232: `SPEED,PARITY,BITS,PORT`, for example `19200,E,8,1`; one stop bit and no flow
// control are implied. SPEED is a positive decimal, PARITY one of E, O, N (either case), BITS
// 5..8. PORT is either a COM number n >= 1 or, when not all digits, a device path taken as it
// is (everything after the third comma, so a path may itself contain commas).
struct SerialSettings {
    qint32 speed = 0;
    char parity = 'N';  // 'E', 'O' or 'N'
    int dataBits = 8;
    int comNumber = 0;  // n of COMn; 0 when `device` was given
    QString device;
};
std::optional<SerialSettings> ParseSerialText(const QString& text);

// The device a serial text names. COMn is taken from the environment variable
// CFGTARASCOPE_COM<n> when that is set (tests point it at a pseudo-terminal), otherwise it is
// COMn itself on Windows and /dev/ttyS<n-1> elsewhere.
QString SerialDevice(const SerialSettings& settings);

// The command-line tools name a link either by a TCP text `HOST:PORT` or by
// `serial:DEVICE:SPEED,PARITY,BITS` (DEVICE may be a COM number). This gives the link type and
// the text for ScaleLink::Connect; the text itself is checked by Connect. Empty when a
// `serial:` form lacks its settings.
struct LinkTarget {
    int linkType = 0;
    QString connectionText;
};
std::optional<LinkTarget> CommandLineLink(const QString& conn);

// What is wrong with a command line's connection text: the part (`dirección`, `puerto`,
// `dispositivo`, `velocidad`, `paridad`, `bits`) and why, in Spanish; nothing when it is a
// connection text. Stricter than the link: serial BITS are 7 or 8, the scales' only ones.
struct ConnectionFault {
    QString part;
    QString reason;
};
std::optional<ConnectionFault> CommandLineLinkFault(const QString& conn);

// The one text of a link that names it however it was typed, as the history keeps it: TCP as
// the dotted address without leading zeros (a host name in lower case), ':' and the port;
// RS-232 as `serial:DEVICE:SPEED,PARITY,BITS`, the device a COM number maps to. A text that
// cannot be read is kept as it is.
QString NormalConnection(int linkType, const QString& connectionText);

}  // namespace cfg
