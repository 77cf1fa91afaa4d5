#pragma once

#include <QByteArray>
#include <QString>

namespace cfg {

// The one link to the server scale. Every request of the tool is one Transact: one request
// frame out, one reply frame back. Frames are byte strings, one byte per element.
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

    // Sends `request` and waits for one reply frame, put into `reply`. Returns 0 when a whole
    // reply arrived, a non-zero code otherwise (then `reply` is empty).
    virtual int Transact(const QByteArray& request, QByteArray& reply) = 0;
};

}  // namespace cfg
