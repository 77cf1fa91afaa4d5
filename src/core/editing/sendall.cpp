#include "editing/sendall.h"

#include "common/messages.h"
#include "common/progress.h"
#include "editing/itemwrite.h"
#include "files/configsave.h"
#include "link/trafficlog.h"
#include "model/configmodel.h"

namespace cfg {

QString SendSummary::FinalCaption() const {
    const QString done = QStringLiteral("Envio Finalizado!!!");
    if (Clean()) return done;
    return done + QStringLiteral(" Rechazados: %1, sin respuesta: %2, no enviados: %3")
                      .arg(refused)
                      .arg(unanswered)
                      .arg(skipped);
}

SendSummary Command2_Click(ScaleLink& link, const ConfigModel& model, Progress& progress,
                           Messages& messages, bool ask, TrafficLog* log, const Pause& pause) {
    SendSummary summary;
    progress.Begin(QStringLiteral("Enviando..."));
    if (ask && !messages.Ask(QStringLiteral("Se enviarán todas las configuraciones a "
                                            "balanzas.¿Está seguro?"),
                             Icon::Question)) {
        summary.confirmed = false;
        progress.EndShowing(QStringLiteral("Enviando..."));
        return summary;
    }

    for (const ItemRow& item : model.Items()) {
        if (item.order >= kFirstReadOnlyOrder) continue;
        const QString name = item.owner == 0
                                 ? QStringLiteral("sistema : %1").arg(item.id)
                                 : QStringLiteral("balanza %1 : %2").arg(item.owner).arg(item.id);
        const auto note = [&](const QString& what) {
            summary.details.append(QStringLiteral("Item %1 (%2): %3").arg(name, item.text, what));
        };
        // Never read and never loaded: sending would program 0 or an empty text.
        if (!item.known) {
            ++summary.skipped;
            note(QStringLiteral("valor desconocido, no enviado"));
            continue;
        }
        // The date would be announced with six characters and sent with fewer.
        if (item.type == kDate && item.value.size() != 8) {
            ++summary.skipped;
            note(QStringLiteral("fecha no válida, no enviada"));
            continue;
        }
        progress.Caption(QStringLiteral("Envío Item ") + name);
        const QByteArray request =
            WriteRequest(item.owner, {ItemEntry(item.id, item.type, item.value)});
        const WriteReply reply = ExchangeWrite(link, request, IsGroupItem(item.id), pause);
        if (!reply.answered) {
            ++summary.unanswered;
            note(QStringLiteral("sin respuesta"));
        } else if (reply.accepted <= 0) {
            ++summary.refused;
            note(QStringLiteral("rechazado: ") + RefusalReason(reply.errorCode));
        } else {
            ++summary.sent;
        }
    }
    if (log) {
        for (const QString& line : summary.details) log->Escribe_NLog(line);
        log->Flush();
    }
    progress.EndShowing(summary.FinalCaption());
    return summary;
}

}  // namespace cfg
