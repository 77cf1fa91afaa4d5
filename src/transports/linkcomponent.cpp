#include "transports/linkcomponent.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QLocale>
#include <QThread>
#include <algorithm>

#include "transports/framing.h"
#include "transports/linkbackend.h"

namespace cfg {
namespace {

using BackendFactory = std::unique_ptr<LinkBackend> (*)();
// Indexed by link type.
constexpr BackendFactory kBackends[] = {MakeTcpBackend, MakeSerialBackend};

}  // namespace

LinkComponent::LinkComponent() = default;

LinkComponent::~LinkComponent() {
    if (backend_) backend_->Close();
}

int LinkComponent::Connect(int /*reserved*/, int linkType, const QString& connectionText) {
    if (backend_) backend_->Close();
    backend_.reset();
    linkType_ = linkType;
    connectionText_ = connectionText;
    return Open();
}

void LinkComponent::Configure(int value) {
    replyTimeoutMs_ = std::clamp(value, 1, kMaxTimeoutSteps) * kTimeoutStepMs;
}

int LinkComponent::Open() {
    if (linkType_ < 0 || linkType_ >= static_cast<int>(std::size(kBackends)))
        return Fail(kBadText, QStringLiteral("tipo de enlace desconocido: %1").arg(linkType_));
    if (!backend_) backend_ = kBackends[linkType_]();
    QString why;
    const int code = backend_->Open(connectionText_, QDeadlineTimer(kConnectTimeoutMs), why);
    if (code != kOk) return Fail(code, why);
    lastError_.clear();
    return kOk;
}

int LinkComponent::Fail(int code, const QString& why) {
    lastError_ = why;
    return code;
}

int LinkComponent::Send(const QByteArray& request) {
    if (request.isEmpty() || request.size() > kMaxFrameSize)
        return Fail(kBadRequest, QStringLiteral("petición de %1 bytes").arg(request.size()));
    if (linkType_ < 0) return Fail(kNoLink, QStringLiteral("sin conexión"));

    QIODevice* device = backend_ ? backend_->Device() : nullptr;
    // A reply still owed may arrive at any moment and must not answer this request. A device
    // opened by another thread is watched by that thread's event loop: never use it here. In
    // both cases a fresh connection, owned by this thread, is opened.
    if (device &&
        (awaiting_ || device->thread() != QThread::currentThread() || !backend_->DiscardStale())) {
        backend_->Close();
        device = nullptr;
    }
    awaiting_ = false;
    if (!device) {
        if (Open() != kOk) return kNoLink;
        device = backend_->Device();
    }

    const FrameResult result = WriteFrame(*device, request, replyTimeoutMs_, PeerGone());
    if (result != FrameResult::Ok) return Failed(result);
    awaiting_ = true;
    return kOk;
}

int LinkComponent::Receive(QByteArray& reply) {
    reply.clear();
    QIODevice* device = backend_ ? backend_->Device() : nullptr;
    if (!awaiting_ || !device)
        return Fail(kNoLink, QStringLiteral("ninguna petición espera respuesta"));
    awaiting_ = false;
    const FrameResult result = ReadFrame(*device, reply, replyTimeoutMs_, PeerGone());
    return result == FrameResult::Ok ? kOk : Failed(result);
}

PeerGoneCheck LinkComponent::PeerGone() const {
    return [this] { return backend_->PeerGone(); };
}

int LinkComponent::Failed(FrameResult result) {
    backend_->Close();
    switch (result) {
        case FrameResult::PeerGone:
            return Fail(kPeerClosed, QStringLiteral("conexión cerrada por el otro extremo"));
        case FrameResult::Timeout:
            return Fail(kReplyTimeout,
                        QStringLiteral("sin respuesta en %1 s")
                            .arg(QLocale(QLocale::Spanish).toString(replyTimeoutMs_ / 1000.0)));
        case FrameResult::TooSlow:
            return Fail(kReplyTooSlow, QStringLiteral("la respuesta no llegó entera a tiempo"));
        case FrameResult::Malformed:
            return Fail(kMalformedFrame, QStringLiteral("respuesta de longitud 0"));
        case FrameResult::WriteFailed:
        case FrameResult::Ok:
            break;
    }
    return Fail(kWriteFailed, QStringLiteral("petición no enviada"));
}

}  // namespace cfg
