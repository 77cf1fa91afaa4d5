#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// The scale protocol in one place: the codes of the frames, every request the tool sends and
// every reply it reads, and the one exchange that sends a request and checks its reply. Frames
// are QByteArrays, one element per byte; positions in comments count from 1.
namespace cfg {

class ScaleLink;

// Item types as the scales send them.
enum ItemType { kEnumeration = 5, kNumber = 7, kString = 8, kDate = 9 };
// The name files and scripts give a type: "enum", "number", "string", "date"; empty for another.
QString ItemTypeName(int type);

// One scale of the network reply.
struct ScaleEntry {
    int number = 0;
    int mostrador = 0;
    QString mac;  // six bytes in upper-case hexadecimal without leading zeros, run together
};

namespace protocol {

// Function codes, byte 11 of a request.
enum Function : std::uint8_t {
    kReadValues = 0x00,  // also one menu's values, byte 14 = 0x01
    kWriteItems = 0x01,
    kReadStructure = 0x02,
    kReadNetwork = 0x03,
};

// The shortest reply of each kind; a shorter one is a failed exchange.
constexpr int kNetworkReplyMinimum = 15;
constexpr int kPagedReplyMinimum = 20;  // structure, values and one menu
constexpr int kWriteReplyMinimum = 14;

// Structure record codes that are menus; any other code is an item and is its type.
constexpr int kScaleMenu = 200;
constexpr int kSystemMenu = 201;
constexpr int kScaleMenuHard = 202;

// Items the scales accept only as a whole menu, whose edge spaces configuration files mark.
constexpr bool IsGroupItem(int id) {
    return id >= 152 && id <= 157;
}

// Request destinations, bytes 3 and 4 of the header.
struct Destination {
    std::uint8_t first;
    std::uint8_t second;
    static constexpr Destination System() { return {0x00, 0x00}; }
    static constexpr Destination Structure() { return {0x20, 0x00}; }
    static constexpr Destination Scale(int number) {
        return {0x02, static_cast<std::uint8_t>(number)};
    }
    // Owner 0 is the system, any other a scale.
    static constexpr Destination Owner(int owner) { return owner == 0 ? System() : Scale(owner); }
};

// --- requests ---
// The ten header bytes every request starts with, followed by the function code.
QByteArray RequestStart(Destination destination, Function function);
QByteArray NetworkRequest();
// The structure of the system (owner 0), or the one every scale shares.
QByteArray StructureRequest(int owner, int cursor);
QByteArray ValuesRequest(int owner, int cursor);
QByteArray MenuRequest(Destination destination, int menuId);
// One item entry of a write: the value taken from the text the model stores (an option
// index, a number, a string, a date as "dd/mm/yy"); a string still as read goes back as the
// bytes read, `asRead`.
QByteArray ItemEntry(int id, int type, const QString& stored, const QByteArray* asRead = nullptr);
QByteArray WriteRequest(int owner, const QList<QByteArray>& entries);

// --- replies, once normalised ---
// The scales a network reply lists; entries cut short read as 0.
std::vector<ScaleEntry> NetworkScales(QByteArrayView reply);

// A page of a read with a cursor, or a menu read back.
struct Page {
    int count = 0;   // entries announced
    int cursor = 0;  // to ask for next; 0 = the last page
    QByteArrayView data;
};
Page PageOf(QByteArrayView reply);

// One structure record at `pos` of a page's data; missing bytes read as 0 and missing text as
// empty. `lastNonSpace` is the page's last byte that is not a space: an enumeration's options
// are read only when something else follows its text.
struct StructureRecord {
    int id = 0;
    int code = 0;
    int order = 0;
    int length = 0;
    QString text;
    QStringList options;  // trimmed
    qsizetype next = 0;   // where the next record starts
};
StructureRecord DecodeStructureRecord(QByteArrayView data, qsizetype pos, qsizetype lastNonSpace);
qsizetype LastNonSpace(QByteArrayView data);

// One value entry, decoded by its own type.
struct ValueEntry {
    int id = 0;
    int type = 0;
    QString value;     // a string as the tool holds it (Convierte_Texto_Valor)
    QByteArray bytes;  // a string's or date's bytes as sent
    int length = 0;    // bytes taken; 0 for a type whose layout is unknown
};
ValueEntry DecodeValueEntry(QByteArrayView data, qsizetype pos);

// A number read from a scale divided by its divisor byte (an ASCII digit, anything else for
// none), in plain decimal with the fewest digits that read back to the same value.
QString NumberText(double number, int divisorByte);

struct WriteAnswer {
    int accepted = 0;   // items the scale accepted
    int errorCode = 0;  // the reason of a refusal
};
WriteAnswer ParseWriteReply(QByteArrayView reply);
// The scale's reason for refusing a write.
QString RefusalReason(int errorCode);

// --- the exchange ---
struct Reply {
    int code = 0;      // the link's result; 0 when a reply came
    QByteArray bytes;  // normalised
    bool ok = false;   // a reply of at least its kind's minimum
};
// Sends `request` and receives its reply.
Reply Exchange(ScaleLink& link, const QByteArray& request, int minimum);
// Receives the reply to a request already sent.
Reply ReceiveReply(ScaleLink& link, int minimum);
// A read's exchange: one that fails (no reply, the link closed, a reply short of its minimum)
// is sent once more, over the link reopened, before it counts as failed. One lost request in a
// few hundred must not cost a whole scale's values. Writes are never repeated this way: a
// write whose reply did not come may have been applied.
Reply ExchangeRead(ScaleLink& link, const QByteArray& request, int minimum);
// The same for a read request sent already, whose reply is awaited.
Reply ReceiveRead(ScaleLink& link, const QByteArray& request, int minimum);

}  // namespace protocol
}  // namespace cfg
