// Any text as a connection text. What the TCP and RS-232 parsers accept keeps the promises of
// their header and reads back the same when written out again; the address check and the TCP
// parser agree on dotted addresses.
#include <QHostAddress>

#include "core/startup/ipcheck.h"
#include "fuzzsupport.h"
#include "transports/connectiontext.h"

using cfgfuzz::Require;

static void CheckTcp(const QString& text) {
    const auto e = cfg::ParseTcpText(text);
    if (!e) return;
    const QString host = e->host.isEmpty() ? QHostAddress(e->ipv4).toString() : e->host;
    const auto again = cfg::ParseTcpText(host + u':' + QString::number(e->port));
    Require(e->port >= 1 && again && again->ipv4 == e->ipv4 && again->host == e->host &&
                again->port == e->port,
            "an accepted TCP text reads back the same");
}

static void CheckAddress(const QString& text) {
    QString checked = text;
    const bool valid = cfg::GeneraTextoIP(checked);
    const bool dotted = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == u'.' || (c >= u'0' && c <= u'9');
    });
    Require(dotted || !valid, "an address holds only digits and dots");
    if (!dotted) return;
    const auto endpoint = cfg::ParseTcpText(text + ":1");
    Require(valid == endpoint.has_value(), "the address check and the link agree");
    const auto normal = cfg::ParseTcpText(checked + ":1");
    Require(!valid || (checked.size() == 15 && checked[3] == u'.' && checked[7] == u'.' &&
                       checked[11] == u'.' && normal && normal->ipv4 == endpoint->ipv4),
            "a valid address becomes the same one, three digits per group");
}

static void CheckSerial(const QString& text) {
    const auto s = cfg::ParseSerialText(text);
    if (!s) return;
    Require(
        s->speed > 0 && QByteArray("EON").contains(s->parity) && s->dataBits >= 5 &&
            s->dataBits <= 8 &&
            (s->device.isEmpty() ? s->comNumber >= 1 && s->comNumber <= 255 : s->comNumber == 0),
        "serial settings are in range");
    const QString port = s->device.isEmpty() ? QString::number(s->comNumber) : s->device;
    const auto again = cfg::ParseSerialText(
        QStringLiteral("%1,%2,%3,").arg(s->speed).arg(QChar(s->parity)).arg(s->dataBits) + port);
    Require(again && again->speed == s->speed && again->parity == s->parity &&
                again->dataBits == s->dataBits && again->comNumber == s->comNumber &&
                again->device == s->device,
            "accepted serial settings read back the same");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(cfgfuzz::Input(data, size));
    CheckTcp(text);
    CheckSerial(text);
    CheckAddress(text);
    const auto target = cfg::CommandLineLink(text);
    Require(text.startsWith("serial:")
                ? !target || target->linkType == 1
                : target && target->linkType == 0 && target->connectionText == text,
            "a TCP text goes to the link as it is, a serial: text is an RS-232 link");
    return 0;
}
