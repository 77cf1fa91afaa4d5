#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/common/result.h"
#include "core/history/snapshot.h"

class QSqlDatabase;
class QVariant;

namespace cfg {

class ConfigModel;

struct SnapshotInfo {
    qint64 id = 0;   // grows with every snapshot
    QDateTime time;  // UTC, to the second
    SnapshotCause cause = SnapshotCause::Read;
    std::optional<SendKind> send;  // what a send sent
    QString connection;            // in its normal form
    QString network;               // NetworkFingerprint of its scale list
    int scales = 0;
    int items = 0;
    int known = 0;  // items with a known value
};

// A part as the store keeps it (its size, big-endian, then its bytes deflated), checked against
// the size and hash it is kept under before anything is made of it: nothing when it fails.
std::optional<QByteArray> UnpackStored(QByteArrayView hash, qint64 size, const QByteArray& stored);

// The history of what the networks held: an SQLite database of snapshots, each recorded in one
// transaction, so that a failed write never takes anything from the snapshots before it. Parts
// that earlier snapshots already hold are not stored again. One store is used by the thread
// that opened it. A database found damaged, when it is opened (every page is checked) or by any
// later statement, is moved aside as `path` + ".damaged" (".damaged.2" and so on when that is
// taken) and a new one started, which TakeNotice then says.
class HistoryStore {
  public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database at `path`, created when missing, and brings an earlier version's
    // schema up to date. An Error when it cannot be opened (locked, unwritable, or of a newer
    // version). Every failure of the store is an Error::Store with its reason.
    Status Open(const QString& path);
    // What the store did on its own since last asked (a damaged database moved aside).
    QString TakeNotice() { return std::exchange(notice_, {}); }

    // Records a snapshot of `model`, every row holding `held`, taken now (or at `time`); a
    // send's records what it sent. A read that finds what the latest snapshot of the same
    // connection and network holds adds nothing: that snapshot's ID is returned.
    Result<qint64> Record(SnapshotCause cause, const QString& connection, const ConfigModel& model,
                          const std::vector<Held>& held, std::optional<SendKind> send = {},
                          const QDateTime& time = {});

    // The snapshots, oldest first; only those of `connection` when it is not empty.
    Result<std::vector<SnapshotInfo>> List(const QString& connection);
    // The last snapshot of `connection` and `network`; nothing when there is none.
    Result<std::optional<SnapshotInfo>> Latest(const QString& connection, const QString& network);
    // A snapshot's information and the model it was taken of; nothing when there is no
    // snapshot `id`, an Error when it cannot be read or fails its checks.
    Result<std::optional<SnapshotInfo>> Load(qint64 id, ConfigModel& model);

    // Removes every snapshot but the newest `keep` of each connection and network, or those
    // taken before `day` (UTC), then the parts no snapshot names any more: how many snapshots
    // went.
    Result<int> PruneKeeping(int keep);
    Result<int> PruneBefore(const QDate& day);

  private:
    // The steps below say why they failed in `error`.
    bool OpenFile(QString* error);
    bool MoveAside(QString* error);
    void Close();
    QSqlDatabase Db() const;
    // Runs `step`; when it found the database damaged, moves it aside and runs it again on the
    // new one.
    template <typename Step>
    auto Sound(QString* error, Step step) -> decltype(step());
    // The bytes of the parts flagged, by index.
    using PartBytes = std::function<std::vector<QByteArray>(const std::vector<bool>&)>;
    std::optional<qint64> RecordOnce(SnapshotCause cause, std::optional<SendKind> send,
                                     const QString& connection, const QString& network,
                                     const SnapshotParts& parts, const PartBytes& bytesOf,
                                     const QDateTime& time, QString* error);
    std::optional<int> Prune(const char* doomed, const QVariant& bound, QString* error);
    // Into `named`, the hashes of the bundles and parts the snapshots name; `whole` false when a
    // bundle cannot be read (then no part can be known to be unnamed). False when a query failed.
    bool Named(QSet<QByteArray>& named, bool* whole, QString* error);

    QString name_;  // of the Qt SQL connection, one per store
    QString path_;
    QString notice_;
    bool open_ = false;
    bool damaged_ = false;  // set by a statement that found the file damaged
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
    QString Record(SnapshotCause cause, const ConfigModel& model, const std::vector<Held>& held,
                   std::optional<SendKind> send = {});
    // The store, opened at the first use; none, with what to tell, when it cannot be.
    HistoryStore* Store(QString* said);

  private:
    QString path_;
    QString connection_;
    std::unique_ptr<HistoryStore> store_;
    bool failed_ = false;
};

}  // namespace cfg
