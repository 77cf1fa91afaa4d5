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

    virtual ~ScaleLink() = default;

    // Opens the link. `reserved` is always 0. Returns 0 when the link is open, otherwise one of
    // the documented non-zero codes of the implementation.
    virtual int Connect(int reserved, int linkType, const QString& connectionText) = 0;

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
