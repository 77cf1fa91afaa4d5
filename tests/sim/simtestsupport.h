#pragma once

#include <QByteArray>
#include <QTcpSocket>
#include <optional>

#include "sim/simnetwork.h"

namespace simtest {

// The ten header bytes of a request for a destination, then the function code.
QByteArray Request(int dest1, int dest2, int function);

// The reply as a client reads it (stand-in undone), after checking the stand-in rule: every CR
// of the reply was replaced, by a byte found nowhere else. Adds a test failure otherwise.
QByteArray Undo(const QByteArray& wire);

// A small network whose replies the tests spell out byte by byte.
cfg::sim::Network SmallNetwork();

// Two bytes of length, little-endian, then the frame.
QByteArray Framed(const QByteArray& frame);

// A minimal blocking client of the link protocol over TCP on 127.0.0.1.
class Client {
  public:
    bool Connect(quint16 port);
    void Send(const QByteArray& frame) { SendRaw(Framed(frame)); }
    void SendRaw(const QByteArray& bytes);
    // One reply frame; nullopt when none came within the time or the peer closed.
    std::optional<QByteArray> Receive(int timeoutMs = 5000);
    std::optional<QByteArray> Transact(const QByteArray& frame, int timeoutMs = 5000) {
        Send(frame);
        return Receive(timeoutMs);
    }
    // Whether the peer closed the connection within the time.
    bool WaitClosed(int timeoutMs = 5000);
    QTcpSocket& socket() { return socket_; }

  private:
    bool Fill(qsizetype size, int timeoutMs);

    QTcpSocket socket_;
    QByteArray buffer_;
};

}  // namespace simtest
