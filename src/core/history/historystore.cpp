#include "core/history/historystore.h"

#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QtEndian>

#include <zlib.h>

#include "core/model/configmodel.h"

namespace cfg {

namespace {

// A snapshot names bundles of this many parts, and each bundle its parts, so that a snapshot
// that changes one part adds that part, its bundle and a short list of bundles.
constexpr int kBundleSize = 16;

// Stands in a migration for the step that fills in the network of every snapshot.
constexpr const char* kFillNetworks = nullptr;

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
    {
        // The network becomes the fingerprint of the scale list, taken from each snapshot's
        // first part; the key it held (the connection and the whole first part hashed, read
        // failures included) told the same network apart from itself. A send says what it sent.
        "CREATE TABLE snapshot2 (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
        "cause TEXT NOT NULL, send TEXT NOT NULL, connection TEXT NOT NULL, "
        "network TEXT NOT NULL, scales INTEGER NOT NULL, items INTEGER NOT NULL, "
        "known INTEGER NOT NULL, manifest BLOB NOT NULL)",
        "INSERT INTO snapshot2 (id, time, cause, send, connection, network, scales, items, known, "
        "manifest) SELECT id, time, cause, '', connection, '', scales, items, known, manifest "
        "FROM snapshot",
        kFillNetworks,
        "DROP TABLE snapshot",
        "ALTER TABLE snapshot2 RENAME TO snapshot",
        "CREATE INDEX snapshot_network ON snapshot (connection, network, id)",
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
    // The next row; false past the last, or when a page met on the way is damaged (then said).
    bool Next(QString* error, bool* damaged) {
        if (query_.next()) return true;
        if (query_.lastError().isValid()) {
            if (error) *error = Reason(query_.lastError());
            if (damaged) *damaged = IsDamage(query_.lastError());
        }
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
    info.send = SendKindFromName(q.value(3).toString());
    info.connection = q.value(4).toString();
    info.network = q.value(5).toString();
    info.scales = q.value(6).toInt();
    info.items = q.value(7).toInt();
    info.known = q.value(8).toInt();
    return info;
}

constexpr const char* kInfoColumns =
    "id, time, cause, send, connection, network, scales, items, known";
constexpr int kManifestColumn = 9;  // after the information's

// The hashes a manifest or a bundle runs together; nothing when it is not a whole number of them.
std::optional<std::vector<QByteArray>> Hashes(const QByteArray& list) {
    if (list.size() % kHashSize != 0) return std::nullopt;
    std::vector<QByteArray> hashes;
    for (qsizetype at = 0; at < list.size(); at += kHashSize)
        hashes.push_back(list.mid(at, kHashSize));
    return hashes;
}

// Reads parts by their hash, each checked before use.
class PartReader {
  public:
    explicit PartReader(const QSqlDatabase& db)
        : query_(db, "SELECT size, data FROM part WHERE hash = ?") {}
    // The part kept under `hash`; nothing when it is missing or fails its checks (`error` left
    // as it was) or the query failed (`error` says why).
    std::optional<QByteArray> Read(const QByteArray& hash, QString* error, bool* damaged) {
        if (!query_.Bind(hash).Run(error, damaged)) return std::nullopt;
        std::optional<QByteArray> part;
        if (query_.Next(error, damaged))
            part = UnpackStored(hash, query_.query().value(0).toLongLong(),
                                query_.query().value(1).toByteArray());
        query_.query().finish();
        return part;
    }

  private:
    Statement query_;
};

}  // namespace

std::optional<QByteArray> UnpackStored(QByteArrayView hash, qint64 size, const QByteArray& stored) {
    // Deflate makes at most 1032 bytes of one: a size beyond that is damage, and is refused
    // before anything is set aside for it.
    constexpr qint64 kMostPerByte = 1032;
    if (stored.size() < 4 || size < 0 || size > (stored.size() - 4) * kMostPerByte ||
        qFromBigEndian<quint32>(stored.constData()) != size)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    uLongf made = static_cast<uLongf>(size);
    // zlib itself, not qUncompress: damage is this store's to say, not a warning on stderr.
    if (size > 0 && (uncompress(reinterpret_cast<Bytef*>(bytes.data()), &made,
                                reinterpret_cast<const Bytef*>(stored.constData() + 4),
                                static_cast<uLong>(stored.size() - 4)) != Z_OK ||
                     made != static_cast<uLongf>(size)))
        return std::nullopt;
    if (PartHash(bytes) != hash) return std::nullopt;
    return bytes;
}

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

namespace {
// A step's value, or its reason as an Error.
template <typename T>
Result<T> Answer(std::optional<T> value, const QString& error) {
    if (value) return std::move(*value);
    return Error(Error::Store, error);
}
// The same for a step that finds nothing without failing.
template <typename T>
Result<std::optional<T>> AnswerMaybe(std::optional<T> value, const QString& error) {
    if (value || error.isEmpty()) return Result<std::optional<T>>(std::move(value));
    return Error(Error::Store, error);
}
}  // namespace

Status HistoryStore::Open(const QString& path) {
    Close();
    path_ = path;
    damaged_ = false;
    QString error;
    if (OpenFile(&error)) return {};
    if (damaged_ && MoveAside(&error) && OpenFile(&error)) return {};
    return Error(Error::Store, error);
}

bool HistoryStore::MoveAside(QString* error) {
    // Kept for whoever wants to look into it, beside any moved aside before; its write-ahead log
    // goes with it, or the new database would take it for its own.
    Close();
    damaged_ = false;
    QString aside = path_ + QStringLiteral(".damaged");
    for (int n = 2; QFile::exists(aside) || QFile::exists(aside + "-wal"); ++n)
        aside = path_ + QStringLiteral(".damaged.") + QString::number(n);
    for (const auto& [from, to] : {std::pair{path_, aside}, {path_ + "-wal", aside + "-wal"}}) {
        if (QFile::exists(from) && !QFile::rename(from, to)) {
            if (error) *error = QStringLiteral("no se pudo apartar %1").arg(from);
            return false;
        }
    }
    QFile::remove(path_ + QStringLiteral("-shm"));
    notice_ = QStringLiteral("Historial dañado, apartado como %1; se empieza uno nuevo").arg(aside);
    return true;
}

template <typename Step>
auto HistoryStore::Sound(QString* error, Step step) -> decltype(step()) {
    if (!open_) {
        if (error) *error = QStringLiteral("historial no abierto");
        return {};
    }
    damaged_ = false;
    auto result = step();
    if (result || !damaged_) return result;
    if (!MoveAside(error) || !OpenFile(error)) return {};
    if (error) error->clear();
    return step();
}

namespace {

// Gives every snapshot of an earlier version the network of the scale list in its first part.
// One whose parts cannot be read keeps none: it is refused when it is read, and the database is
// not at fault.
bool FillNetworks(const QSqlDatabase& db, QString* error, bool* damaged) {
    Statement all(db, "SELECT id, manifest FROM snapshot2");
    if (!all.Run(error, damaged)) return false;
    std::vector<std::pair<qint64, QByteArray>> firstBundles;
    while (all.Next(error, damaged))
        firstBundles.emplace_back(all.query().value(0).toLongLong(),
                                  all.query().value(1).toByteArray().left(kHashSize));
    if (all.query().lastError().isValid()) return false;
    PartReader parts(db);
    QHash<QByteArray, QString> networkOf;  // by first bundle: most snapshots share it
    Statement set(db, "UPDATE snapshot2 SET network = ? WHERE id = ?");
    for (const auto& [id, bundle] : firstBundles) {
        if (!networkOf.contains(bundle)) {
            QString failed, network;
            const std::optional<QByteArray> hashes = parts.Read(bundle, &failed, damaged);
            const std::optional<QByteArray> head =
                hashes && hashes->size() >= kHashSize
                    ? parts.Read(hashes->left(kHashSize), &failed, damaged)
                    : std::nullopt;
            if (!failed.isEmpty()) {
                if (error) *error = failed;
                return false;
            }
            if (const auto scales = head ? SnapshotScales(*head) : std::nullopt)
                network = NetworkFingerprint(*scales);
            networkOf.insert(bundle, network);
        }
        if (const QString network = networkOf.value(bundle);
            !network.isEmpty() && !set.Bind(network).Bind(id).Run(error, damaged))
            return false;
    }
    return true;
}

}  // namespace

bool HistoryStore::OpenFile(QString* error) {
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
    if (!version.Run(error, &damaged_) || !version.query().next()) return false;
    int steps = version.query().value(0).toInt();
    version.query().finish();  // else its read stays open and the journal mode cannot change
    if (steps > static_cast<int>(kMigrations.size())) {
        if (error) *error = QStringLiteral("historial de una versión posterior (%1)").arg(steps);
        return false;
    }
    // Every page is read now, so that damage anywhere is found before it is used, not by the
    // command that happens to meet it.
    Statement check(db, "PRAGMA integrity_check");
    if (!check.Run(error, &damaged_)) return false;
    if (const QString said = check.query().next() ? check.query().value(0).toString() : QString();
        said != u"ok") {
        if (error) *error = said;
        damaged_ = true;
        return false;
    }
    check.query().finish();
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"})
        if (!Statement(db, pragma).Run(error, &damaged_)) return false;
    for (; steps < static_cast<int>(kMigrations.size()); ++steps) {
        if (!db.transaction()) {
            if (error) *error = Reason(db.lastError());
            return false;
        }
        for (const char* sql : kMigrations[static_cast<std::size_t>(steps)]) {
            if (sql == kFillNetworks ? !FillNetworks(db, error, &damaged_)
                                     : !Statement(db, sql).Run(error, &damaged_)) {
                db.rollback();
                return false;
            }
        }
        const QByteArray bump = "PRAGMA user_version=" + QByteArray::number(steps + 1);
        if (!Statement(db, bump.constData()).Run(error, &damaged_) || !db.commit()) {
            db.rollback();
            return false;
        }
    }
    open_ = true;
    return true;
}

Result<qint64> HistoryStore::Record(SnapshotCause cause, const QString& connection,
                                    const ConfigModel& model, const std::vector<Held>& held,
                                    std::optional<SendKind> send, const QDateTime& time) {
    QString why;
    QString* const error = &why;
    const SnapshotParts parts = HashSnapshot(model, held);
    const QDateTime when = time.isValid() ? time : QDateTime::currentDateTimeUtc();
    // The bytes of the parts the store lacks, packed again: seldom more than a few.
    const auto bytesOf = [&](const std::vector<bool>& wanted) {
        return EncodeSnapshot(model, held, wanted).parts;
    };
    // Damaged under way: moved aside, and the snapshot goes into the new one.
    const QString network = NetworkFingerprint(model.Scales());
    return Answer(Sound(error,
                        [&] {
                            return RecordOnce(cause, send, connection, network, parts, bytesOf,
                                              when, error);
                        }),
                  why);
}

std::optional<qint64> HistoryStore::RecordOnce(SnapshotCause cause, std::optional<SendKind> send,
                                               const QString& connection, const QString& network,
                                               const SnapshotParts& parts, const PartBytes& bytesOf,
                                               const QDateTime& time, QString* error) {
    QSqlDatabase db = Db();
    bool* const damaged = &damaged_;

    std::vector<QByteArray> bundles;  // each the hashes of its parts, run together
    QByteArray manifest;              // the bundles' hashes
    for (std::size_t i = 0; i < parts.parts.size(); ++i) {
        if (i % kBundleSize == 0) bundles.emplace_back();
        bundles.back() += parts.hashes[i];
    }
    for (const QByteArray& bundle : bundles) manifest += PartHash(bundle);

    // The write lock is taken first, so that another instance writing is waited for instead of
    // met half-way.
    if (!Statement(db, "BEGIN IMMEDIATE").Run(error, damaged)) return std::nullopt;
    const auto fail = [&]() -> std::optional<qint64> {
        Statement(db, "ROLLBACK").Run(nullptr);
        return std::nullopt;
    };
    // The bundles of the last snapshot of the same network are there already, with their parts.
    QSet<QByteArray> stored;
    Statement last(db,
                   "SELECT id, manifest FROM snapshot WHERE connection = ? AND network = ? "
                   "ORDER BY id DESC LIMIT 1");
    if (!last.Bind(connection).Bind(network).Run(error, damaged)) return fail();
    if (last.query().next()) {
        const qint64 id = last.query().value(0).toLongLong();
        const QByteArray previous = last.query().value(1).toByteArray();
        last.query().finish();
        // A read that found nothing new: the snapshot is there already.
        if (previous == manifest &&
            (cause == SnapshotCause::Read || cause == SnapshotCause::Partial)) {
            fail();
            return id;
        }
        for (const QByteArray& hash : Hashes(previous).value_or(std::vector<QByteArray>()))
            stored.insert(hash);
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
    for (std::size_t g = 0; g < bundles.size(); ++g) {
        const QByteArray hash = manifest.mid(static_cast<qsizetype>(g) * kHashSize, kHashSize);
        if (stored.contains(hash)) continue;
        for (std::size_t i = g * kBundleSize;
             i < std::min(parts.parts.size(), (g + 1) * kBundleSize); ++i) {
            if (adding.contains(parts.hashes[i])) continue;
            bool there = false;
            if (!present(parts.hashes[i], parts.sizes[i], &there)) return fail();
            wanted[i] = !there;
            if (!there) adding.insert(parts.hashes[i]);
        }
        bool there = false;
        if (!present(hash, bundles[g].size(), &there)) return fail();
        if (!there && !add(hash, bundles[g])) return fail();
    }
    if (!adding.isEmpty()) {
        const std::vector<QByteArray> bytes = bytesOf(wanted);
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (wanted[i] && !add(parts.hashes[i], bytes[i])) return fail();
    }
    Statement snapshot(db,
                       "INSERT INTO snapshot (time, cause, send, connection, network, scales, "
                       "items, known, manifest) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    snapshot.Bind(time.toUTC().toString(Qt::ISODate))
        .Bind(CauseName(cause))
        .Bind(send ? SendKindName(*send) : QStringLiteral(""))
        .Bind(connection)
        .Bind(network)
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

Result<std::vector<SnapshotInfo>> HistoryStore::List(const QString& connection) {
    QString why;
    QString* const error = &why;
    return Answer(Sound(error,
                        [&]() -> std::optional<std::vector<SnapshotInfo>> {
                            const QByteArray sql =
                                QByteArray("SELECT ") + kInfoColumns + " FROM snapshot" +
                                (connection.isEmpty() ? "" : " WHERE connection = ?") +
                                " ORDER BY id";
                            Statement list(Db(), sql.constData());
                            if (!connection.isEmpty()) list.Bind(connection);
                            if (!list.Run(error, &damaged_)) return std::nullopt;
                            std::vector<SnapshotInfo> infos;
                            while (list.Next(error, &damaged_))
                                infos.push_back(InfoOf(list.query()));
                            if (list.query().lastError().isValid()) return std::nullopt;
                            return infos;
                        }),
                  why);
}

Result<std::optional<SnapshotInfo>> HistoryStore::Latest(const QString& connection,
                                                         const QString& network) {
    QString why;
    QString* const error = &why;
    return AnswerMaybe(
        Sound(error,
              [&]() -> std::optional<SnapshotInfo> {
                  const QByteArray sql =
                      QByteArray("SELECT ") + kInfoColumns +
                      " FROM snapshot WHERE connection = ? AND network = ? ORDER BY id "
                      "DESC LIMIT 1";
                  Statement latest(Db(), sql.constData());
                  if (!latest.Bind(connection).Bind(network).Run(error, &damaged_) ||
                      !latest.Next(error, &damaged_))
                      return std::nullopt;
                  return InfoOf(latest.query());
              }),
        why);
}

Result<std::optional<SnapshotInfo>> HistoryStore::Load(qint64 id, ConfigModel& model) {
    QString why;
    QString* const error = &why;
    return AnswerMaybe(
        Sound(error,
              [&]() -> std::optional<SnapshotInfo> {
                  const QByteArray sql = QByteArray("SELECT ") + kInfoColumns +
                                         ", manifest FROM snapshot WHERE id = ?";
                  Statement snapshot(Db(), sql.constData());
                  if (!snapshot.Bind(id).Run(error, &damaged_) || !snapshot.Next(error, &damaged_))
                      return std::nullopt;
                  const SnapshotInfo info = InfoOf(snapshot.query());
                  const QByteArray manifest = snapshot.query().value(kManifestColumn).toByteArray();
                  snapshot.query().finish();

                  PartReader reader(Db());
                  QString failed;  // stays empty for a part that fails its checks
                  // The parts a list of hashes names, in its order; false when one cannot be had.
                  const auto fetch = [&](const QByteArray& list, std::vector<QByteArray>& out) {
                      const std::optional<std::vector<QByteArray>> hashes = Hashes(list);
                      if (!hashes) return false;
                      for (const QByteArray& hash : *hashes) {
                          std::optional<QByteArray> part = reader.Read(hash, &failed, &damaged_);
                          if (!part) return false;
                          out.push_back(std::move(*part));
                      }
                      return true;
                  };
                  std::vector<QByteArray> bundles, parts;
                  bool whole = fetch(manifest, bundles);
                  for (std::size_t g = 0; whole && g < bundles.size(); ++g)
                      whole = fetch(bundles[g], parts);
                  if (whole && DecodeSnapshot(parts, model)) return info;
                  if (error)
                      *error = failed.isEmpty() ? QStringLiteral("instantánea %1 dañada").arg(id)
                                                : failed;
                  return std::nullopt;
              }),
        why);
}

Result<int> HistoryStore::PruneKeeping(int keep) {
    QString error;
    return Answer(Prune("SELECT id FROM (SELECT id, row_number() OVER (PARTITION BY connection, "
                        "network ORDER BY id DESC) AS newer FROM snapshot) WHERE newer > ?",
                        keep, &error),
                  error);
}

Result<int> HistoryStore::PruneBefore(const QDate& day) {
    QString error;
    // Times are kept as ISO texts in UTC: they sort as they compare.
    return Answer(Prune("SELECT id FROM snapshot WHERE time < ?",
                        day.toString(Qt::ISODate) + QStringLiteral("T00:00:00Z"), &error),
                  error);
}

std::optional<int> HistoryStore::Prune(const char* doomed, const QVariant& bound, QString* error) {
    return Sound(error, [&]() -> std::optional<int> {
        QSqlDatabase db = Db();
        if (!Statement(db, "BEGIN IMMEDIATE").Run(error, &damaged_)) return std::nullopt;
        const auto fail = [&]() -> std::optional<int> {
            Statement(db, "ROLLBACK").Run(nullptr);
            return std::nullopt;
        };
        const QByteArray sql = QByteArray("DELETE FROM snapshot WHERE id IN (") + doomed + ")";
        Statement remove(db, sql.constData());
        if (!remove.Bind(bound).Run(error, &damaged_)) return fail();
        const int removed = remove.query().numRowsAffected();
        if (removed > 0) {
            QSet<QByteArray> named;
            bool whole = true;
            if (!Named(named, &whole, error)) return fail();
            std::vector<QByteArray> unnamed;
            Statement all(db, "SELECT hash FROM part");
            if (whole && !all.Run(error, &damaged_)) return fail();
            while (whole && all.query().next())
                if (QByteArray hash = all.query().value(0).toByteArray(); !named.contains(hash))
                    unnamed.push_back(std::move(hash));
            all.query().finish();
            Statement drop(db, "DELETE FROM part WHERE hash = ?");
            for (const QByteArray& hash : unnamed)
                if (!drop.Bind(hash).Run(error, &damaged_)) return fail();
        }
        if (!Statement(db, "COMMIT").Run(error, &damaged_)) return fail();
        return removed;
    });
}

bool HistoryStore::Named(QSet<QByteArray>& named, bool* whole, QString* error) {
    Statement manifests(Db(), "SELECT DISTINCT manifest FROM snapshot");
    if (!manifests.Run(error, &damaged_)) return false;
    std::vector<QByteArray> bundles;
    while (manifests.query().next()) {
        const auto hashes = Hashes(manifests.query().value(0).toByteArray());
        *whole = *whole && hashes.has_value();
        for (const QByteArray& hash : hashes.value_or(std::vector<QByteArray>()))
            if (!named.contains(hash)) {
                named.insert(hash);
                bundles.push_back(hash);
            }
    }
    manifests.query().finish();
    PartReader reader(Db());
    for (const QByteArray& bundle : bundles) {
        QString failed;
        const std::optional<QByteArray> hashes = reader.Read(bundle, &failed, &damaged_);
        if (!failed.isEmpty()) {
            if (error) *error = failed;
            return false;
        }
        const auto parts = hashes ? Hashes(*hashes) : std::nullopt;
        *whole = *whole && parts.has_value();
        for (const QByteArray& part : parts.value_or(std::vector<QByteArray>())) named.insert(part);
    }
    return true;
}

QString HistoryFileIn(const QString& folder) {
    return folder + QStringLiteral("/history.db");
}

HistoryStore* HistoryRecorder::Store(QString* said) {
    if (failed_) return nullptr;
    if (!store_) {
        store_ = std::make_unique<HistoryStore>();
        if (const Status opened = store_->Open(path_); !opened) {
            failed_ = true;
            if (said)
                *said = QStringLiteral("Historial no disponible (%1): %2")
                            .arg(path_, opened.error().text);
            return nullptr;
        }
    }
    return store_.get();
}

QString HistoryRecorder::Record(SnapshotCause cause, const ConfigModel& model,
                                const std::vector<Held>& held, std::optional<SendKind> send) {
    QString error;
    HistoryStore* store = Store(&error);
    if (!store) return error;
    const Result<qint64> recorded = store->Record(cause, connection_, model, held, send);
    QStringList said;
    if (const QString notice = store->TakeNotice(); !notice.isEmpty()) said.append(notice);
    if (!recorded)
        said.append(QStringLiteral("Historial: no se guardó la instantánea: ") +
                    recorded.error().text);
    return said.join(u'\n');
}

}  // namespace cfg
