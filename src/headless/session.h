#pragma once

#include <QString>
#include <cstdio>
#include <memory>

#include "core/editing/sendall.h"
#include "core/history/historystore.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "headless/console.h"
#include "transports/linkcomponent.h"

// What the command-line tool and the desktop program's batch mode share: one session with the
// network, read whole and then worked on with the routines the windows use, and the statuses
// it ends with.
namespace cfg {

// Exit statuses of the headless front ends.
enum ExitStatus {
    kExitOk = 0,       // everything done and accepted
    kExitItems = 1,    // some item refused, failed or skipped; or differences found
    kExitUsage = 2,    // the command line is wrong
    kExitNetwork = 3,  // the connection or the network read failed
    kExitFile = 4,     // a file is missing, unreadable or not valid
    kExitPartial = 5,  // the network was read only in part
};

// The status of a command to which two of the above apply: the first of 3, 4, 2, 5, 1, 0.
int WorstStatus(int a, int b);

// Where the snapshots of a run go.
struct HistoryOption {
    bool record = true;
    QString path;  // empty: history.db in the program folder
};
// The database a run uses.
QString HistoryPath(const QString& programFolder, const HistoryOption& option);

// Messages and progress go to `err` (only failures, refusals and warnings when `quiet`); logs to
// `programFolder`, the program's own when empty.
// What the network holds is recorded in the history after the read, an accepted item and a
// send; a history that cannot be written is said on `err` once, and the session goes on.
class Session {
  public:
    explicit Session(std::FILE* err, const QString& programFolder = {}, HistoryOption history = {},
                     bool quiet = false);
    ~Session();

    // Connects and reads; an exit status other than kExitOk when that failed or was cancelled
    // (then kExitPartial once the system's structure was read). A quiet connection failure says
    // nothing. What the read left unread is said on `err`.
    int Open(int linkType, const QString& text, bool quietConnect = false);

    // Loads a configuration file as the open window does, each of its lines given to `lines`
    // (when there is one); kExitOk, or kExitFile when it could not be read or held no
    // configuration.
    int Load(const QString& path, const LineSink& lines);

    // Sends everything (or only what changed) without asking; the items not accepted are
    // listed, and what became of each item is kept in `summary` when given. The history records
    // the send as `kind`, by default as its scope. kExitOk or kExitItems.
    int SendAll(SendScope scope = SendScope::All, SendSummary* summary = nullptr,
                std::optional<SendKind> kind = {});

    // An item was programmed and accepted: the network now holds it.
    void Programmed();

    // A command's status once the read has had its say: a partial read is never success.
    int Finish(int status) const;

    ConfigModel& model() { return model_; }
    Operation& op() { return op_; }
    ScaleLink& link() { return link_; }

  private:
    void Record(SnapshotCause cause, const std::vector<Held>& held,
                std::optional<SendKind> send = {});

    QString folder_;
    LinkComponent link_;
    ConfigModel model_;
    TrafficLog log_;
    ConsoleOperation op_;
    std::FILE* err_;
    std::unique_ptr<HistoryRecorder> history_;  // none when nothing is recorded
};

// The desktop program's unattended run: connects over TCP/IP with `connection`, reads the
// network, loads `file` into it and sends the whole configuration. Everything is told on `err`.
int RunBatch(const QString& connection, const QString& file, std::FILE* err);

// The argument string counts as a batch request: not blank and longer than 23 characters.
bool IsBatchRequest(const QString& arguments);

}  // namespace cfg
