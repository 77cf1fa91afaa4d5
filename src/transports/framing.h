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

enum class FrameResult { Ok, PeerGone, Timeout, Malformed, WriteFailed };

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
// whatever follows stays in the device. A length of 0 is Malformed.
FrameResult ReadFrame(QIODevice& device, QByteArray& frame, int inactivityMs,
                      const PeerGoneCheck& peerGone);

}  // namespace cfg
