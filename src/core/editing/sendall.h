#pragma once

#include <QString>
#include <QStringList>
#include "editing/itemwrite.h"

namespace cfg {

class ConfigModel;
class Messages;
class Progress;
class ScaleLink;
class TrafficLog;

// What "Enviar Todo a Balanzas" did.
struct SendSummary {
    bool confirmed = true;  // false when the user answered No
    int sent = 0;           // items sent and accepted
    int refused = 0;        // refused by their scale
    int unanswered = 0;     // no reply, or one too short to read
    int skipped = 0;        // not sent: value unknown, or a date that cannot be sent
    QStringList details;    // one line per item that was not accepted

    bool Clean() const { return refused == 0 && unanswered == 0 && skipped == 0; }
    // "Envio Finalizado!!!", with the counts when anything went wrong.
    QString FinalCaption() const;
};

// Sends every editable item of the item table to its owner, one write each, in table order.
// `ask` asks for confirmation first (interactive use). Failed or refused items do not stop the
// run; they are counted, and listed in nlog.txt when a log is given.
SendSummary Command2_Click(ScaleLink& link, const ConfigModel& model, Progress& progress,
                           Messages& messages, bool ask, TrafficLog* log, const Pause& pause = {});

}  // namespace cfg
