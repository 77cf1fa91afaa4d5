#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace cfg {

class ScaleLink;

// One item entry of a write request, its value taken from the text the model stores: an
// enumeration's option index, a number, a string, or a date as "dd/mm/yy".
QByteArray ItemEntry(int id, int type, const QString& stored);

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
WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request);

// The scale's reason for refusing a write.
QString RefusalReason(int errorCode);

}  // namespace cfg
