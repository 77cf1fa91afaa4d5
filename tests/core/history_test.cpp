// The history store: snapshots that give back the model they were taken of, parts kept once,
// reads kept when they differ, networks, pruning, an earlier schema, damage, a lock.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtEndian>
#include <numeric>

#include "core/editing/sendall.h"
#include "core/history/historystore.h"
#include "support/testsupport.h"

namespace cfg {
namespace {

using cfgtest::Row;

// Odd corners a read can leave: a text no single byte stands for, an item before any menu, an
// option index out of range (its node text emptied), a value never read, a failed scale, two
// scales whose values pack alike.
ConfigModel OddModel(int shift = 0) {
    const auto key = [&](int serial) { return keys::SystemItem(shift + serial); };
    ConfigModel m;
    m.Scales() = {{4, 2, "A1B2"}, {5, 3, "C3D4"}};
    m.AddNode({}, keys::kRoot, "Red", "mundo", NodeKind::Root);
    m.AddNode(keys::kRoot, keys::kSystem, "Datos Comunes", "sistema", NodeKind::SystemBranch);
    m.AddNode(keys::kSystem, "ms0001", QString::fromUtf8("Men\u00FA \u20AC"), "menu",
              NodeKind::SystemMenu);
    m.ExpandNode(keys::kSystem);
    m.AppendMenu({0, 1, QString::fromUtf8("Men\u00FA \u20AC"), "ms0001"});
    m.AppendItem(Row(0, 9, kNumber, 4, 1, "5"));
    // Each row with the value and bytes a read left in it (null: none).
    const std::tuple<ItemRow, const char*, QByteArray> rows[] = {
        {Row(0, 10, kString, 8, 1, {}, "ms0001", {}, key(1)), "ab? ", "ab\x01 "},
        // Options longer than what a part packs at a time, one of them UTF-16.
        {Row(0, 11, kEnumeration, 1, 1, {}, "ms0001",
             {"No", "S\u00ED", QString(9000, QChar(0x20AC)), QString(20000, 'x')}, key(2)),
         "7",
         {}},
        {Row(0, 12, kNumber, 4, 120, {}, "ms0001", {}, key(3)), nullptr, {}},
        {Row(0, 13, kDate, 6, 1, {}, "ms0001", {}, key(4)), "311224", "311224"},
    };
    for (const auto& [row, read, bytes] : rows) {
        m.AddNode("ms0001", row.key, row.text, "valor", NodeKind::SystemItem);
        m.AppendItem(row);
        if (read) StoreRead(m.Item(static_cast<int>(m.Items().size()) - 1), read, bytes);
    }
    for (int scale : {4, 5}) m.AppendItem(Row(scale, 9, kNumber, 4, 1, "5"));
    m.Item(3).known = false;
    for (int row : {1, 4}) m.SetItemNodeText(row);
    m.SetNodeText(m.FindNode(key(2)), {});
    m.SetReadFailures({{4, ReadFailure::ScaleValues}});
    return m;
}

// Each test's store opened on its own database.
class HistoryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Open(path)) << error.toStdString(); }
    // The store's answers, their Error's text kept in `error` (empty when none).
    template <typename T>
    std::optional<T> Kept(Result<T> answer) {
        error = answer ? QString() : answer.error().text;
        return answer ? std::optional<T>(std::move(answer.value())) : std::nullopt;
    }
    bool Open(const QString& file) {
        const Status opened = store.Open(file);
        error = opened ? QString() : opened.error().text;
        return opened.ok();
    }
    std::optional<qint64> Record(const ConfigModel& m, const std::vector<Held>& held,
                                 SnapshotCause cause = SnapshotCause::Read, QDateTime time = {}) {
        return Kept(store.Record(cause, "10.0.0.1:3001", m, held, {}, time));
    }
    std::optional<SnapshotInfo> Load(qint64 id, ConfigModel& m) {
        return Kept(store.Load(id, m)).value_or(std::nullopt);
    }
    int Parts() const { return cfgtest::Sql(path, "SELECT count(*) FROM part").toInt(); }
    std::vector<qint64> Ids() {
        std::vector<qint64> ids;
        for (const SnapshotInfo& i : Kept(store.List({})).value_or(std::vector<SnapshotInfo>()))
            ids.push_back(i.id);
        return ids;
    }

    QTemporaryDir dir;
    QString path = dir.filePath("history.db");
    HistoryStore store;
    QString error;
};

TEST_F(HistoryTest, ASnapshotGivesBackTheModelItWasTakenOf) {
    const ConfigModel m = OddModel();
    ConfigModel back;
    const auto info = Load(Record(m, HeldByNetwork(m)).value_or(0), back);
    ASSERT_TRUE(info) << error.toStdString();  // 3 known: the first row was loaded, not read
    EXPECT_EQ(std::pair(info->connection, info->known), std::pair(QString("10.0.0.1:3001"), 3));
    ASSERT_EQ(back.Nodes().size(), m.Nodes().size());
    for (std::size_t n = 0; n < m.Nodes().size(); ++n) {
        const TreeNode &a = m.Nodes()[n], &b = back.Nodes()[n];
        EXPECT_EQ(std::tie(a.key, a.text, a.image, a.kind, a.owner, a.parent, a.expanded),
                  std::tie(b.key, b.text, b.image, b.kind, b.owner, b.parent, b.expanded))
            << n;
    }
    ASSERT_EQ(back.Items().size(), m.Items().size());
    for (std::size_t r = 0; r < m.Items().size(); ++r) {
        const ItemRow &a = m.Items()[r], &b = back.Items()[r];
        EXPECT_EQ(std::tie(a.owner, a.id, a.type, a.order, a.length, a.text, a.key, a.options,
                           a.menuKey, a.readKnown, a.readValue, a.readBytes),
                  std::tie(b.owner, b.id, b.type, b.order, b.length, b.text, b.key, b.options,
                           b.menuKey, b.readKnown, b.readValue, b.readBytes))
            << r;
        EXPECT_EQ(b.known, a.readKnown) << r;
    }
    EXPECT_EQ(back.Scales().front().mac, "A1B2");
    EXPECT_EQ(back.Menus().front().text, m.Menus().front().text);
    EXPECT_EQ(back.ReadFailures(), m.ReadFailures());
    EXPECT_TRUE(!Load(info->id + 1, back) && error.isEmpty());
}

// An unchanged snapshot adds no part; a changed value only its owner's.
TEST_F(HistoryTest, ASnapshotAddsOnlyWhatDiffers) {
    const ConfigModel odd = OddModel();
    std::vector<Held> values = HeldByNetwork(odd);
    ASSERT_TRUE(Record(odd, values));
    const int first = Parts();
    ASSERT_TRUE(Record(odd, values, SnapshotCause::Send));
    EXPECT_EQ(Parts(), first);
    values[4].value = "010125";
    ASSERT_TRUE(Record(odd, values, SnapshotCause::Send));
    EXPECT_EQ(Parts(), first + 2);  // the owner's values and the group naming them
    EXPECT_EQ(Ids(), (std::vector<qint64>{1, 2, 3}));
    // A read is kept when values, texts or failures differ from the latest snapshot of the same
    // connection and network, not otherwise; a set or a send always.
    using Change = std::function<void(ConfigModel&, std::vector<Held>&)>;
    const std::tuple<const char*, SnapshotCause, Change, qint64> cases[] = {
        {"the same", SnapshotCause::Read, [](auto&, auto&) {}, 0},
        {"the same, in part", SnapshotCause::Partial, [](auto&, auto&) {}, 0},
        {"a value", SnapshotCause::Read, [](auto&, auto& h) { h[2].value = "8"; }, 1},
        {"a value now unknown", SnapshotCause::Read, [](auto&, auto& h) { h[4] = {}; }, 1},
        {"a text", SnapshotCause::Read, [](auto& m, auto&) { m.SetNodeText(0, "Otra"); }, 1},
        {"a failure", SnapshotCause::Read, [](auto& m, auto&) { m.SetReadFailures({}); }, 1},
        {"a set", SnapshotCause::Set, [](auto&, auto&) {}, 1},
        {"a network", SnapshotCause::Read, [](auto& m, auto&) { m.Scales()[1].mac = "E"; }, 1},
    };
    for (const auto& [name, cause, change, added] : cases) {
        ConfigModel m = OddModel();
        std::vector<Held> held = HeldByNetwork(m);
        const qint64 sent = Record(m, held, SnapshotCause::Send).value_or(0);  // always kept
        change(m, held);
        const qint64 id = Record(m, held, cause).value_or(0);  // of the snapshot that holds it
        EXPECT_EQ(std::pair(id - sent, Ids().back() - sent), std::pair(added, added)) << name;
    }
}

// Hashed as it is packed, a part has the SHA-1 of its bytes: the store keeps it under that hash.
// A network is named by the SHA-256 of its scale lines ("4,2,A1B2\n5,3,C3D4\n", or none).
TEST(SnapshotParts, HashedAsPackedLikeTheirBytesAndNetworksByTheirScales) {
    // The bytes databases hold, pinned by the hash of the parts' hashes; item keys numbered on
    // by earlier reads of the run pack as the first read's.
    for (const int shift : {0, 40}) {
        const ConfigModel m = OddModel(shift);
        const SnapshotParts hashed = HashSnapshot(m, HeldByNetwork(m));
        std::vector<QByteArray> packed;
        std::vector<qsizetype> sizes;
        for (const QByteArray& part : EncodeSnapshot(m, HeldByNetwork(m)).parts) {
            packed.push_back(PartHash(part));
            sizes.push_back(part.size());
        }
        EXPECT_EQ(std::tie(hashed.hashes, hashed.sizes), std::tie(packed, sizes)) << shift;
        EXPECT_EQ(PartHash(std::accumulate(packed.begin(), packed.end(), QByteArray())).toHex(),
                  "7b227a1c034bc5ee479c9cf6f7ed51d521732259")
            << shift;
    }
    EXPECT_EQ(PartHash("abc").toHex(), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(NetworkFingerprint({{4, 2, "A1B2"}, {5, 3, "C3D4"}}), "45f4babbe85c");
    EXPECT_EQ(NetworkFingerprint({}), "e3b0c44298fc");
}

// Cut anywhere, a snapshot's parts are refused, never read past.
TEST(SnapshotParts, DamagedPartsAreRefused) {
    const ConfigModel m = OddModel();
    const SnapshotParts parts = EncodeSnapshot(m, HeldByNetwork(m));
    ConfigModel back;
    ASSERT_TRUE(DecodeSnapshot(parts.parts, back));
    // Cut short, or a byte longer.
    for (std::size_t p = 0; p < parts.parts.size(); ++p) {
        for (qsizetype cut = 0; cut <= parts.parts[p].size() + 1; ++cut) {
            std::vector<QByteArray> damaged = parts.parts;
            damaged[p].resize(cut == damaged[p].size() ? cut + 1 : cut, '\0');
            EXPECT_FALSE(DecodeSnapshot(damaged, back)) << p << " " << cut;
        }
    }
    EXPECT_FALSE(DecodeSnapshot({parts.parts.begin(), parts.parts.end() - 1}, back));
    // Whole, naming what is not there: a failure's kind, an item's node, its menu, a taken node.
    for (const int kind : {5, -1, 1 << 20}) {
        std::vector<QByteArray> odd = parts.parts;
        qToLittleEndian<qint32>(kind, odd[0].data() + 48);
        EXPECT_FALSE(DecodeSnapshot(odd, back)) << kind;
    }
    for (const auto& [key, menu] : {std::pair{"s0009", "ms0001"},
                                    {"s0001", "ms0002"},
                                    {"s0001", "ms0001"},
                                    {"", "ms0001"},
                                    {"ms0001", "Sistema"}}) {
        ConfigModel odd = OddModel();
        odd.AppendItem(Row(0, 30, kNumber, 4, 1, "1", menu, {}, key));
        EXPECT_FALSE(DecodeSnapshot(EncodeSnapshot(odd, HeldByNetwork(odd)).parts, back)) << key;
    }
}

// A stored part is taken only when its size, size header, inflated bytes and hash agree; a header
// of 4 GiB is refused before room is made for it (the address space held to 1 GiB more than used).
TEST(HistoryParts, AStoredPartIsCheckedBeforeUse) {
    const QByteArray bytes(5000, 'a'), kept = qCompress(bytes), hash = PartHash(bytes);
    const std::tuple<QByteArray, qint64, QByteArray, bool> cases[] = {
        {hash, 5000, kept, true},
        {PartHash("b"), 5000, kept, false},
        {hash, 0xFFFFFFF0, "\xff\xff\xff\xf0" + kept.mid(4), false},
        {hash, 5000, kept.chopped(4), false},
        {hash, 0, "ab", false},
    };
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_AS, &old); });
#ifndef __SANITIZE_ADDRESS__  // its shadow memory would not fit
    const qint64 used = cfgtest::ReadAll("/proc/self/statm").split(' ')[0].toLongLong() * 4096;
    const rlimit held{rlim_t(used + (1LL << 30)), old.rlim_max};
    setrlimit(RLIMIT_AS, &held);
#endif
    for (const auto& [named, size, stored, sound] : cases)
        EXPECT_EQ(UnpackStored(named, size, stored), sound ? std::optional(bytes) : std::nullopt)
            << size;
}

// A data page of the snapshots damaged, found when the database is opened or by a later
// statement: moved aside beside the one before, and a new one started.
TEST_F(HistoryTest, ADamagedDatabaseIsMovedAsideAndANewOneStarted) {
    const ConfigModel m = OddModel();
    // The start of the snapshots' first page smashed: a data page, as they are few.
    const auto smash = [&] {
        const QString page =
            "SELECT (rootpage - 1) * page_size FROM sqlite_master, "
            "pragma_page_size WHERE name = 'snapshot'";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                    file.seek(cfgtest::Sql(path, page).toLongLong()));
        file.write(QByteArray(1024, 'x'));  // the smallest page there is
    };
    for (const QString aside : {".damaged", ".damaged.2"}) {
        ASSERT_TRUE(Open(path) && Record(m, HeldByNetwork(m)));
        if (aside == ".damaged") {
            Open(dir.filePath("other.db"));  // its log folded into the file
            smash();
            ASSERT_TRUE(Open(path)) << error.toStdString();
        } else {  // another instance writes, then the page goes bad
            cfgtest::Sql(path, "UPDATE snapshot SET known = known");
            cfgtest::Sql(path, "PRAGMA wal_checkpoint(TRUNCATE)");
            smash();
            EXPECT_EQ(Ids().size(), 0u) << error.toStdString();
        }
        EXPECT_EQ(store.TakeNotice(),
                  "Historial dañado, apartado como " + path + aside + "; se empieza uno nuevo");
        EXPECT_TRUE(QFile::exists(path + aside) && Ids().empty());
    }
}

// One rule after the other on two networks: what goes takes the parts only it held, what stays
// still loads.
TEST_F(HistoryTest, PruneKeepsTheNewestOfEachNetworkOrThoseFromADay) {
    ConfigModel b = OddModel();
    b.Scales().pop_back();
    // 1 to 3 of one network on days 1 to 3, 4 of another on day 2, each with a value of its own.
    const auto history = [&](const QString& file, const std::vector<qint64>& ids) {
        ASSERT_TRUE(Open(file));
        for (const qint64 id : ids) {
            std::vector<Held> held = HeldByNetwork(b);
            held[2].value = QString::number(id);
            const QDate day(2026, 3, id == 4 ? 2 : int(id));
            Record(id == 4 ? b : OddModel(), held, SnapshotCause::Read, {day, {23, 59}, Qt::UTC});
        }
    };
    history(dir.filePath("kept.db"), {3, 4});
    history(path, {1, 2, 3, 4});
    const std::tuple<int, QDate, int, std::vector<qint64>> steps[] = {
        {9, {}, 0, {1, 2, 3, 4}}, {0, {2026, 3, 2}, 1, {2, 3, 4}}, {1, {}, 1, {3, 4}}};
    for (const auto& [keep, before, removed, kept] : steps) {
        EXPECT_EQ(Kept(keep ? store.PruneKeeping(keep) : store.PruneBefore(before)), removed);
        std::vector<qint64> ids = Ids();
        ConfigModel back;
        for (qint64& id : ids) id = Load(id, back) ? id : -id;
        EXPECT_EQ(ids, kept) << keep;
    }
    EXPECT_EQ(Parts(), cfgtest::Sql(dir.filePath("kept.db"), "SELECT count(*) FROM part"));
}

// A database of the schema before networks, built with its statements: each snapshot gets the
// network of its scale list, one whose first part is gone none (not taken for damage).
TEST_F(HistoryTest, ADatabaseOfThePreviousSchemaGetsItsNetworks) {
    ConfigModel b = OddModel();
    b.Scales().pop_back();
    for (const ConfigModel& m : {OddModel(), b}) Record(m, HeldByNetwork(m), SnapshotCause::Send);
    Open(dir.filePath("other.db"));
    for (const char* sql :
         {"CREATE TABLE old (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, cause TEXT "
          "NOT NULL, connection TEXT NOT NULL, network BLOB NOT NULL, scales INTEGER NOT NULL, "
          "items INTEGER NOT NULL, known INTEGER NOT NULL, manifest BLOB NOT NULL)",
          "INSERT INTO old SELECT id, time, cause, connection, randomblob(20), scales, items, "
          "known, manifest FROM snapshot",
          "DROP TABLE snapshot", "ALTER TABLE old RENAME TO snapshot",
          "CREATE INDEX snapshot_network ON snapshot (network, id)",
          "CREATE INDEX snapshot_connection ON snapshot (connection, id)", "PRAGMA user_version=1"})
        cfgtest::Sql(path, sql);
    cfgtest::Sql(path, "DELETE FROM part WHERE hash = x'" +
                           PartHash(EncodeSnapshot(b, HeldByNetwork(b)).parts[0]).toHex() + "'");
    ASSERT_TRUE(Open(path) && store.TakeNotice().isEmpty()) << error.toStdString();
    QStringList listed;
    for (const SnapshotInfo& i : Kept(store.List({})).value_or(std::vector<SnapshotInfo>()))
        listed.append(QString("%1 %2 %3").arg(i.id).arg(i.network).arg(i.send.has_value()));
    EXPECT_EQ(listed, (QStringList{"1 45f4babbe85c 0", "2  0"}));
    EXPECT_TRUE(Load(1, b) && !Load(2, b));
    EXPECT_EQ(error, "instantánea 2 dañada");
    EXPECT_EQ(Record(OddModel(), HeldByNetwork(OddModel()), SnapshotCause::Set), 3);
}

// Another instance holding the database: the write gives up, and what was there stays. A
// database that cannot be opened, or is of a later schema, is left alone.
TEST_F(HistoryTest, ADatabaseItCannotUseFailsTheSnapshotAndIsLeftAlone) {
    const ConfigModel m = OddModel();
    ASSERT_TRUE(Record(m, HeldByNetwork(m)));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(path);
        other.open();
        QSqlQuery lock("BEGIN EXCLUSIVE", other);
        EXPECT_TRUE(!Record(m, HeldByNetwork(m), SnapshotCause::Send) && !error.isEmpty());
        QSqlQuery("ROLLBACK", other);
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    EXPECT_TRUE(Record(m, HeldByNetwork(m), SnapshotCause::Send));
    EXPECT_EQ(Ids().size(), 2u);
    EXPECT_TRUE(!Open(dir.filePath("missing/history.db")) && !error.isEmpty());
    cfgtest::Sql(path, "PRAGMA user_version=99");
    const QByteArray before = cfgtest::ReadAll(path);
    EXPECT_TRUE(!Open(path) && error.contains("99")) << error.toStdString();
    EXPECT_EQ(cfgtest::ReadAll(path), before);
}

}  // namespace
}  // namespace cfg
