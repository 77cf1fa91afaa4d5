#include "core/editing/sendall.h"

#include <algorithm>
#include <functional>

#include "core/common/basic.h"
#include "core/common/operation.h"
#include "core/editing/itemwrite.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"
#include "core/protocol/tools.h"

namespace cfg {

QString SendSummary::FinalCaption() const {
    const QString done = cancelled > 0 ? QStringLiteral("Envio Cancelado!!!")
                                       : QStringLiteral("Envio Finalizado!!!");
    if (Clean()) return done;
    return done + QStringLiteral(" Rechazados: %1, sin respuesta: %2, no enviados: %3")
                      .arg(refused)
                      .arg(unanswered)
                      .arg(skipped + cancelled);
}

QByteArray SentBytes(const ItemRow& item) {
    return item.type == kString || item.type == kDate ? EntryOf(item).mid(4) : QByteArray();
}

void StoreSent(ConfigModel& model, const SendSummary& summary) {
    for (const SendOutcome& outcome : summary.items) {
        if (outcome.kind != SendOutcome::Accepted) continue;
        ItemRow& item = model.Item(outcome.row);
        StoreAccepted(item, item.value, SentBytes(item));
    }
}

std::vector<Held> HeldAfterSend(ConfigModel& model, const SendSummary& summary) {
    StoreSent(model, summary);
    std::vector<Held> held = HeldByNetwork(model);
    for (const SendOutcome& outcome : summary.items)
        if (outcome.kind == SendOutcome::Unanswered) held[outcome.row] = {};
    return held;
}

QString OutcomeReason(const ItemRow& item, const SendOutcome& outcome) {
    switch (outcome.kind) {
        case SendOutcome::Refused:
            return protocol::RefusalReason(outcome.errorCode);
        case SendOutcome::Unanswered:
            return QStringLiteral("puede o no haberse aplicado");
        case SendOutcome::Skipped:
            return !item.known ? QStringLiteral("valor desconocido")
                               : QStringLiteral("fecha no válida");
        case SendOutcome::Cancelled:
            return QStringLiteral("envío cancelado");
        case SendOutcome::Accepted:
        case SendOutcome::Unchanged:
            break;
    }
    return {};
}

std::vector<ReportRow> SendReport(const ConfigModel& model, const SendSummary& summary) {
    std::vector<ReportRow> rows;
    for (const SendOutcome& outcome : summary.items) {
        const ItemRow& item = model.Items()[outcome.row];
        QString what;
        switch (outcome.kind) {
            case SendOutcome::Refused:
                what = QStringLiteral("Rechazado");
                break;
            case SendOutcome::Unanswered:
                what = QStringLiteral("Sin respuesta");
                break;
            case SendOutcome::Skipped:
            case SendOutcome::Cancelled:
                what = QStringLiteral("No enviado");
                break;
            case SendOutcome::Accepted:
            case SendOutcome::Unchanged:
                continue;
        }
        // An enumeration by its option's text, as the tree shows it.
        const QString value =
            item.type == kEnumeration ? ShownValue(item).value_or(item.value) : item.value;
        rows.push_back({outcome.row, item.owner, item.id, item.text, value, what,
                        OutcomeReason(item, outcome)});
    }
    return rows;
}

QString ReportText(const std::vector<ReportRow>& rows) {
    QStringList lines{QStringLiteral("Dueño\tItem\tTexto\tValor\tResultado\tMotivo")};
    for (const ReportRow& r : rows)
        lines.append(QStringList{QString::number(r.owner), QString::number(r.id), r.text, r.value,
                                 r.what, r.reason}
                         .join(u'\t'));
    return lines.join(u'\n') + u'\n';
}

namespace {

// The send of the rows `inScope` takes, in table order, once the question is answered.
SendSummary SendItems(ScaleLink& link, const ConfigModel& model, Operation& op, SendScope scope,
                      const std::function<bool(int row)>& inScope) {
    SendSummary summary;
    summary.scope = scope;
    op.Begin(QStringLiteral("Enviando..."));
    const auto& rows = model.Items();
    int total = 0;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) total += inScope(row) ? 1 : 0;
    int done = 0;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const ItemRow& item = rows[row];
        if (!inScope(row)) continue;
        op.Progress(done++, total, Counted::Items);
        const QString name = item.owner == 0
                                 ? QStringLiteral("sistema : %1").arg(item.id)
                                 : QStringLiteral("balanza %1 : %2").arg(item.owner).arg(item.id);
        const auto outcome = [&](SendOutcome::Kind kind, int& count, const QString& what = {},
                                 int errorCode = 0) {
            ++count;
            summary.items.push_back({row, kind, errorCode});
            if (!what.isEmpty())
                summary.details.append(
                    QStringLiteral("Item %1 (%2): %3").arg(name, item.text, what));
        };
        if (op.Cancelled()) {
            outcome(SendOutcome::Cancelled, summary.cancelled,
                    QStringLiteral("envío cancelado, no enviado"));
            continue;
        }
        // Never read and never loaded: sending would program 0 or an empty text.
        if (!item.known) {
            outcome(SendOutcome::Skipped, summary.skipped,
                    QStringLiteral("valor desconocido, no enviado"));
            continue;
        }
        // The date would be announced with six characters and sent with fewer.
        if (item.type == kDate && item.value.size() != 8) {
            outcome(SendOutcome::Skipped, summary.skipped,
                    QStringLiteral("fecha no válida, no enviada"));
            continue;
        }
        // A number read in units it is not whole in would be written rounded; as read, it is
        // in place already.
        if (item.type == kNumber && !Changed(item)) {
            const double number = LeadingNumber(item.value);
            if (RoundHalfEven(number) != number) {
                outcome(SendOutcome::Unchanged, summary.unchanged);
                continue;
            }
        }
        op.Caption(QStringLiteral("Envío Item ") + name);
        const QByteArray request = protocol::WriteRequest(item.owner, {EntryOf(item)});
        const WriteReply reply = ExchangeWrite(link, request, protocol::IsGroupItem(item.id), op);
        if (!reply.answered) {
            outcome(SendOutcome::Unanswered, summary.unanswered, QStringLiteral("sin respuesta"));
        } else if (reply.accepted <= 0) {
            outcome(SendOutcome::Refused, summary.refused,
                    QStringLiteral("rechazado: ") + protocol::RefusalReason(reply.errorCode),
                    reply.errorCode);
        } else {
            outcome(SendOutcome::Accepted, summary.sent);
        }
    }
    op.Progress(total, total, Counted::Items);
    if (TrafficLog* log = op.Log()) {
        for (const QString& line : summary.details) log->Escribe_NLog(line);
        log->Flush();
    }
    op.EndShowing(summary.FinalCaption());
    return summary;
}

bool Editable(const ItemRow& item) {
    return item.order < kFirstReadOnlyOrder;
}

}  // namespace

SendSummary Command2_Click(ScaleLink& link, const ConfigModel& model, Operation& op,
                           SendScope scope) {
    const std::optional<SendScope> answer =
        op.AskSend(QStringLiteral("Se enviarán todas las configuraciones a balanzas.¿Está seguro?"),
                   ChangedItems(model), scope);
    // Nothing is being sent until the answer says so.
    if (!answer) {
        SendSummary summary;
        summary.confirmed = false;
        return summary;
    }
    return SendItems(link, model, op, *answer, [&](int row) {
        const ItemRow& item = model.Items()[row];
        return Editable(item) && (*answer == SendScope::All || Changed(item));
    });
}

SendSummary SendAgain(ScaleLink& link, const ConfigModel& model, Operation& op,
                      const std::vector<int>& rows) {
    std::vector<bool> asked(model.Items().size(), false);
    for (int row : rows)
        if (row >= 0 && row < static_cast<int>(asked.size())) asked[row] = true;
    return SendItems(link, model, op, SendScope::Changed, [&](int row) {
        const ItemRow& item = model.Items()[row];
        return asked[row] && Editable(item) && Changed(item);
    });
}

}  // namespace cfg
