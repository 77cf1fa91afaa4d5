#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "core/common/operation.h"
#include "core/editing/itemwrite.h"
#include "core/model/configmodel.h"

namespace cfg {

class ConfigModel;
class Operation;
class ScaleLink;

// What became of one item of a send.
struct SendOutcome {
    enum Kind {
        Accepted,
        Refused,     // by its scale, for `errorCode`
        Unanswered,  // no reply, or one too short to read: it may or may not be in place
        Skipped,     // not sent: value unknown, or a date that cannot be sent
        Unchanged,   // not sent: a number as read that no write could put back exactly
        Cancelled,   // not sent: the send was stopped before it
    };
    int row = -1;  // in the item table
    Kind kind = Accepted;
    int errorCode = 0;
};

// What "Enviar Todo a Balanzas" did.
struct SendSummary {
    bool confirmed = true;           // false when the user answered No
    int sent = 0;                    // items sent and accepted
    int refused = 0;                 // refused by their scale
    int unanswered = 0;              // no reply, or one too short to read
    int skipped = 0;                 // not sent: value unknown, or a date that cannot be sent
    int unchanged = 0;               // not sent, already in place
    int cancelled = 0;               // not sent: the send was stopped before them
    QStringList details;             // one line per item that was not accepted
    std::vector<SendOutcome> items;  // every editable item, in table order
    // Everything, or the changes only: as the question was answered.
    SendScope scope = SendScope::All;

    bool Clean() const { return refused == 0 && unanswered == 0 && skipped == 0 && cancelled == 0; }
    // "Envio Finalizado!!!" ("Envio Cancelado!!!" when stopped), with the counts when anything
    // went wrong.
    QString FinalCaption() const;
};

// What a string or a date goes out as (the entry's bytes after its ID, type and length); empty
// for the other types.
QByteArray SentBytes(const ItemRow& item);
// The items a send put in place hold what was sent as their value read: a later changes-only
// send leaves them out.
void StoreSent(ConfigModel& model, const SendSummary& summary);
// After a send: an accepted write holds the value sent (stored in the model as read), an
// unanswered one may or may not be in place, so its value is no longer known; the rest keep
// what they held.
std::vector<Held> HeldAfterSend(ConfigModel& model, const SendSummary& summary);

// One item a send did not put in place, as the send report lists it.
struct ReportRow {
    int row = -1;  // in the item table
    int owner = 0;
    int id = 0;
    QString text;
    QString value;
    QString what;    // "Rechazado", "Sin respuesta", "No enviado"
    QString reason;  // the scale's reason for a refusal, why an item was not sent
};
// Why an item was not put in place: the scale's reason for a refusal, why it was not sent;
// nothing for an item in place.
QString OutcomeReason(const ItemRow& item, const SendOutcome& outcome);
// The items of `summary` that were refused, unanswered, skipped or cancelled, in the order sent.
std::vector<ReportRow> SendReport(const ConfigModel& model, const SendSummary& summary);
// The report as tab-separated lines under a heading, for the clipboard and a file.
QString ReportText(const std::vector<ReportRow>& rows);

// Sends every editable item of the item table (or only the changed ones) to its owner, one
// write each, in table order, once the operation's question is answered (the answer may narrow
// the scope to the changed items). Failed or refused
// items do not stop the run; they are counted, and listed in nlog.txt when the operation keeps
// logs.
SendSummary Command2_Click(ScaleLink& link, const ConfigModel& model, Operation& op,
                           SendScope scope = SendScope::All);
// The items of `rows` (a report's, to try again) that changed, as a changes-only send sends
// them, without a question: the technician asked for exactly these.
SendSummary SendAgain(ScaleLink& link, const ConfigModel& model, Operation& op,
                      const std::vector<int>& rows);

}  // namespace cfg
