#include "sim/tcpserver.h"

#include <QTcpServer>
#include <QTcpSocket>

#include "sim/session.h"

namespace cfg::sim {

TcpListener::TcpListener(Engine& engine, FaultOptions faults, QObject* parent)
    : QObject(parent), engine_(engine), faults_(std::move(faults)) {}

bool TcpListener::Listen(const QHostAddress& address, quint16 port, QString* error) {
    delete server_;
    server_ = new QTcpServer(this);
    connect(server_, &QTcpServer::newConnection, this, &TcpListener::Accept);
    if (!server_->listen(address, port)) {
        if (error != nullptr) *error = server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    return true;
}

quint16 TcpListener::port() const {
    return server_ != nullptr ? server_->serverPort() : 0;
}

void TcpListener::Accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Session::Transport transport{
            [socket](const QByteArray& bytes) { socket->write(bytes); },
            [socket] { socket->disconnectFromHost(); },
        };
        // The socket owns its session: both go when the connection ends.
        auto* session = new Session(engine_, faults_, std::move(transport), socket);
        connect(socket, &QTcpSocket::readyRead, session,
                [socket, session] { session->Feed(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

TcpServer::TcpServer(Engine& engine, std::optional<FaultOptions> faults)
    : engine_(engine), faults_(faults.value_or(engine.options().faults)) {}

TcpServer::~TcpServer() {
    Stop();
}

bool TcpServer::Start(quint16 port, const QHostAddress& address, QString* error) {
    Stop();
    listener_ = new TcpListener(engine_, faults_);
    listener_->moveToThread(&thread_);
    thread_.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        listener_,
        [&] {
            ok = listener_->Listen(address, port, error);
            port_ = listener_->port();
        },
        Qt::BlockingQueuedConnection);
    if (!ok) Stop();
    return ok;
}

void TcpServer::Stop() {
    if (listener_ != nullptr) {
        // Sockets and timers must go on the thread they live in: the thread deletes the
        // listener, its sockets and sessions as it finishes.
        QObject::connect(&thread_, &QThread::finished, listener_, &QObject::deleteLater);
        listener_ = nullptr;
    }
    thread_.quit();
    thread_.wait();
    port_ = 0;
}

}  // namespace cfg::sim
