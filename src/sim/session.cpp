#include "sim/session.h"

namespace cfg::sim {

Session::Session(Engine& engine, FaultOptions faults, Transport transport, QObject* parent)
    : QObject(parent),
      engine_(engine),
      faults_(std::move(faults)),
      transport_(std::move(transport)) {
    resync_.setSingleShot(true);
    resync_.setInterval(kResyncMs);
    connect(&resync_, &QTimer::timeout, this, [this] { buffer_.clear(); });
}

void Session::Feed(const QByteArray& bytes) {
    buffer_.append(bytes);
    qsizetype pos = 0;
    while (buffer_.size() - pos >= 2) {
        const int length = static_cast<std::uint8_t>(buffer_[pos]) |
                           static_cast<std::uint8_t>(buffer_[pos + 1]) << 8;
        // A zero length announces no frame: nothing to answer.
        if (length > 0 && buffer_.size() - pos - 2 < length) break;
        const QByteArray frame = buffer_.mid(pos + 2, length);
        pos += 2 + length;
        if (length > 0) HandleFrame(frame);
    }
    buffer_.remove(0, pos);
    if (buffer_.isEmpty())
        resync_.stop();
    else
        resync_.start();
}

void Session::HandleFrame(const QByteArray& frame) {
    ++received_;
    const bool dropped = faults_.dropAfter >= 0 && received_ > faults_.dropAfter;
    if (closing_ || faults_.closeAfter == 0 || dropped) {
        engine_.RecordRequest(frame);
        if (!closing_) {
            closing_ = true;
            transport_.close();
        }
        return;
    }
    const bool silentNow =
        faults_.silentEvery > 0 && (engine_.RequestCount() + 1) % faults_.silentEvery == 0;
    if ((faults_.silentAfter >= 0 && received_ > faults_.silentAfter) || silentNow) {
        engine_.RecordRequest(frame);
        return;
    }
    const QByteArray reply = engine_.HandleRequest(frame);
    const bool closeAfter = faults_.closeAfter > 0 && received_ >= faults_.closeAfter;
    closing_ = closeAfter;
    Deliver(reply, closeAfter);
}

void Session::Deliver(const QByteArray& reply, bool closeAfter) {
    QByteArray framed;
    framed.reserve(reply.size() + 2);
    framed.append(static_cast<char>(reply.size() & 0xFF));
    framed.append(static_cast<char>((reply.size() >> 8) & 0xFF));
    framed.append(reply);
    const auto send = [this, framed, closeAfter] {
        transport_.send(framed);
        if (closeAfter) transport_.close();
    };
    if (faults_.latencyMs > 0)
        QTimer::singleShot(faults_.latencyMs, this, send);
    else
        send();
}

}  // namespace cfg::sim
