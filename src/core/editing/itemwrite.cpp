#include "editing/itemwrite.h"

#include <chrono>
#include <thread>

#include "model/configmodel.h"
#include "protocol/protocol.h"

namespace cfg {

namespace {
constexpr int kGroupPauseMs = 200;

WriteReply ExchangeOnce(ScaleLink& link, const QByteArray& request) {
    const protocol::Reply reply = protocol::Exchange(link, request, protocol::kWriteReplyMinimum);
    WriteReply result;
    result.exchanged = reply.code == 0;
    result.answered = reply.ok;
    result.reply = reply.bytes;
    if (reply.ok) {
        const protocol::WriteAnswer answer = protocol::ParseWriteReply(reply.bytes);
        result.accepted = answer.accepted;
        result.errorCode = answer.errorCode;
    }
    return result;
}
}  // namespace

QByteArray EntryOf(const ItemRow& item) {
    return protocol::ItemEntry(item.id, item.type, item.value, UnchangedBytes(item));
}

WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request, bool twice,
                         const Pause& pause) {
    if (!twice) return ExchangeOnce(link, request);
    const auto wait = [&](int ms) {
        if (pause) {
            pause(ms);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    };
    ExchangeOnce(link, request);
    wait(kGroupPauseMs);
    WriteReply second = ExchangeOnce(link, request);
    wait(kGroupPauseMs);
    return second;
}

}  // namespace cfg
