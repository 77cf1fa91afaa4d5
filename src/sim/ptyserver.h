#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "sim/engine.h"

namespace cfg::sim {

class Session;

// The RS-232 side: a pseudo-terminal whose slave end stands in for the serial port a client
// opens. One session at a time. The server keeps a descriptor of the slave open itself, in raw
// mode, so the master never reports a hang-up while no client has the port open; a client
// that closes the port and opens it again simply goes on.
//
// Closing the connection (--close-after) is a restart of the scale: a new pseudo-terminal,
// the link path pointed at it, and `reopened` with the new slave path.
class PtyServer : public QObject {
    Q_OBJECT
  public:
    PtyServer(Engine& engine, FaultOptions faults, QObject* parent = nullptr);
    ~PtyServer() override;

    // Opens the pseudo-terminal; when `linkPath` is not empty, makes it a symbolic link to the
    // slave (replacing an older symbolic link there, never another kind of file).
    bool Open(const QString& linkPath, QString* error);
    QString slavePath() const { return slavePath_; }

  signals:
    void reopened(const QString& slavePath);

  private:
    bool OpenPair(QString* error);
    void ClosePair();
    bool PointLink(QString* error);
    void OnReadable();
    void OnWritable();
    void Send(const QByteArray& bytes);
    void Restart();

    Engine& engine_;
    const FaultOptions faults_;
    QString linkPath_;
    QString slavePath_;
    int master_ = -1;
    int slaveHold_ = -1;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::unique_ptr<Session> session_;
    QByteArray pending_;
    bool restartWhenSent_ = false;
};

}  // namespace cfg::sim
