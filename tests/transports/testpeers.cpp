#include "transports/testpeers.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>
#include <memory>

namespace cfgtest {

QByteArray Frame(const QByteArray& body) {
    QByteArray wire;
    wire.append(static_cast<char>(body.size() & 0xFF));
    wire.append(static_cast<char>((body.size() >> 8) & 0xFF));
    return wire + body;
}

QByteArray Pattern(qsizetype size, int seed) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

void PeerLog::Add(const PeerRequest& request) {
    QMutexLocker lock(&mutex_);
    requests_.push_back(request);
}

std::vector<PeerRequest> PeerLog::Requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

void PeerLog::WaitAnswered(int count) {
    answered_.acquire(count - waited_);
    waited_ = count;
}

namespace {

// Takes the first whole frame off the front of `buffer`.
bool TakeFrame(QByteArray& buffer, QByteArray& frame) {
    if (buffer.size() < 2) return false;
    const qsizetype size = static_cast<quint8>(buffer[0]) | (static_cast<quint8>(buffer[1]) << 8);
    if (buffer.size() < 2 + size) return false;
    frame = buffer.mid(2, size);
    buffer.remove(0, 2 + size);
    return true;
}

void Hold(QSemaphore* semaphore, const std::atomic<bool>& stop) {
    while (semaphore && !stop && !semaphore->tryAcquire(1, 20)) {
    }
}

// The pieces an answer is written in.
std::vector<QByteArray> Pieces(const PeerAnswer& answer) {
    if (answer.pieceSize <= 0) return {answer.bytes};
    std::vector<QByteArray> pieces;
    for (qsizetype at = 0; at < answer.bytes.size(); at += answer.pieceSize)
        pieces.push_back(answer.bytes.mid(at, answer.pieceSize));
    return pieces;
}

}  // namespace

TcpPeer::TcpPeer(PeerScript script, quint16 port)
    : script_(std::move(script)), requestedPort_(port) {
    start();
    started_.acquire();
}

TcpPeer::~TcpPeer() {
    stop_ = true;
    wait();
}

void TcpPeer::run() {
    QTcpServer server;
    if (server.listen(QHostAddress::LocalHost, requestedPort_)) port_ = server.serverPort();
    started_.release();
    int connection = 0;
    while (!stop_ && server.isListening()) {
        // One wait may accept several connections: take those already queued first.
        if (!server.hasPendingConnections() && !server.waitForNewConnection(20)) continue;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        ++connection;
        QByteArray buffer;
        bool open = true;
        while (open && !stop_) {
            buffer += socket->readAll();
            QByteArray frame;
            if (!TakeFrame(buffer, frame)) {
                if (!socket->waitForReadyRead(20) &&
                    socket->state() != QAbstractSocket::ConnectedState)
                    open = false;
                continue;
            }
            const PeerRequest request{connection, frame};
            Add(request);
            const PeerAnswer answer = script_(request);
            Hold(answer.holdUntil, stop_);
            bool first = true;
            for (const QByteArray& piece : Pieces(answer)) {
                if (!first) msleep(static_cast<unsigned long>(answer.pauseMs));
                first = false;
                socket->write(piece);
                while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(1000)) {
                }
            }
            if (answer.closeAfter) {
                socket->disconnectFromHost();
                if (socket->state() != QAbstractSocket::UnconnectedState)
                    socket->waitForDisconnected(1000);
                open = false;
            }
            Answered();
        }
    }
}

PtyPeer::PtyPeer(PeerScript script) : script_(std::move(script)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    // A pty starts in cooked mode with echo, and a serial port puts back the mode it found when
    // it closes: without raw mode here, whatever the peer writes while the link has the port
    // closed would be echoed back to the peer as if the link had sent it.
    termios mode{};
    const bool raw = ::tcgetattr(master_, &mode) == 0 && (::cfmakeraw(&mode), true) &&
                     ::tcsetattr(master_, TCSANOW, &mode) == 0;
    if (!raw || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    thread_ = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
}

bool PtyPeer::WriteAll(const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size() && !stop_) {
        const ssize_t n =
            ::write(master_, bytes.constData() + at, static_cast<size_t>(bytes.size() - at));
        if (n > 0) {
            at += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 20);
    }
    return at == bytes.size();
}

void PtyPeer::Run() {
    QByteArray buffer;
    while (!stop_) {
        QByteArray frame;
        if (TakeFrame(buffer, frame)) {
            const PeerRequest request{1, frame};
            Add(request);
            const PeerAnswer answer = script_(request);
            Hold(answer.holdUntil, stop_);
            bool first = true;
            for (const QByteArray& piece : Pieces(answer)) {
                if (!first) QThread::msleep(static_cast<unsigned long>(answer.pauseMs));
                first = false;
                WriteAll(piece);
            }
            if (answer.closeAfter) {
                ::close(master_);
                master_ = -1;
                Answered();
                return;
            }
            Answered();
            continue;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0)
            buffer.append(chunk, n);
        else
            QThread::msleep(5);  // no slave open at the moment
    }
}

quint16 UnusedPort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

}  // namespace cfgtest
