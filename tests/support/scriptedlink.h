#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

#include "link/scalelink.h"

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
    int Transact(const QByteArray& request, QByteArray& reply) override {
        requests.append(request);
        const Answer answer = responder_ ? responder_(request) : Answer{1, {}};
        reply = answer.reply;
        return answer.result;
    }

    QList<QByteArray> requests;

  private:
    Responder responder_;
};

}  // namespace cfgtest
