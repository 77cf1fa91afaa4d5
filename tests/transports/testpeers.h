#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSemaphore>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Scale stand-ins for the link tests: they read request frames and answer as a script says.
namespace cfgtest {

// The wire form of a frame: 2-byte little-endian length, then the bytes.
QByteArray Frame(const QByteArray& body);

// A reply body of `size` bytes whose byte values run through all 256 (control bytes included).
QByteArray Pattern(qsizetype size, int seed);

struct PeerRequest {
    int connection = 0;  // 1 for the first connection the peer accepted (always 1 on a pty)
    QByteArray frame;
};

// What the peer does with one request.
struct PeerAnswer {
    QByteArray bytes;                 // written exactly as given (Frame() for a proper reply)
    qsizetype pieceSize = 0;          // > 0: written in pieces of this size ...
    int pauseMs = 0;                  // ... with this pause before each piece after the first
    QSemaphore* holdUntil = nullptr;  // written only once this is released
    bool closeAfter = false;          // then the connection is closed (TCP) / the pty master
};

using PeerScript = std::function<PeerAnswer(const PeerRequest&)>;

inline PeerAnswer Echo(const PeerRequest& request) {
    return PeerAnswer{Frame(request.frame)};
}

// What both peers share: the requests seen, and the serving of one descriptor on a thread.
class PeerLog {
  public:
    std::vector<PeerRequest> Requests() const;
    // Blocks until `count` answers have been fully written (or the peer gave up on them).
    void WaitAnswered(int count);

  protected:
    explicit PeerLog(PeerScript script) : script_(std::move(script)) {}
    void Stop();  // joins thread_; each peer's destructor calls it first
    // Answers the requests arriving on `fd` until stopped, until the other end of a socket
    // closes, or until an answer closes `fd` (then true).
    bool Serve(int fd, int connection, bool socket);

    std::atomic<bool> stop_{false};
    std::thread thread_;

  private:
    PeerScript script_;
    mutable QMutex mutex_;
    std::vector<PeerRequest> requests_;
    QSemaphore answered_;
    int waited_ = 0;
};

// A TCP peer on 127.0.0.1, one connection at a time: a new one is taken once the current ends.
class TcpPeer : public PeerLog {
  public:
    // `port` 0 picks a free port.
    explicit TcpPeer(PeerScript script, quint16 port = 0);
    ~TcpPeer() { Stop(); }
    quint16 port() const { return port_; }
    bool listening() const { return port_ != 0; }

  private:
    quint16 port_ = 0;
};

// A serial peer on the master side of a pseudo-terminal; the link opens the slave, slavePath().
class PtyPeer : public PeerLog {
  public:
    explicit PtyPeer(PeerScript script);
    ~PtyPeer() { Stop(); }
    QString slavePath() const { return slavePath_; }
    bool ok() const { return master_ >= 0; }

  private:
    int master_ = -1;
    QString slavePath_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
quint16 UnusedPort();

}  // namespace cfgtest
