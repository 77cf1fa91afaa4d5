#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>
#include <optional>

#include "sim/engine.h"

class QTcpServer;

namespace cfg::sim {

// Accepts TCP clients, one session each, on the thread it lives in. Clients may come one
// after the other (a client reconnects after a failure) or at the same time.
class TcpListener : public QObject {
    Q_OBJECT
  public:
    TcpListener(Engine& engine, FaultOptions faults, QObject* parent = nullptr);

    // Port 0 picks a free port.
    bool Listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;

  private:
    void Accept();

    Engine& engine_;
    const FaultOptions faults_;
    QTcpServer* server_ = nullptr;
};

// A listener on a thread of its own, for tests and benchmarks that talk to it with blocking
// calls from their own thread.
class TcpServer {
  public:
    // `faults` replaces the engine's own fault options, for a second clean way in.
    explicit TcpServer(Engine& engine, std::optional<FaultOptions> faults = {});
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Port 0 picks a free port.
    bool Start(quint16 port = 0, const QHostAddress& address = QHostAddress::LocalHost,
               QString* error = nullptr);
    quint16 port() const { return port_; }
    // Closes every connection and the listening socket; also done on destruction.
    void Stop();

  private:
    Engine& engine_;
    const FaultOptions faults_;
    QThread thread_;
    TcpListener* listener_ = nullptr;
    quint16 port_ = 0;
};

}  // namespace cfg::sim
