#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/editing/clone.h"
#include "core/editing/programming.h"
#include "core/editing/sendall.h"
#include "core/history/historystore.h"
#include "core/model/configmodel.h"

// What a technician does with a network, the same for every front end: read, program, send,
// load a file, clone, compare with the history and restore from it, on one model, each step
// recorded in the history as it happens. Questions and progress go through the operation
// given; what is to be said comes back in the results, and the front end decides how to say
// it. Every call runs where the link's exchanges run (the windows' worker thread).
namespace cfg {

using Changes = std::vector<ValueChange>;
using Snapshot = std::shared_ptr<const ConfigModel>;

class Workbench {
  public:
    // `historyPath` empty: nothing is recorded.
    explicit Workbench(const QString& historyPath);
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // The connection the snapshots are filed under (its normal form).
    void SetConnection(const QString& normal);

    // Every result carries what the history had to say (a store that cannot be written, a
    // damaged one moved aside); empty when nothing.
    struct ReadResult {
        Status read;  // an Error: the network or the system's structure was not read
        QString notice;
    };
    // Reads the whole network and records what it holds (a partial read as such).
    ReadResult Read(ScaleLink& link, Operation& op);

    struct SendResult {
        SendSummary summary;
        QString notice;
    };
    // Sends everything or only what changed, as the question through `op` decides; recorded as
    // `kind`, else as a restore when restored values are in the model, else by its scope.
    SendResult Send(ScaleLink& link, Operation& op, SendScope scope,
                    std::optional<SendKind> kind = {});
    // Sends again the items of the rows of a send report, without a question.
    SendResult SendAgain(ScaleLink& link, Operation& op, const std::vector<int>& rows);
    // Clones what `choice` names of scale `from` onto `to`, then sends what that changed.
    SendResult CloneAndSend(ScaleLink& link, Operation& op, int from, const std::vector<int>& to,
                            const CloneChoice& choice);
    // What such a clone would change, the model untouched.
    Changes ClonePreview(int from, const std::vector<int>& to, const CloneChoice& choice) const;

    struct ProgramResult {
        ItemProgrammer::Result result;
        QString notice;
    };
    // "Modificar Valor" on the selected item; an accepted value is recorded.
    ProgramResult Program(ScaleLink& link, Operation& op, const Selection& selection,
                          EditorInput& input);
    // An item programmed by other means was accepted: the network now holds it.
    QString Programmed();

    // Loads a configuration file into the model, its lines told through `op`; whether it held
    // any configuration data.
    Result<bool> LoadFile(const QString& path, Operation& op);

    struct HistoryList {
        std::vector<SnapshotInfo> snapshots;  // of this connection, oldest first
        QString network;                      // the network in the model now
        QString notice;
    };
    HistoryList History();
    // One snapshot's model; none, with what went wrong, when it cannot be read.
    std::pair<Snapshot, QString> LoadSnapshot(qint64 id);
    // What differs from `snapshot` in the model now, with option texts.
    Changes CompareNow(const ConfigModel& snapshot) const;
    // Puts the snapshot's values into the model (to be sent); what that changed.
    Changes Restore(const ConfigModel& snapshot);

    ConfigModel& model() { return model_; }
    const ConfigModel& model() const { return model_; }

  private:
    // `held` is worked out only when there is a history to record into.
    QString Record(SnapshotCause cause, const std::function<std::vector<Held>()>& held,
                   std::optional<SendKind> send = {});
    SendResult Finish(SendSummary summary, std::optional<SendKind> kind);

    ConfigModel model_;
    std::unique_ptr<HistoryRecorder> history_;
    bool restored_ = false;  // the model holds a snapshot's values not sent yet
};

}  // namespace cfg
