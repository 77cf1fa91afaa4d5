#include "transports/connectiontext.h"

#include <QHostAddress>
#include <QList>
#include <algorithm>

namespace cfg {
namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsHexDigit(QChar c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The decimal value of `digits` (all digits, at least one), or nullopt above `max`. Any number
// of leading zeros is fine.
std::optional<qint64> DecimalValue(QStringView digits, qint64 max) {
    if (digits.isEmpty()) return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > max) return std::nullopt;
    }
    return value;
}

std::optional<quint32> DottedDecimal(QStringView host) {
    quint32 address = 0;
    int groups = 0;
    for (QStringView group : host.split(u'.')) {
        const auto value = DecimalValue(group, 255);
        if (!value || ++groups > 4) return std::nullopt;
        address = (address << 8) | static_cast<quint32>(*value);
    }
    if (groups != 4) return std::nullopt;
    return address;
}

// A label a resolver would read as a number: decimal, octal or 0x-hex.
bool NumericLabel(QStringView label) {
    if (label.size() >= 2 && label[0] == u'0' && (label[1] == u'x' || label[1] == u'X')) {
        for (QChar c : label.mid(2))
            if (!IsHexDigit(c)) return false;
        return true;
    }
    for (QChar c : label)
        if (!IsDigit(c)) return false;
    return true;
}

bool ValidHostName(QStringView host) {
    if (host.size() > 253) return false;
    bool allNumeric = true;
    for (QStringView label : host.split(u'.')) {
        if (label.isEmpty() || label.size() > 63) return false;
        for (QChar c : label) {
            const bool ok = IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                            c == u'-' || c == u'_';
            if (!ok) return false;
        }
        if (label.front() == u'-' || label.back() == u'-') return false;
        allNumeric = allNumeric && NumericLabel(label);
    }
    return !allNumeric;
}

}  // namespace

std::optional<TcpEndpoint> ParseTcpText(const QString& text) {
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.indexOf(u':');
    if (colon <= 0) return std::nullopt;

    qsizetype end = colon + 1;
    while (end < trimmed.size() && IsDigit(trimmed[end])) ++end;
    const auto port = DecimalValue(QStringView(trimmed).sliced(colon + 1, end - colon - 1), 65535);
    if (!port || *port == 0) return std::nullopt;

    TcpEndpoint endpoint;
    endpoint.port = static_cast<quint16>(*port);
    const QStringView host = QStringView(trimmed).left(colon).trimmed();
    const bool digitsAndDots =
        std::all_of(host.begin(), host.end(), [](QChar c) { return IsDigit(c) || c == u'.'; });
    if (digitsAndDots) {
        const auto address = DottedDecimal(host);
        if (!address) return std::nullopt;
        endpoint.ipv4 = *address;
    } else {
        if (!ValidHostName(host)) return std::nullopt;
        endpoint.host = host.toString();
    }
    return endpoint;
}

std::optional<SerialSettings> ParseSerialText(const QString& text) {
    const QString trimmed = text.trimmed();
    // The port field is everything after the third comma.
    qsizetype commas[3];
    qsizetype from = 0;
    for (qsizetype& comma : commas) {
        comma = trimmed.indexOf(u',', from);
        if (comma < 0) return std::nullopt;
        from = comma + 1;
    }
    const QStringView all(trimmed);
    const QStringView speedText = all.left(commas[0]).trimmed();
    const QStringView parityText = all.sliced(commas[0] + 1, commas[1] - commas[0] - 1).trimmed();
    const QStringView bitsText = all.sliced(commas[1] + 1, commas[2] - commas[1] - 1).trimmed();
    const QStringView portText = all.sliced(commas[2] + 1).trimmed();

    SerialSettings settings;
    const auto speed = DecimalValue(speedText, 0x7fffffff);
    if (!speed || *speed == 0) return std::nullopt;
    settings.speed = static_cast<qint32>(*speed);

    if (parityText.size() != 1) return std::nullopt;
    const char parity = static_cast<char>(parityText[0].toUpper().toLatin1());
    if (parity != 'E' && parity != 'O' && parity != 'N') return std::nullopt;
    settings.parity = parity;

    const auto bits = DecimalValue(bitsText, 8);
    if (!bits || *bits < 5) return std::nullopt;
    settings.dataBits = static_cast<int>(*bits);

    if (portText.isEmpty()) return std::nullopt;
    if (std::all_of(portText.begin(), portText.end(), IsDigit)) {
        const auto com = DecimalValue(portText, 255);
        if (!com || *com == 0) return std::nullopt;
        settings.comNumber = static_cast<int>(*com);
    } else {
        settings.device = portText.toString();
    }
    return settings;
}

QString SerialDevice(const SerialSettings& settings) {
    if (settings.comNumber == 0) return settings.device;
    const QString redirected = qEnvironmentVariable(
        ("CFGTARASCOPE_COM" + QByteArray::number(settings.comNumber)).constData());
    if (!redirected.isEmpty()) return redirected;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(settings.comNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(settings.comNumber - 1);
#endif
}

std::optional<LinkTarget> CommandLineLink(const QString& conn) {
    static constexpr QLatin1String kSerial("serial:");
    if (!conn.startsWith(kSerial)) return LinkTarget{0, conn};
    // serial:DEVICE:SPEED,PARITY,BITS; the settings hold no ':' so the last one separates.
    const QString rest = conn.mid(kSerial.size());
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon <= 0 || colon == rest.size() - 1) return std::nullopt;
    // A fourth setting would be taken for the start of the device's path.
    const QString settings = rest.mid(colon + 1);
    if (settings.count(u',') != 2) return std::nullopt;
    return LinkTarget{1, settings + u',' + rest.left(colon)};
}

namespace {

std::optional<ConnectionFault> TcpFault(const QString& text) {
    const auto fault = [](const char* part, const char* reason) {
        return ConnectionFault{QString::fromUtf8(part), QString::fromUtf8(reason)};
    };
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.indexOf(u':');
    if (colon < 0) return fault("puerto", "falta «:PUERTO» tras la dirección");
    const QStringView host = QStringView(trimmed).left(colon).trimmed();
    if (host.isEmpty()) return fault("dirección", "falta la dirección antes de «:»");
    if (std::all_of(host.begin(), host.end(), [](QChar c) { return IsDigit(c) || c == u'.'; })) {
        if (!DottedDecimal(host))
            return fault("dirección", "no es una dirección IPv4 (cuatro grupos de 0 a 255)");
    } else if (!ValidHostName(host)) {
        return fault("dirección", "no es un nombre de host válido");
    }
    qsizetype end = colon + 1;
    while (end < trimmed.size() && IsDigit(trimmed[end])) ++end;
    if (end == colon + 1) return fault("puerto", "falta el número de puerto tras «:»");
    const auto port = DecimalValue(QStringView(trimmed).sliced(colon + 1, end - colon - 1), 65535);
    if (!port || *port == 0) return fault("puerto", "ha de ser de 1 a 65535");
    return std::nullopt;
}

std::optional<ConnectionFault> SerialFault(const QString& rest) {
    const auto fault = [](const char* part, const char* reason) {
        return ConnectionFault{QString::fromUtf8(part), QString::fromUtf8(reason)};
    };
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon < 0)
        return rest.isEmpty()
                   ? fault("dispositivo", "falta el dispositivo")
                   : fault("velocidad", "falta «:SPEED,PARITY,BITS» tras el dispositivo");
    if (colon == 0) return fault("dispositivo", "falta el dispositivo");
    const QStringList fields = rest.mid(colon + 1).split(u',');
    const auto speed = DecimalValue(QStringView(fields[0]).trimmed(), 0x7fffffff);
    if (!speed || *speed == 0) return fault("velocidad", "ha de ser un número entero positivo");
    const QString parity = fields.value(1).trimmed().toUpper();
    if (parity != u"N" && parity != u"E" && parity != u"O")
        return fault("paridad", "ha de ser N, E u O");
    const QString bits = fields.value(2).trimmed();
    if ((bits != u"7" && bits != u"8") || fields.size() > 3)
        return fault("bits", "ha de ser 7 u 8, y nada tras ellos");
    return std::nullopt;
}

}  // namespace

std::optional<ConnectionFault> CommandLineLinkFault(const QString& conn) {
    static constexpr QLatin1String kSerial("serial:");
    std::optional<ConnectionFault> fault =
        conn.startsWith(kSerial) ? SerialFault(conn.mid(kSerial.size())) : TcpFault(conn);
    // Whatever the link itself would refuse is refused here too.
    const std::optional<LinkTarget> target = CommandLineLink(conn);
    const bool linkTakes =
        target && (target->linkType == 1 ? ParseSerialText(target->connectionText).has_value()
                                         : ParseTcpText(target->connectionText).has_value());
    if (!fault && !linkTakes)
        fault = ConnectionFault{QStringLiteral("dirección"), QStringLiteral("no válida")};
    return fault;
}

QString NormalConnection(int linkType, const QString& connectionText) {
    if (linkType == 1) {
        const std::optional<SerialSettings> serial = ParseSerialText(connectionText);
        if (!serial) return connectionText;
        // Joined, not filled in one at a time: a device path may hold "%1".
        return QStringLiteral("serial:") + SerialDevice(*serial) + u':' +
               QString::number(serial->speed) + u',' + QLatin1Char(serial->parity) + u',' +
               QString::number(serial->dataBits);
    }
    const std::optional<TcpEndpoint> tcp = ParseTcpText(connectionText);
    if (!tcp) return connectionText.trimmed();
    const QString host =
        tcp->host.isEmpty() ? QHostAddress(tcp->ipv4).toString() : tcp->host.toLower();
    return host + u':' + QString::number(tcp->port);
}

}  // namespace cfg
