#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/history/snapshot.h"

class QSqlDatabase;

namespace cfg {

class ConfigModel;

struct SnapshotInfo {
    qint64 id = 0;   // grows with every snapshot
    QDateTime time;  // UTC, to the second
    SnapshotCause cause = SnapshotCause::Read;
    QString connection;  // in its normal form
    int scales = 0;
    int items = 0;
    int known = 0;  // items with a known value
};

// The history of what the networks held: an SQLite database of snapshots, each recorded in one
// transaction, so that a failed write never takes anything from the snapshots before it. Parts
// that earlier snapshots already hold are not stored again. One store is used by the thread
// that opened it.
class HistoryStore {
  public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database at `path`, created when missing. A damaged one is moved aside as
    // `path` + ".damaged" and a new one started, which TakeNotice then says. False, with the
    // reason, when it cannot be opened (locked, unwritable, or of a newer version).
    bool Open(const QString& path, QString* error);
    // What the store did on its own since last asked (a damaged database moved aside).
    QString TakeNotice() { return std::exchange(notice_, {}); }

    // Records a snapshot of `model`, every row holding `held`, taken now (or at `time`).
    std::optional<qint64> Record(SnapshotCause cause, const QString& connection,
                                 const ConfigModel& model, const std::vector<Held>& held,
                                 QString* error, const QDateTime& time = {});

    // The snapshots, oldest first; only those of `connection` when it is not empty.
    std::optional<std::vector<SnapshotInfo>> List(const QString& connection, QString* error);
    // The last snapshot of `connection`; nothing when it has none (and `error` stays empty).
    std::optional<SnapshotInfo> Latest(const QString& connection, QString* error);
    // A snapshot's information and the model it was taken of. Nothing when there is no
    // snapshot `id` (and `error` stays empty) or it cannot be read.
    std::optional<SnapshotInfo> Load(qint64 id, ConfigModel& model, QString* error);

  private:
    bool OpenFile(QString* error, bool* damaged);
    void Close();
    QSqlDatabase Db() const;
    // The bytes of the parts flagged, by index.
    using PartBytes = std::function<std::vector<QByteArray>(const std::vector<bool>&)>;
    std::optional<qint64> RecordOnce(SnapshotCause cause, const QString& connection,
                                     const SnapshotParts& parts, const PartBytes& bytesOf,
                                     const QDateTime& time, QString* error, bool* damaged);

    QString name_;  // of the Qt SQL connection, one per store
    QString path_;
    QString notice_;
    bool open_ = false;
};

// The program's own history in `folder`.
QString HistoryFileIn(const QString& folder);

// The snapshots of one run, into the database at `path`, opened at the first. A history that
// cannot be used never stops the run: what went wrong is returned to be said, once for a
// database that cannot be opened (nothing is recorded after that).
class HistoryRecorder {
  public:
    explicit HistoryRecorder(QString path) : path_(std::move(path)) {}
    void SetConnection(const QString& normal) { connection_ = normal; }
    const QString& Connection() const { return connection_; }
    // What to tell the user; empty when the snapshot went in and nothing else happened.
    QString Record(SnapshotCause cause, const ConfigModel& model, const std::vector<Held>& held);
    // The store, opened at the first use; none, with what to tell, when it cannot be.
    HistoryStore* Store(QString* said);

  private:
    QString path_;
    QString connection_;
    std::unique_ptr<HistoryStore> store_;
    bool failed_ = false;
};

}  // namespace cfg
