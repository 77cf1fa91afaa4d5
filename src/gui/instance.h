#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace cfg {

// One interactive program per user: a lock in the user's runtime folder (a lock left by a
// process that died is taken over), and a local socket beside it through which a second start
// asks the first to come forward.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `folder`: where the lock and the socket live; the user's runtime folder when empty.
    explicit SingleInstance(const QString& folder = {});
    ~SingleInstance() override;

    // True when this is the only instance; it then listens for the next starts.
    bool Acquire();
    // A second start: asks the first to come forward. False when it could not be reached.
    bool AskFirstForward() const;

    // What a second start says.
    static QString AlreadyOpen() { return QStringLiteral("CfgTarascope ya está abierto"); }

  signals:
    void forwardAsked();

  private:
    QString socketPath_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace cfg
