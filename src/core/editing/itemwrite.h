#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace cfg {

class ScaleLink;
struct ItemRow;

// One item entry of a write request, its value taken from the text the model stores: an
// enumeration's option index, a number, a string, or a date as "dd/mm/yy". A string still
// unchanged since it was read goes back as the bytes read, `asRead`.
QByteArray ItemEntry(int id, int type, const QString& stored, const QByteArray* asRead = nullptr);

// The entry that sends a row's value as it stands.
QByteArray ItemEntry(const ItemRow& item);

// A write request for `owner` (0 = the system) carrying the given entries.
QByteArray WriteRequest(int owner, const QList<QByteArray>& entries);

// What a write reply says, once normalised.
struct WriteReply {
    bool exchanged = false;  // the link carried a reply
    bool answered = false;   // ... and it is long enough to be read
    int accepted = 0;        // items the scale accepted
    int errorCode = 0;       // the reason of a refusal
    QByteArray reply;        // the normalised reply
};
// A wait of some milliseconds; tests pass one that only records.
using Pause = std::function<void(int milliseconds)>;

// Exchanges a write request. The grouped items (152 to 157) take only from the second of two
// writes 200 ms apart: with `twice` the request goes again after that wait, a second wait
// follows, and the second reply is the one that counts. Without a pause the thread sleeps.
WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request, bool twice = false,
                         const Pause& pause = {});

// The scale's reason for refusing a write.
QString RefusalReason(int errorCode);

}  // namespace cfg
