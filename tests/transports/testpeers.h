#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSemaphore>
#include <QString>
#include <QThread>
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

// Shared bookkeeping of both peers.
class PeerLog {
  public:
    void Add(const PeerRequest& request);
    std::vector<PeerRequest> Requests() const;
    // Blocks until `count` answers have been fully written (or the peer gave up on them).
    void WaitAnswered(int count);
    void Answered() { answered_.release(); }

  private:
    mutable QMutex mutex_;
    std::vector<PeerRequest> requests_;
    QSemaphore answered_;
    int waited_ = 0;
};

// A TCP peer on 127.0.0.1 in its own QThread, using the blocking calls of QTcpServer and
// QTcpSocket. One connection at a time; a new connection is taken once the current one ends.
class TcpPeer : public QThread, public PeerLog {
  public:
    // `port` 0 picks a free port.
    explicit TcpPeer(PeerScript script, quint16 port = 0);
    ~TcpPeer() override;
    quint16 port() const { return port_; }
    bool listening() const { return port_ != 0; }

  protected:
    void run() override;

  private:
    PeerScript script_;
    quint16 requestedPort_;
    std::atomic<quint16> port_{0};
    std::atomic<bool> stop_{false};
    QSemaphore started_;
};

// A serial peer on the master side of a pseudo-terminal, in a std::thread; the link opens the
// slave, whose path is slavePath().
class PtyPeer : public PeerLog {
  public:
    explicit PtyPeer(PeerScript script);
    ~PtyPeer();
    QString slavePath() const { return slavePath_; }
    bool ok() const { return master_ >= 0; }

  private:
    void Run();
    bool WriteAll(const QByteArray& bytes);

    PeerScript script_;
    int master_ = -1;
    QString slavePath_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
quint16 UnusedPort();

}  // namespace cfgtest
