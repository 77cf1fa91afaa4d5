#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

#include "sim/engine.h"

namespace cfg::sim {

// One client of the server scale on one connection (a TCP socket or the pseudo-terminal):
// cuts the byte stream into frames (two bytes of length, little-endian, then the frame),
// answers them through the engine and plays the fault options. Lives in its transport's
// thread.
class Session : public QObject {
    Q_OBJECT
  public:
    struct Transport {
        std::function<void(const QByteArray&)> send;  // bytes for the peer, in order
        std::function<void()> close;                  // end the connection after what was sent
    };

    Session(Engine& engine, FaultOptions faults, Transport transport, QObject* parent = nullptr);

    // Bytes received from the peer.
    void Feed(const QByteArray& bytes);

    // A partial frame left alone this long is dropped, so a client that gave up in the middle
    // of a frame (and flushed its side) does not shift every later frame.
    static constexpr int kResyncMs = 2000;

  private:
    void HandleFrame(const QByteArray& frame);
    void Deliver(const QByteArray& reply, bool closeAfter);

    Engine& engine_;
    const FaultOptions faults_;
    const Transport transport_;
    QByteArray buffer_;
    QTimer resync_;
    int received_ = 0;
    bool closing_ = false;
};

}  // namespace cfg::sim
