#pragma once

#include <QByteArray>
#include <QString>

namespace cfg {

// The one link to the server scale. Every request of the tool is one exchange: one request
// frame out, one reply frame back. Frames are byte strings, one byte per element.
//
// An exchange is Send then Receive; Transact does both. A caller that knows its next request
// before it has handled the last reply (a paged read) sends it first and handles the reply
// while the scale prepares the next one. There is never more than one request in flight.
//
// Calls block their caller and must come from one thread at a time. The desktop program runs
// the long operations (reads, send-all) on a worker thread that owns the link, so the window
// keeps painting; the headless front ends call it from their only thread.
class ScaleLink {
  public:
    enum LinkType { Tcp = 0, Serial = 1 };

    // Results of Connect and of an exchange (Send, Receive, Transact), every implementation's.
    // An exchange returns the Connect codes only through kNoLink.
    enum Code : int {
        kOk = 0,
        // Connect
        kBadText = 1,          // unknown link type or unreadable connection text
        kRefused = 2,          // the host refused the connection or cannot be reached
        kHostNotFound = 3,     // the host name does not resolve
        kConnectTimedOut = 4,  // no connection within the time allowed
        kPortNotOpened = 5,    // the serial device cannot be opened (missing, busy, no access)
        kSettingRefused = 6,   // the serial port refused the speed, parity or data bits
        // Send, Receive, Transact
        kNoLink = 10,          // never connected, the link could not be opened again, or a
                               // Receive without a request awaiting its reply
        kPeerClosed = 11,      // the other end closed the connection or the device went away
        kReplyTimeout = 12,    // no byte for the reply timeout
        kMalformedFrame = 13,  // the reply announced a length of 0
        kWriteFailed = 14,     // the request could not be sent
        kBadRequest = 15,      // the request is empty or longer than 65535 bytes; nothing sent
        kReplyTooSlow = 16,    // the reply did not arrive whole within 10 s plus 1 s per 100
                               // bytes of its length
    };
    // What a code means, for logs and diagnostics.
    static QString CodeText(int code);

    virtual ~ScaleLink() = default;

    // Opens the link. `reserved` is always 0. Returns 0 when the link is open, otherwise one of
    // the documented non-zero codes of the implementation.
    virtual int Connect(int reserved, int linkType, const QString& connectionText) = 0;

    // What went wrong last, in a sentence for the technician; empty when nothing did.
    virtual QString LastError() const { return {}; }

    // Tunes the link; the meaning of `value` is documented by the implementation.
    virtual void Configure(int value) = 0;

    // Sends `request`. Returns 0 when it went out, then the next call is Receive; a non-zero
    // code otherwise. A Send while the reply to the previous one is still owed gives up that
    // reply, which can never be taken for the answer to this request.
    virtual int Send(const QByteArray& request) = 0;

    // Waits for the reply frame to the request sent last, put into `reply`. Returns 0 when a
    // whole reply arrived, a non-zero code otherwise (then `reply` is empty), also when no
    // request is awaiting its reply.
    virtual int Receive(QByteArray& reply) = 0;

    // Send, then Receive.
    int Transact(const QByteArray& request, QByteArray& reply) {
        reply.clear();
        const int sent = Send(request);
        return sent != 0 ? sent : Receive(reply);
    }
};

}  // namespace cfg
