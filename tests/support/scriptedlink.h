#pragma once

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>
#include <utility>

#include "core/link/scalelink.h"
#include "core/protocol/tools.h"

namespace cfgtest {

// A link whose replies come from a function of the request; every request is recorded.
class ScriptedLink : public cfg::ScaleLink {
  public:
    struct Answer {
        int result = 0;
        QByteArray reply;
    };
    using Responder = std::function<Answer(const QByteArray& request)>;

    explicit ScriptedLink(Responder responder = {}) : responder_(std::move(responder)) {}
    void SetResponder(Responder responder) { responder_ = std::move(responder); }

    int Connect(int, int, const QString&) override { return 0; }
    void Configure(int) override {}
    // The answer is chosen when the request goes out, as a scale would; its failure shows at
    // Receive, where a link's timeouts and closed connections show.
    int Send(const QByteArray& request) override {
        if (requests.size() == failingSend) return 14;
        requests.append(request);
        pending_ = responder_ ? responder_(request) : Answer{1, {}};
        return 0;
    }
    int Receive(QByteArray& reply) override {
        if (!pending_) return 1;
        const Answer answer = *std::exchange(pending_, std::nullopt);
        reply = answer.reply;
        return answer.result;
    }

    QList<QByteArray> requests;
    qsizetype failingSend = -1;  // the Send made when `requests` holds this many fails

  private:
    Responder responder_;
    std::optional<Answer> pending_;
};

// The ten header bytes of a reply whose CR stand-in is `standIn` (CR itself: nothing to undo).
inline QByteArray ReplyHeader(int standIn = 0x0D) {
    QByteArray header("\x02\x7E\x00\x00", 4);
    header.append(static_cast<char>(standIn)).append(4, '\0').append('\x08');
    return header;
}

// A paged reply: entry count, cursor and entries, padded to the 20 bytes such a reply has.
inline QByteArray PagedAnswer(int count, int cursor, const QByteArray& data) {
    QByteArray reply =
        ReplyHeader() + cfg::Numero_A_Bytes(count, 2) + cfg::Numero_A_Bytes(cursor, 2) + data;
    if (reply.size() < 20) reply.append(20 - reply.size(), '\0');
    return reply;
}

// A write reply: the accepted count and the error code.
inline QByteArray WriteAnswer(int accepted, int code) {
    return ReplyHeader() + cfg::Numero_A_Bytes(accepted, 2) + cfg::Numero_A_Bytes(code, 2);
}

}  // namespace cfgtest
