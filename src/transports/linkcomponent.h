#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "core/link/scalelink.h"
#include "transports/framing.h"

namespace cfg {

class LinkBackend;

// The scale link over TCP/IP (link type 0, text `HOST:PORT`) or RS-232 (link type 1, text
// `SPEED,PARITY,BITS,PORT`); the texts are described in transports/connectiontext.h. Both
// carry the frames of transports/framing.h.
//
// Configure(n): the reply timeout becomes n x 200 ms, n clamped to 1..25 (so 200 ms to 5 s).
// Without Configure it is 3 s, as after Configure(15). It is an inactivity timeout: it starts
// again with every byte that moves, so a long reply on a slow line is not cut short, while a
// silent or dead peer holds Receive no longer than that time (plus, for Send, the connect time
// when it has to reopen the link first). A peer that trickles its reply just inside that time
// is bounded by ReplyTimeBound: a 20-byte reply ends within 10.2 s, a 65,535-byte one 665 s.
//
// After any failed exchange the connection is closed (a serial port is flushed and closed) and
// opened again with the same text at the next Send, so a late reply to an abandoned
// request can never be read as the answer to a later one, and a scale that restarted is
// reachable again. A failed Connect is retried the same way, with its text, by the next
// Send. So is a Send made while the previous reply is still owed.
//
// Serial settings that a port refuses make Connect fail with kSettingRefused (the port is
// closed again). On a pseudo-terminal, which has no line to set and refuses parity and 7 data
// bits, settings that cannot be applied are ignored so that a peer simulated on a pty works.
//
// Threading: one thread at a time. A socket or serial port belongs to the thread that opened
// it, so the desktop program runs its long operations on a worker thread that owns the link
// (opens it and transacts on it). When Send is called from another thread than the one
// that opened the device, the device is closed and opened again in the calling thread.
class LinkComponent final : public ScaleLink {
  public:
    static constexpr int kTimeoutStepMs = 200;
    static constexpr int kDefaultTimeoutSteps = 15;
    static constexpr int kMaxTimeoutSteps = 25;
    static constexpr int kConnectTimeoutMs = 5000;

    LinkComponent();
    ~LinkComponent() override;
    LinkComponent(const LinkComponent&) = delete;
    LinkComponent& operator=(const LinkComponent&) = delete;

    // `reserved` is ignored. Closes any open link first; the text is kept for the reopen at the
    // next Send even when this fails.
    int Connect(int reserved, int linkType, const QString& connectionText) override;
    void Configure(int value) override;
    int Send(const QByteArray& request) override;
    int Receive(QByteArray& reply) override;

    int replyTimeoutMs() const { return replyTimeoutMs_; }
    // Why the last Connect, reopen or exchange failed, for logs and diagnostics.
    QString LastError() const override { return lastError_; }

  private:
    int Open();
    int Fail(int code, const QString& why);
    // Closes the link after a failed frame and returns the code for `result`.
    int Failed(FrameResult result);
    PeerGoneCheck PeerGone() const;

    int linkType_ = -1;
    QString connectionText_;
    std::unique_ptr<LinkBackend> backend_;
    int replyTimeoutMs_ = kDefaultTimeoutSteps * kTimeoutStepMs;
    QString lastError_;
    bool awaiting_ = false;  // a request went out and its reply is not read yet
};

}  // namespace cfg
