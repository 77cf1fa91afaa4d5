#include "core/history/historystore.h"

#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include "core/model/configmodel.h"

namespace cfg {

namespace {

// A snapshot names groups of this many parts, and each group its parts, so that a snapshot
// that changes one part adds that part, its group and a short list of groups.
constexpr int kGroupSize = 16;

// Each step takes the schema from its index to the next version; user_version is the count of
// steps taken. A database of a later version is left alone.
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE TABLE snapshot (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
        "cause TEXT NOT NULL, connection TEXT NOT NULL, network BLOB NOT NULL, "
        "scales INTEGER NOT NULL, items INTEGER NOT NULL, known INTEGER NOT NULL, "
        "manifest BLOB NOT NULL)",
        "CREATE INDEX snapshot_network ON snapshot (network, id)",
        "CREATE INDEX snapshot_connection ON snapshot (connection, id)",
        // A part, compressed, by the hash of its bytes; `size` tells two parts apart should their
        // hashes ever meet.
        "CREATE TABLE part (hash BLOB PRIMARY KEY, size INTEGER NOT NULL, data BLOB NOT NULL) "
        "WITHOUT ROWID",
    },
};

// SQLITE_CORRUPT and SQLITE_NOTADB: the file is no database, or a damaged one.
bool IsDamage(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    return code == u"11" || code == u"26";
}

QString Reason(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

// A query that fails tells why through `error`; `damaged` tells whether the file is at fault.
class Statement {
  public:
    Statement(const QSqlDatabase& db, const char* sql) : query_(db) {
        ok_ = query_.prepare(QString::fromLatin1(sql));
    }
    // Values for the placeholders in order; a statement run again is bound afresh.
    Statement& Bind(const QVariant& value) {
        query_.bindValue(next_++, value);
        return *this;
    }
    bool Run(QString* error, bool* damaged = nullptr) {
        next_ = 0;
        if (ok_ && query_.exec()) return true;
        if (error) *error = Reason(query_.lastError());
        if (damaged) *damaged = IsDamage(query_.lastError());
        return false;
    }
    QSqlQuery& query() { return query_; }

  private:
    QSqlQuery query_;
    int next_ = 0;
    bool ok_ = false;
};

SnapshotInfo InfoOf(const QSqlQuery& q) {
    SnapshotInfo info;
    info.id = q.value(0).toLongLong();
    info.time = QDateTime::fromString(q.value(1).toString(), Qt::ISODate);
    info.cause = CauseFromName(q.value(2).toString()).value_or(SnapshotCause::Read);
    info.connection = q.value(3).toString();
    info.scales = q.value(4).toInt();
    info.items = q.value(5).toInt();
    info.known = q.value(6).toInt();
    return info;
}

constexpr const char* kInfoColumns = "id, time, cause, connection, scales, items, known";

}  // namespace

HistoryStore::HistoryStore()
    : name_(QStringLiteral("cfg-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

HistoryStore::~HistoryStore() {
    Close();
}

QSqlDatabase HistoryStore::Db() const {
    return QSqlDatabase::database(name_, false);
}

void HistoryStore::Close() {
    if (QSqlDatabase::contains(name_)) {
        Db().close();
        QSqlDatabase::removeDatabase(name_);
    }
    open_ = false;
}

bool HistoryStore::Open(const QString& path, QString* error) {
    Close();
    path_ = path;
    bool damaged = false;
    if (OpenFile(error, &damaged)) return true;
    if (!damaged) return false;
    // Kept for whoever wants to look into it; its write-ahead log goes with it, or the new
    // database would take it for its own.
    Close();
    const QString aside = path + QStringLiteral(".damaged");
    for (const auto& [from, to] : {std::pair{path, aside}, {path + "-wal", aside + "-wal"}}) {
        QFile::remove(to);
        if (QFile::exists(from) && !QFile::rename(from, to)) {
            if (error) *error = QStringLiteral("no se pudo apartar %1").arg(from);
            return false;
        }
    }
    QFile::remove(path + QStringLiteral("-shm"));
    notice_ = QStringLiteral("Historial dañado, apartado como %1; se empieza uno nuevo").arg(aside);
    return OpenFile(error, &damaged);
}

bool HistoryStore::OpenFile(QString* error, bool* damaged) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    if (!db.isValid()) {
        if (error) *error = QStringLiteral("falta el controlador SQLite de Qt");
        return false;
    }
    db.setDatabaseName(path_);
    // Another instance writing at the same time is waited for a little, then given up on.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        if (error) *error = Reason(db.lastError());
        return false;
    }
    Statement version(db, "PRAGMA user_version");
    if (!version.Run(error, damaged) || !version.query().next()) return false;
    int steps = version.query().value(0).toInt();
    version.query().finish();  // else its read stays open and the journal mode cannot change
    if (steps > static_cast<int>(kMigrations.size())) {
        if (error) *error = QStringLiteral("historial de una versión posterior (%1)").arg(steps);
        return false;
    }
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"})
        if (!Statement(db, pragma).Run(error, damaged)) return false;
    for (; steps < static_cast<int>(kMigrations.size()); ++steps) {
        if (!db.transaction()) {
            if (error) *error = Reason(db.lastError());
            return false;
        }
        for (const char* sql : kMigrations[static_cast<std::size_t>(steps)]) {
            if (!Statement(db, sql).Run(error, damaged)) {
                db.rollback();
                return false;
            }
        }
        const QByteArray bump = "PRAGMA user_version=" + QByteArray::number(steps + 1);
        if (!Statement(db, bump.constData()).Run(error, damaged) || !db.commit()) {
            db.rollback();
            return false;
        }
    }
    // The tables are read once, so that a file damaged past its header is found now.
    if (!Statement(db, "SELECT count(*) FROM snapshot").Run(error, damaged)) return false;
    open_ = true;
    return true;
}

std::optional<qint64> HistoryStore::Record(SnapshotCause cause, const QString& connection,
                                           const ConfigModel& model, const std::vector<Held>& held,
                                           QString* error, const QDateTime& time) {
    if (!open_) {
        if (error) *error = QStringLiteral("historial no abierto");
        return std::nullopt;
    }
    const SnapshotParts parts = HashSnapshot(model, held);
    const QDateTime when = time.isValid() ? time : QDateTime::currentDateTimeUtc();
    // The bytes of the parts the store lacks, packed again: seldom more than a few.
    const auto bytesOf = [&](const std::vector<bool>& wanted) {
        return EncodeSnapshot(model, held, wanted).parts;
    };
    bool damaged = false;
    if (auto id = RecordOnce(cause, connection, parts, bytesOf, when, error, &damaged)) return id;
    if (!damaged) return std::nullopt;
    // Damaged under way: moved aside, and the snapshot goes into the new one.
    if (!Open(path_, error)) return std::nullopt;
    return RecordOnce(cause, connection, parts, bytesOf, when, error, &damaged);
}

std::optional<qint64> HistoryStore::RecordOnce(SnapshotCause cause, const QString& connection,
                                               const SnapshotParts& parts, const PartBytes& bytesOf,
                                               const QDateTime& time, QString* error,
                                               bool* damaged) {
    QSqlDatabase db = Db();
    // A network is its connection and its scales: the head part holds the scale list.
    const QByteArray networkKey = PartHash(connection.toUtf8() + parts.parts.front());

    std::vector<QByteArray> groups;  // each the hashes of its parts, run together
    QByteArray manifest;             // the groups' hashes
    for (std::size_t i = 0; i < parts.parts.size(); ++i) {
        if (i % kGroupSize == 0) groups.emplace_back();
        groups.back() += parts.hashes[i];
    }
    for (const QByteArray& group : groups) manifest += PartHash(group);

    // The write lock is taken first, so that another instance writing is waited for instead of
    // met half-way.
    if (!Statement(db, "BEGIN IMMEDIATE").Run(error, damaged)) return std::nullopt;
    const auto fail = [&]() -> std::optional<qint64> {
        Statement(db, "ROLLBACK").Run(nullptr);
        return std::nullopt;
    };
    // The groups of the last snapshot of the same network are there already, with their parts.
    QSet<QByteArray> stored;
    Statement last(db, "SELECT manifest FROM snapshot WHERE network = ? ORDER BY id DESC LIMIT 1");
    if (!last.Bind(networkKey).Run(error, damaged)) return fail();
    if (last.query().next()) {
        const QByteArray previous = last.query().value(0).toByteArray();
        for (qsizetype at = 0; at + kHashSize <= previous.size(); at += kHashSize)
            stored.insert(previous.mid(at, kHashSize));
    }
    last.query().finish();
    Statement find(db, "SELECT size FROM part WHERE hash = ?");
    Statement insert(db, "INSERT INTO part (hash, size, data) VALUES (?, ?, ?)");
    // Whether a part of this hash and size is stored; a part of another size under the same
    // hash is an error, never taken for this one.
    const auto present = [&](const QByteArray& hash, qsizetype size, bool* there) {
        if (!find.Bind(hash).Run(error, damaged)) return false;
        *there = find.query().next();
        const qint64 kept = *there ? find.query().value(0).toLongLong() : -1;
        find.query().finish();
        if (*there && kept != size) {
            if (error) *error = QStringLiteral("dos partes distintas con el mismo resumen");
            return false;
        }
        return true;
    };
    const auto add = [&](const QByteArray& hash, const QByteArray& data) {
        return insert.Bind(hash).Bind(data.size()).Bind(qCompress(data)).Run(error, damaged);
    };
    // A part may come twice in one snapshot (two runs alike): it is stored once.
    std::vector<bool> wanted(parts.parts.size(), false);
    QSet<QByteArray> adding;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const QByteArray hash = manifest.mid(static_cast<qsizetype>(g) * kHashSize, kHashSize);
        if (stored.contains(hash)) continue;
        for (std::size_t i = g * kGroupSize; i < std::min(parts.parts.size(), (g + 1) * kGroupSize);
             ++i) {
            if (adding.contains(parts.hashes[i])) continue;
            bool there = false;
            if (!present(parts.hashes[i], parts.sizes[i], &there)) return fail();
            wanted[i] = !there;
            if (!there) adding.insert(parts.hashes[i]);
        }
        bool there = false;
        if (!present(hash, groups[g].size(), &there)) return fail();
        if (!there && !add(hash, groups[g])) return fail();
    }
    if (!adding.isEmpty()) {
        const std::vector<QByteArray> bytes = bytesOf(wanted);
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (wanted[i] && !add(parts.hashes[i], bytes[i])) return fail();
    }
    Statement snapshot(db,
                       "INSERT INTO snapshot (time, cause, connection, network, scales, items, "
                       "known, manifest) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    snapshot.Bind(time.toUTC().toString(Qt::ISODate))
        .Bind(CauseName(cause))
        .Bind(connection)
        .Bind(networkKey)
        .Bind(parts.scales)
        .Bind(parts.items)
        .Bind(parts.known)
        .Bind(manifest);
    if (!snapshot.Run(error, damaged)) return fail();
    const qint64 id = snapshot.query().lastInsertId().toLongLong();
    snapshot.query().finish();
    if (!Statement(db, "COMMIT").Run(error, damaged)) return fail();
    return id;
}

std::optional<std::vector<SnapshotInfo>> HistoryStore::List(const QString& connection,
                                                            QString* error) {
    const QByteArray sql = QByteArray("SELECT ") + kInfoColumns + " FROM snapshot" +
                           (connection.isEmpty() ? "" : " WHERE connection = ?") + " ORDER BY id";
    Statement list(Db(), sql.constData());
    if (!connection.isEmpty()) list.Bind(connection);
    if (!list.Run(error)) return std::nullopt;
    std::vector<SnapshotInfo> infos;
    while (list.query().next()) infos.push_back(InfoOf(list.query()));
    return infos;
}

std::optional<SnapshotInfo> HistoryStore::Latest(const QString& connection, QString* error) {
    const QByteArray sql = QByteArray("SELECT ") + kInfoColumns +
                           " FROM snapshot WHERE connection = ? ORDER BY id DESC LIMIT 1";
    Statement latest(Db(), sql.constData());
    if (!latest.Bind(connection).Run(error) || !latest.query().next()) return std::nullopt;
    return InfoOf(latest.query());
}

std::optional<SnapshotInfo> HistoryStore::Load(qint64 id, ConfigModel& model, QString* error) {
    const QByteArray sql =
        QByteArray("SELECT ") + kInfoColumns + ", manifest FROM snapshot " + "WHERE id = ?";
    Statement snapshot(Db(), sql.constData());
    if (!snapshot.Bind(id).Run(error) || !snapshot.query().next()) return std::nullopt;
    const SnapshotInfo info = InfoOf(snapshot.query());
    const QByteArray manifest = snapshot.query().value(7).toByteArray();

    Statement part(Db(), "SELECT size, data FROM part WHERE hash = ?");
    const auto fetch = [&](const QByteArray& list, std::vector<QByteArray>& out) {
        for (qsizetype at = 0; at + kHashSize <= list.size(); at += kHashSize) {
            if (!part.Bind(list.mid(at, kHashSize)).Run(error)) return false;
            QByteArray data;
            qint64 size = -1;
            if (part.query().next()) {
                size = part.query().value(0).toLongLong();
                data = qUncompress(part.query().value(1).toByteArray());
            }
            part.query().finish();
            if (data.size() != size) {
                if (error) *error = QStringLiteral("instantánea %1 dañada").arg(id);
                return false;
            }
            out.push_back(std::move(data));
        }
        return true;
    };
    std::vector<QByteArray> groups, parts;
    if (!fetch(manifest, groups)) return std::nullopt;
    for (const QByteArray& group : groups)
        if (!fetch(group, parts)) return std::nullopt;
    if (!DecodeSnapshot(parts, model)) {
        if (error) *error = QStringLiteral("instantánea %1 dañada").arg(id);
        return std::nullopt;
    }
    return info;
}

QString HistoryFileIn(const QString& folder) {
    return folder + QStringLiteral("/history.db");
}

HistoryStore* HistoryRecorder::Store(QString* said) {
    if (failed_) return nullptr;
    if (!store_) {
        store_ = std::make_unique<HistoryStore>();
        if (QString error; !store_->Open(path_, &error)) {
            failed_ = true;
            if (said) *said = QStringLiteral("Historial no disponible (%1): %2").arg(path_, error);
            return nullptr;
        }
    }
    return store_.get();
}

QString HistoryRecorder::Record(SnapshotCause cause, const ConfigModel& model,
                                const std::vector<Held>& held) {
    QString error;
    HistoryStore* store = Store(&error);
    if (!store) return error;
    const bool recorded = store->Record(cause, connection_, model, held, &error).has_value();
    QStringList said;
    if (const QString notice = store->TakeNotice(); !notice.isEmpty()) said.append(notice);
    if (!recorded) said.append(QStringLiteral("Historial: no se guardó la instantánea: ") + error);
    return said.join(u'\n');
}

}  // namespace cfg
