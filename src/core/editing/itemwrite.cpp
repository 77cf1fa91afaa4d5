#include "core/editing/itemwrite.h"

#include "core/common/operation.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"

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

WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request, bool twice, Operation& op) {
    if (!twice) return ExchangeOnce(link, request);
    ExchangeOnce(link, request);
    op.Pause(kGroupPauseMs);
    WriteReply second = ExchangeOnce(link, request);
    op.Pause(kGroupPauseMs);
    return second;
}

}  // namespace cfg
