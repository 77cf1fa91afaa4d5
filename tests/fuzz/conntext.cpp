// Any text as a connection text. What the TCP and RS-232 parsers accept keeps the promises of
// their header and reads back the same when written out again; the address check and the TCP
// parser agree on dotted addresses.
#include "core/startup/ipcheck.h"
#include "fuzzsupport.h"
#include "transports/connectiontext.h"

namespace {

using cfgfuzz::Require;

QString Dotted(quint32 a) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(a >> 24)
        .arg(a >> 16 & 255)
        .arg(a >> 8 & 255)
        .arg(a & 255);
}

void CheckTcp(const QString& text) {
    const auto endpoint = cfg::ParseTcpText(text);
    if (!endpoint) return;
    Require(endpoint->port >= 1, "a TCP port is 1 to 65535");
    const QString host = endpoint->host.isEmpty() ? Dotted(endpoint->ipv4) : endpoint->host;
    const auto again = cfg::ParseTcpText(host + u':' + QString::number(endpoint->port));
    Require(again && again->ipv4 == endpoint->ipv4 && again->host == endpoint->host &&
                again->port == endpoint->port,
            "an accepted TCP text reads back the same");
}

void CheckAddress(const QString& text) {
    QString checked = text;
    const bool valid = cfg::GeneraTextoIP(checked);
    const bool dotted = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == u'.' || (c >= u'0' && c <= u'9');
    });
    Require(dotted || !valid, "an address holds only digits and dots");
    if (!dotted) return;
    const auto endpoint = cfg::ParseTcpText(text + QStringLiteral(":1"));
    Require(valid == endpoint.has_value(), "the address check and the link agree");
    if (!valid) return;
    const auto normal = cfg::ParseTcpText(checked + QStringLiteral(":1"));
    Require(checked.size() == 15 && checked[3] == u'.' && checked[7] == u'.' &&
                checked[11] == u'.' && normal && normal->ipv4 == endpoint->ipv4,
            "a valid address becomes the same one, three digits per group");
}

void CheckSerial(const QString& text) {
    const auto s = cfg::ParseSerialText(text);
    if (!s) return;
    Require(s->speed > 0 && (s->parity == 'E' || s->parity == 'O' || s->parity == 'N') &&
                s->dataBits >= 5 && s->dataBits <= 8,
            "serial settings are in range");
    Require(s->device.isEmpty() ? s->comNumber >= 1 && s->comNumber <= 255 : s->comNumber == 0,
            "a serial port is a COM number or a device");
    const QString port = s->device.isEmpty() ? QString::number(s->comNumber) : s->device;
    const auto again = cfg::ParseSerialText(QString::number(s->speed) + u',' + QChar(s->parity) +
                                            u',' + QString::number(s->dataBits) + u',' + port);
    Require(again && again->speed == s->speed && again->parity == s->parity &&
                again->dataBits == s->dataBits && again->comNumber == s->comNumber &&
                again->device == s->device,
            "accepted serial settings read back the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CheckTcp(text);
    CheckSerial(text);
    CheckAddress(text);
    const auto target = cfg::CommandLineLink(text);
    if (!text.startsWith(QStringLiteral("serial:")))
        Require(target && target->linkType == 0 && target->connectionText == text,
                "a TCP text goes to the link as it is");
    else if (target)
        Require(target->linkType == 1, "a serial: text is an RS-232 link");
    return 0;
}
