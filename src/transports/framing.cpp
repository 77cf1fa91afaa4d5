#include "transports/framing.h"

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QSerialPort>

namespace cfg {
namespace {

int Remaining(const QDeadlineTimer& deadline) {
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

FrameResult ReadExactly(QIODevice& device, qsizetype size, QByteArray& out, int inactivityMs,
                        const QDeadlineTimer& total, const PeerGoneCheck& peerGone) {
    out.clear();
    out.reserve(size);
    QDeadlineTimer silence(inactivityMs);
    while (out.size() < size) {
        if (device.bytesAvailable() <= 0) {
            if (total.hasExpired()) return FrameResult::TooSlow;
            if (silence.hasExpired()) return FrameResult::Timeout;
            const bool totalFirst = total.deadline() < silence.deadline();
            if (!device.waitForReadyRead(Remaining(totalFirst ? total : silence))) {
                if (peerGone()) return FrameResult::PeerGone;
                return totalFirst ? FrameResult::TooSlow : FrameResult::Timeout;
            }
            continue;
        }
        const QByteArray chunk = device.read(size - out.size());
        if (chunk.isEmpty()) return peerGone() ? FrameResult::PeerGone : FrameResult::Timeout;
        out.append(chunk);
        silence.setRemainingTime(inactivityMs);
    }
    return FrameResult::Ok;
}

}  // namespace

FrameResult WriteFrame(QIODevice& device, const QByteArray& frame, int inactivityMs,
                       const PeerGoneCheck& peerGone) {
    Q_ASSERT(!frame.isEmpty() && frame.size() <= kMaxFrameSize);
    QByteArray wire;
    wire.reserve(frame.size() + 2);
    wire.append(static_cast<char>(frame.size() & 0xFF));
    wire.append(static_cast<char>((frame.size() >> 8) & 0xFF));
    wire.append(frame);
    if (device.write(wire) != wire.size()) return FrameResult::WriteFailed;
    // Hand the frame to the system at once; only what it could not take yet is waited for.
    if (auto* socket = qobject_cast<QAbstractSocket*>(&device)) {
        socket->flush();
    } else if (auto* port = qobject_cast<QSerialPort*>(&device)) {
        port->flush();
    }

    QDeadlineTimer silence(inactivityMs);
    qint64 pending = device.bytesToWrite();
    while (pending > 0) {
        if (silence.hasExpired() || !device.waitForBytesWritten(Remaining(silence)))
            return peerGone() ? FrameResult::PeerGone : FrameResult::WriteFailed;
        const qint64 now = device.bytesToWrite();
        if (now < pending) silence.setRemainingTime(inactivityMs);
        pending = now;
    }
    return FrameResult::Ok;
}

FrameResult ReadFrame(QIODevice& device, QByteArray& frame, int inactivityMs,
                      const PeerGoneCheck& peerGone, ReplyTimeBound bound) {
    frame.clear();
    const QDeadlineTimer start(0);
    QDeadlineTimer total(bound.baseMs);
    QByteArray header;
    FrameResult result = ReadExactly(device, 2, header, inactivityMs, total, peerGone);
    if (result != FrameResult::Ok) return result;
    const qsizetype size = static_cast<quint8>(header[0]) | (static_cast<quint8>(header[1]) << 8);
    if (size == 0) return FrameResult::Malformed;
    total.setDeadline(start.deadline() + bound.baseMs + size * bound.perHundredBytesMs / 100);
    result = ReadExactly(device, size, frame, inactivityMs, total, peerGone);
    if (result != FrameResult::Ok) frame.clear();
    return result;
}

}  // namespace cfg
