#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <memory>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace cfg {

// One transport of the scale link, in the manner of a driver table: open, close, the device to
// frame on. The link component owns the connection text and decides when to open and close;
// the framing is shared and works on Device() only.
//
// A device belongs to the thread that opened it (Qt's socket notifiers are bound to it).
class LinkBackend {
  public:
    virtual ~LinkBackend() = default;

    // Closes any open device, then opens the one `text` names, giving up at `deadline`. Returns
    // 0 or one of LinkComponent's Connect codes, with a readable reason in `error`.
    virtual int Open(const QString& text, QDeadlineTimer deadline, QString& error) = 0;

    // Closes the device, dropping whatever is still in flight either way.
    virtual void Close() = 0;

    // The open device, or null.
    virtual QIODevice* Device() const = 0;

    // Drops every byte that arrived since the last exchange ended. False when that showed the
    // connection to be gone (a TCP peer may close while the link is idle).
    virtual bool DiscardStale() = 0;

    // Asked after a wait on Device() failed: true when the other end is gone, false when it was
    // only silent.
    virtual bool PeerGone() const = 0;
};

std::unique_ptr<LinkBackend> MakeTcpBackend();
std::unique_ptr<LinkBackend> MakeSerialBackend();

// Closes and deletes `device` from whatever thread calls it. A device owned by another thread
// that is still running is handed to that thread's event loop and waited for up to one second
// (a serial port must be released before it can be opened again); one owned by a finished
// thread is safe to close here.
void DisposeDevice(std::unique_ptr<QIODevice> device);

}  // namespace cfg
