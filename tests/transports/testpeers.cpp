#include "transports/testpeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <QThread>
#include <cerrno>

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

std::vector<PeerRequest> PeerLog::Requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

void PeerLog::WaitAnswered(int count) {
    answered_.acquire(count - waited_);
    waited_ = count;
}

void PeerLog::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
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

// The descriptors are non-blocking; a socket whose reader left must not raise SIGPIPE.
void WriteAll(int fd, bool socket, const QByteArray& bytes, const std::atomic<bool>& stop) {
    qsizetype at = 0;
    while (at < bytes.size() && !stop) {
        const char* from = bytes.constData() + at;
        const auto size = static_cast<size_t>(bytes.size() - at);
        const ssize_t n = socket ? ::send(fd, from, size, MSG_NOSIGNAL) : ::write(fd, from, size);
        if (n > 0) {
            at += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 20);
    }
}

}  // namespace

bool PeerLog::Serve(int fd, int connection, bool socket) {
    QByteArray buffer;
    while (!stop_) {
        QByteArray frame;
        if (TakeFrame(buffer, frame)) {
            const PeerRequest request{connection, frame};
            {
                QMutexLocker lock(&mutex_);
                requests_.push_back(request);
            }
            const PeerAnswer answer = script_(request);
            while (answer.holdUntil && !stop_ && !answer.holdUntil->tryAcquire(1, 20)) {
            }
            const qsizetype piece = answer.pieceSize > 0 ? answer.pieceSize : answer.bytes.size();
            for (qsizetype at = 0; at < answer.bytes.size(); at += piece) {
                if (at > 0) QThread::msleep(static_cast<unsigned long>(answer.pauseMs));
                WriteAll(fd, socket, answer.bytes.mid(at, piece), stop_);
            }
            if (answer.closeAfter) ::close(fd);
            answered_.release();
            if (answer.closeAfter) return true;
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0)
            buffer.append(chunk, n);
        else if (socket && (n == 0 || errno != EAGAIN))
            return false;  // the link closed the connection
        else
            QThread::msleep(5);  // no slave open at the moment
    }
    return false;
}

TcpPeer::TcpPeer(PeerScript script, quint16 port) : PeerLog(std::move(script)) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int one = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t size = sizeof address;
    if (listener < 0) return;
    if (::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) || ::listen(listener, 8) ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size)) {
        ::close(listener);
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, listener] {
        for (int connection = 1; !stop_;) {
            pollfd p{listener, POLLIN, 0};
            const int fd =
                ::poll(&p, 1, 20) > 0 ? ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK) : -1;
            if (fd >= 0 && !Serve(fd, connection++, true)) ::close(fd);
        }
        ::close(listener);
    });
}

PtyPeer::PtyPeer(PeerScript script) : PeerLog(std::move(script)) {
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
    // The thread owns the master from here on: an answer may close it.
    thread_ = std::thread([this, fd = master_] {
        if (!Serve(fd, 1, false)) ::close(fd);
    });
}

quint16 UnusedPort() {
    TcpPeer bound(Echo);
    return bound.port();
}

}  // namespace cfgtest
