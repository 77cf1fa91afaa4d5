#include "cli/json.h"

#include <QJsonDocument>
#include <map>

#include "core/editing/sendall.h"
#include "core/history/historystore.h"
#include "core/history/snapshot.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"

namespace cfg {

namespace {

QJsonValue TypeName(int type) {
    const QString name = ItemTypeName(type);
    return name.isEmpty() ? QJsonValue(type) : QJsonValue(name);  // another type: its code
}

QJsonObject ItemJson(const ItemRow& item) {
    QJsonObject json{{QStringLiteral("owner"), item.owner},
                     {QStringLiteral("id"), item.id},
                     {QStringLiteral("type"), TypeName(item.type)},
                     {QStringLiteral("value"), item.known ? QJsonValue(item.value) : QJsonValue()},
                     {QStringLiteral("editable"), item.order < kFirstReadOnlyOrder}};
    if (item.type == kEnumeration)
        json.insert(QStringLiteral("options"), QJsonArray::fromStringList(item.options));
    return json;
}

QString OutcomeName(SendOutcome::Kind kind) {
    switch (kind) {
        case SendOutcome::Accepted:
            return QStringLiteral("accepted");
        case SendOutcome::Refused:
            return QStringLiteral("refused");
        case SendOutcome::Unanswered:
            return QStringLiteral("unanswered");
        case SendOutcome::Skipped:
            return QStringLiteral("skipped");
        case SendOutcome::Unchanged:
            return QStringLiteral("unchanged");
        case SendOutcome::Cancelled:
            return QStringLiteral("cancelled");
    }
    return {};
}

QString OutcomeName(ItemProgrammer::Outcome outcome) {
    switch (outcome) {
        case ItemProgrammer::Outcome::Invalid:
            return QStringLiteral("invalid");
        case ItemProgrammer::Outcome::Failed:
            return QStringLiteral("failed");
        case ItemProgrammer::Outcome::Refused:
            return QStringLiteral("refused");
        case ItemProgrammer::Outcome::Accepted:
            return QStringLiteral("accepted");
    }
    return {};
}

}  // namespace

void WriteJson(std::FILE* out, const QJsonObject& document) {
    const QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
}

QJsonArray TreeJson(const ConfigModel& model) {
    std::map<int, const ScaleEntry*> scales;  // the first of a number the network lists twice
    for (const ScaleEntry& scale : model.Scales()) scales.emplace(scale.number, &scale);
    const auto node = [&](int index, const auto& self) -> QJsonObject {
        const TreeNode& n = model.Node(index);
        QJsonObject json;
        if (IsItemKind(n.kind) && n.row >= 0) {
            json = ItemJson(model.Items()[n.row]);
        } else if (n.kind == NodeKind::Scale) {
            json.insert(QStringLiteral("scale"), n.owner);
            if (const auto scale = scales.find(n.owner); scale != scales.end()) {
                json.insert(QStringLiteral("mostrador"), scale->second->mostrador);
                json.insert(QStringLiteral("mac"), scale->second->mac);
            }
        }
        json.insert(QStringLiteral("text"), n.text);
        if (!n.children.empty()) {
            QJsonArray children;
            for (int child : n.children) children.append(self(child, self));
            json.insert(QStringLiteral("children"), children);
        }
        return json;
    };
    QJsonArray roots;
    for (int n = 0; n < static_cast<int>(model.Nodes().size()); ++n)
        if (model.Node(n).parent < 0) roots.append(node(n, node));
    return roots;
}

QJsonArray ChangesJson(const std::vector<ValueChange>& changes) {
    QJsonArray json;
    for (const ValueChange& c : changes)
        json.append(QJsonObject{{QStringLiteral("owner"), c.owner},
                                {QStringLiteral("id"), c.id},
                                {QStringLiteral("text"), c.text},
                                {QStringLiteral("before"), c.before},
                                {QStringLiteral("after"), c.after}});
    return json;
}

QJsonObject SendJson(const ConfigModel& model, const SendSummary& summary) {
    QJsonArray items;
    for (const SendOutcome& outcome : summary.items) {
        const ItemRow& item = model.Items()[outcome.row];
        QJsonObject json{{QStringLiteral("owner"), item.owner},
                         {QStringLiteral("id"), item.id},
                         {QStringLiteral("text"), item.text},
                         {QStringLiteral("value"), item.value},
                         {QStringLiteral("outcome"), OutcomeName(outcome.kind)}};
        if (outcome.kind == SendOutcome::Refused)
            json.insert(QStringLiteral("code"), outcome.errorCode);
        if (const QString reason = OutcomeReason(item, outcome); !reason.isEmpty())
            json.insert(QStringLiteral("reason"), reason);
        items.append(json);
    }
    QJsonObject json{{QStringLiteral("accepted"), summary.sent},
                     {QStringLiteral("refused"), summary.refused},
                     {QStringLiteral("unanswered"), summary.unanswered},
                     {QStringLiteral("skipped"), summary.skipped},
                     {QStringLiteral("unchanged"), summary.unchanged},
                     {QStringLiteral("items"), items}};
    // Only a send that was stopped says so: every other document keeps its shape.
    if (summary.cancelled > 0) json.insert(QStringLiteral("cancelled"), summary.cancelled);
    return json;
}

QJsonObject ProgrammedJson(const ConfigModel& model, const ItemRow& item, const QJsonValue& before,
                           const ItemProgrammer::Result& result, SetCheck check) {
    const QString outcome = check == SetCheck::Unchanged     ? QStringLiteral("unchanged")
                            : check == SetCheck::WouldChange ? QStringLiteral("would-change")
                                                             : OutcomeName(result.outcome);
    QJsonObject json{
        {QStringLiteral("owner"), item.owner}, {QStringLiteral("id"), item.id},
        {QStringLiteral("text"), item.text},   {QStringLiteral("before"), before},
        {QStringLiteral("value"), item.value}, {QStringLiteral("node"), model.NodeText(item.key)},
        {QStringLiteral("outcome"), outcome}};
    if (check == SetCheck::Sent && result.outcome == ItemProgrammer::Outcome::Refused) {
        json.insert(QStringLiteral("code"), result.errorCode);
        json.insert(QStringLiteral("reason"), protocol::RefusalReason(result.errorCode));
    }
    return json;
}

QJsonArray SnapshotsJson(const std::vector<SnapshotInfo>& snapshots) {
    QJsonArray json;
    for (const SnapshotInfo& s : snapshots)
        json.append(QJsonObject{
            {QStringLiteral("id"), s.id},
            {QStringLiteral("time"), s.time.toString(Qt::ISODate)},
            {QStringLiteral("cause"), CauseName(s.cause)},
            {QStringLiteral("send"), s.send ? QJsonValue(SendKindName(*s.send)) : QJsonValue()},
            {QStringLiteral("connection"), s.connection},
            {QStringLiteral("network"), s.network},
            {QStringLiteral("scales"), s.scales},
            {QStringLiteral("known"), s.known}});
    return json;
}

}  // namespace cfg
