#pragma once

#include <QByteArray>

namespace cfg {

class Operation;
class ScaleLink;
struct ItemRow;

// The write entry that sends a row's value as it stands: a string still as read goes back as
// the bytes read.
QByteArray EntryOf(const ItemRow& item);

// What a write reply says, once normalised.
struct WriteReply {
    bool exchanged = false;  // the link carried a reply
    bool answered = false;   // ... and it is long enough to be read
    int accepted = 0;        // items the scale accepted
    int errorCode = 0;       // the reason of a refusal
    QByteArray reply;        // the normalised reply
};
// Exchanges a write request. The grouped items (152 to 157) take only from the second of two
// writes 200 ms apart: with `twice` the request goes again after that wait (the operation's
// Pause), a second wait follows, and the second reply is the one that counts.
WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request, bool twice, Operation& op);

}  // namespace cfg
