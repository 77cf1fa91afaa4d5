#include "gui/instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace cfg {

namespace {
QString Folder(const QString& given) {
    if (!given.isEmpty()) return given;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
}  // namespace

SingleInstance::SingleInstance(const QString& folder)
    : socketPath_(QDir(Folder(folder)).filePath(QStringLiteral("cfgtarascope.socket"))),
      lock_(QDir(Folder(folder)).filePath(QStringLiteral("cfgtarascope.lock"))) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Acquire() {
    // QLockFile takes over a lock whose process no longer runs.
    if (!lock_.tryLock(0)) return false;
    // A socket left by a process that died would refuse the listen.
    QLocalServer::removeServer(socketPath_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            socket->deleteLater();
            emit forwardAsked();
        }
    });
    server_->listen(socketPath_);
    return true;
}

bool SingleInstance::AskFirstForward() const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    return socket.waitForConnected(1000);
}

}  // namespace cfg
