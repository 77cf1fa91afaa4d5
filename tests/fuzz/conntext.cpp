// Any text as a connection text. What the TCP parser accepts reads back the same when written
// out again; the address check and the TCP parser agree on dotted addresses.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(cfgfuzz::Input(data, size));
    CheckTcp(text);
    CheckAddress(text);
    const auto target = cfg::CommandLineLink(text);
    Require(text.startsWith("serial:")
                ? !target || target->linkType == 1
                : target && target->linkType == 0 && target->connectionText == text,
            "a TCP text goes to the link as it is, a serial: text is an RS-232 link");
    return 0;
}
