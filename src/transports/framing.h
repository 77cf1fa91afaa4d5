#pragma once

#include <QByteArray>
#include <functional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace cfg {

// Frames on the scale link, the same on every transport: two bytes holding the length N
// (1..65535, little-endian), then the N bytes. No checksum, no terminator.
inline constexpr qsizetype kMaxFrameSize = 65535;

enum class FrameResult { Ok, PeerGone, Timeout, TooSlow, Malformed, WriteFailed };

// Besides the inactivity time, a whole reply frame must arrive within `baseMs` plus
// `perHundredBytesMs` for every 100 bytes its length announces (10 s + 1 s per 100 bytes: a
// 65,535-byte reply at 1,200 baud takes about 550 s and is allowed 665 s), so a peer that
// trickles bytes just inside the inactivity time cannot hold the tool for hours.
struct ReplyTimeBound {
    int baseMs = 10000;
    int perHundredBytesMs = 1000;
};

// Both calls block on the device's own waits. `inactivityMs` is how long the other end may stay
// silent: every byte that moves starts it again, so a long frame on a slow serial line is not
// cut short while a dead peer is noticed after that time. `peerGone` is asked after a wait
// failed, to tell a vanished peer from a silent one.
using PeerGoneCheck = std::function<bool()>;

// Sends one frame; `frame` must hold 1..kMaxFrameSize bytes. A peer that stops taking bytes
// for the inactivity time gives WriteFailed.
FrameResult WriteFrame(QIODevice& device, const QByteArray& frame, int inactivityMs,
                       const PeerGoneCheck& peerGone);

// Receives one frame into `frame` (empty unless Ok). Reads exactly the frame's bytes, so
// whatever follows stays in the device. A length of 0 is Malformed; a frame slower than
// `bound` allows is TooSlow.
FrameResult ReadFrame(QIODevice& device, QByteArray& frame, int inactivityMs,
                      const PeerGoneCheck& peerGone, ReplyTimeBound bound = {});

}  // namespace cfg
