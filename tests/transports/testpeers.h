#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>
#include <vector>

#include "support/testsupport.h"

// Scale stand-ins for the link tests: they read request frames and answer as a script says,
// over loopback TCP (one connection at a time) or on the master side of a pseudo-terminal.
namespace cfgtest {

inline QByteArray Frame(const QByteArray& body) {
    return Bytes({static_cast<int>(body.size() & 0xFF), static_cast<int>(body.size() >> 8)}) + body;
}

// `size` bytes whose values run through all 256, control bytes included.
inline QByteArray Pattern(qsizetype size, int seed) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

struct PeerRequest {
    int connection = 0;  // 1 for the first connection accepted (always 1 on a pty)
    QByteArray frame;
};

struct PeerAnswer {
    QByteArray bytes;                 // written as given (Frame() for a proper reply)
    qsizetype pieceSize = 0;          // > 0: in pieces of this size ...
    int pauseMs = 0;                  // ... with this pause before each but the first
    QSemaphore* holdUntil = nullptr;  // written only once this is released
    bool closeAfter = false;          // then the connection (or the pty master) is closed
};
using PeerScript = std::function<PeerAnswer(const PeerRequest&)>;
inline PeerAnswer Echo(const PeerRequest& request) {
    return {Frame(request.frame)};
}

class Peer {
  public:
    enum Kind { Tcp, Pty };
    Peer(Kind kind, PeerScript script, quint16 tcpPort = 0) : script_(std::move(script)) {
        if (kind == Pty) {
            const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
            // Raw, or what the peer writes while the link has the port closed echoes back.
            termios mode{};
            if (master < 0 || ::tcgetattr(master, &mode) != 0 || (::cfmakeraw(&mode), false) ||
                ::tcsetattr(master, TCSANOW, &mode) != 0 || ::grantpt(master) ||
                ::unlockpt(master) ||
                ::fcntl(master, F_SETFL, O_NONBLOCK | ::fcntl(master, F_GETFL)))
                return;
            path = QString::fromLocal8Bit(::ptsname(master));
            thread_ = std::thread([this, master] {
                if (!Serve(master, 1, false)) ::close(master);
            });
            return;
        }
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{AF_INET, htons(tcpPort), {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        const int one = 1;
        if (::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) ||
            ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) ||
            ::listen(listener, 8) ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size)) {
            ::close(listener);
            return;
        }
        port = ntohs(address.sin_port);
        path = QStringLiteral("127.0.0.1:%1").arg(port);
        thread_ = std::thread([this, listener] {
            for (int connection = 1; !stop_;) {
                pollfd p{listener, POLLIN, 0};
                const int fd = ::poll(&p, 1, 20) > 0
                                   ? ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)
                                   : -1;
                if (fd >= 0 && !Serve(fd, connection++, true)) ::close(fd);
            }
            ::close(listener);
        });
    }
    ~Peer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<PeerRequest> Requests() const {
        QMutexLocker lock(&mutex_);
        return requests_;
    }
    // Waits until `count` answers in all have been written (or given up), 10 s at most.
    void WaitAnswered(int count) {
        EXPECT_TRUE(answered_.tryAcquire(count - std::exchange(waited_, count), 10000));
    }

    QString path;  // the pty's slave or HOST:PORT; empty when the peer did not start
    quint16 port = 0;

  private:
    // Answers the requests on `fd` until stopped, the other end of a socket closes, or an
    // answer closes `fd` (then true).
    bool Serve(int fd, int connection, bool socket) {
        QByteArray buffer;
        while (!stop_) {
            const qsizetype size =
                buffer.size() < 2 ? -1 : (uchar(buffer[0]) | uchar(buffer[1]) << 8);
            if (size >= 0 && buffer.size() >= 2 + size) {
                const PeerRequest request{connection, buffer.mid(2, size)};
                buffer.remove(0, 2 + size);
                {
                    QMutexLocker lock(&mutex_);
                    requests_.push_back(request);
                }
                const PeerAnswer answer = script_(request);
                while (answer.holdUntil && !stop_ && !answer.holdUntil->tryAcquire(1, 20)) {
                }
                const qsizetype piece = answer.pieceSize > 0 ? answer.pieceSize : 65537;
                for (qsizetype at = 0; at < answer.bytes.size(); at += piece) {
                    if (at > 0) QThread::msleep(static_cast<unsigned long>(answer.pauseMs));
                    for (QByteArray left = answer.bytes.mid(at, piece);
                         !left.isEmpty() && !stop_;) {
                        const auto count = static_cast<size_t>(left.size());
                        const ssize_t n = socket ? ::send(fd, left.constData(), count, MSG_NOSIGNAL)
                                                 : ::write(fd, left.constData(), count);
                        if (n < 0 && errno != EAGAIN) break;
                        n > 0 ? void(left.remove(0, n)) : QThread::msleep(5);
                    }
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

    PeerScript script_;
    std::atomic<bool> stop_{false};
    mutable QMutex mutex_;
    std::vector<PeerRequest> requests_;
    QSemaphore answered_;
    int waited_ = 0;
    std::thread thread_;
};

inline quint16 UnusedPort() {  // bound once, then released
    return Peer(Peer::Tcp, Echo).port;
}

}  // namespace cfgtest
