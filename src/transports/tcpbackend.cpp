#include <QHostAddress>
#include <QHostInfo>
#include <QMutex>
#include <QTcpSocket>
#include <QWaitCondition>
#include <algorithm>
#include <thread>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

#include "transports/connectiontext.h"
#include "transports/linkbackend.h"
#include "transports/linkcomponent.h"

namespace cfg {
namespace {

int Remaining(const QDeadlineTimer& deadline) {
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

// QTcpSocket resolves names with an unbounded blocking lookup inside waitForConnected, so the
// lookup runs on its own thread and is abandoned at the deadline (it ends on its own later).
int Lookup(const QString& host, QDeadlineTimer deadline, QList<QHostAddress>& addresses,
           QString& error) {
    struct Shared {
        QMutex mutex;
        QWaitCondition done;
        bool finished = false;
        QHostInfo info;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([host, shared] {
        QHostInfo info = QHostInfo::fromName(host);
        QMutexLocker lock(&shared->mutex);
        shared->info = std::move(info);
        shared->finished = true;
        shared->done.wakeAll();
    }).detach();

    QMutexLocker lock(&shared->mutex);
    while (!shared->finished)
        if (!shared->done.wait(&shared->mutex, deadline)) break;
    if (!shared->finished) {
        error = QStringLiteral("%1: el nombre no se resolvió en %2 s")
                    .arg(host)
                    .arg(LinkComponent::kConnectTimeoutMs / 1000);
        return LinkComponent::kConnectTimedOut;
    }
    addresses = shared->info.addresses();
    if (shared->info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        error = QStringLiteral("%1: nombre de host desconocido").arg(host);
        return LinkComponent::kHostNotFound;
    }
    // The texts are IPv4 first and foremost; try those addresses before any other.
    std::stable_partition(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    return LinkComponent::kOk;
}

class TcpBackend final : public LinkBackend {
  public:
    ~TcpBackend() override { Close(); }

    int Open(const QString& text, QDeadlineTimer deadline, QString& error) override {
        Close();
        const auto endpoint = ParseTcpText(text);
        if (!endpoint) {
            error = QStringLiteral("texto de conexión TCP no válido: «%1»").arg(text);
            return LinkComponent::kBadText;
        }
        QList<QHostAddress> addresses{QHostAddress(endpoint->ipv4)};
        if (!endpoint->host.isEmpty()) {
            addresses.clear();
            const int code = Lookup(endpoint->host, deadline, addresses, error);
            if (code != LinkComponent::kOk) return code;
        }
        int code = LinkComponent::kRefused;
        for (const QHostAddress& address : addresses) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(address, endpoint->port);
            if (socket->waitForConnected(Remaining(deadline))) {
                socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                socket_ = std::move(socket);
                return LinkComponent::kOk;
            }
            const bool timedOut =
                socket->error() == QAbstractSocket::SocketTimeoutError || deadline.hasExpired();
            error = QStringLiteral("%1:%2: %3")
                        .arg(address.toString())
                        .arg(endpoint->port)
                        .arg(timedOut ? QStringLiteral("sin respuesta en %1 s")
                                            .arg(LinkComponent::kConnectTimeoutMs / 1000)
                             : socket->error() == QAbstractSocket::ConnectionRefusedError
                                 ? QStringLiteral("conexión rechazada")
                                 : QStringLiteral("inalcanzable"));
            code = timedOut ? LinkComponent::kConnectTimedOut : LinkComponent::kRefused;
            socket->abort();
            if (deadline.hasExpired()) break;
        }
        return code;
    }

    void Close() override { DisposeDevice(std::move(socket_)); }

    QIODevice* Device() const override { return socket_.get(); }

    bool DiscardStale() override {
        if (!socket_) return false;
        socket_->readAll();
        if (NothingPending()) return socket_->state() == QAbstractSocket::ConnectedState;
        // Bounded: a peer that streams without pause must not hold the link here.
        for (int i = 0; i < 64 && socket_->waitForReadyRead(0); ++i) socket_->readAll();
        return socket_->state() == QAbstractSocket::ConnectedState;
    }

    bool PeerGone() const override {
        return !socket_ || socket_->state() != QAbstractSocket::ConnectedState;
    }

  private:
    // Nothing has arrived, nor has the peer closed: the usual case before a request, told by
    // one poll of the socket, cheaper than a wait through the socket's machinery.
    bool NothingPending() const {
#ifdef Q_OS_UNIX
        pollfd fd{static_cast<int>(socket_->socketDescriptor()), POLLIN, 0};
        return fd.fd >= 0 && ::poll(&fd, 1, 0) == 0;
#else
        return false;
#endif
    }

    std::unique_ptr<QTcpSocket> socket_;
};

}  // namespace

std::unique_ptr<LinkBackend> MakeTcpBackend() {
    return std::make_unique<TcpBackend>();
}

}  // namespace cfg
