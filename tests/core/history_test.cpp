// The history store: snapshots that give back the model they were taken of, parts kept once,
// and a database that fails, is damaged or locked.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "core/editing/sendall.h"
#include "core/history/historystore.h"
#include "core/model/configmodel.h"
#include "support/testsupport.h"

namespace cfg {
namespace {

using cfgtest::Row;

// Odd corners a read can leave: a text no single byte stands for, an item before any menu, an
// option index out of range (its node text emptied), a value never read, a failed scale, two
// scales whose values pack alike.
ConfigModel OddModel() {
    ConfigModel m;
    m.Scales() = {{4, 2, "A1B2"}, {5, 3, "C3D4"}};
    m.AddNode({}, keys::kRoot, "Red", "mundo", NodeKind::Root);
    m.AddNode(keys::kRoot, keys::kSystem, "Datos Comunes", "sistema", NodeKind::SystemGroup);
    m.AddNode(keys::kSystem, "ms0001", QString::fromUtf8("Men\u00FA \u20AC"), "menu",
              NodeKind::SystemMenu);
    m.ExpandNode(keys::kSystem);
    m.AppendMenu({0, 1, QString::fromUtf8("Men\u00FA \u20AC"), "ms0001"});
    m.AppendItem(Row(0, 9, kNumber, 4, 1, "5"));
    const std::pair<ItemRow, QByteArray> rows[] = {
        {Row(0, 10, kString, 8, 1, {}, "ms0001", {}, "s0001"), "ab\x01 "},
        // Options longer than what a part packs at a time, one of them UTF-16.
        {Row(0, 11, kEnumeration, 1, 1, {}, "ms0001",
             {"No", "S\u00ED", QString(9000, QChar(0x20AC)), QString(20000, 'x')}, "s0002"),
         {}},
        {Row(0, 12, kNumber, 4, 120, {}, "ms0001", {}, "s0003"), {}},
        {Row(0, 13, kDate, 6, 1, {}, "ms0001", {}, "s0004"), "311224"},
    };
    for (const auto& [row, bytes] : rows) {
        m.AddNode("ms0001", row.key, row.text, "valor", NodeKind::SystemItem);
        m.AppendItem(row);
    }
    for (int scale : {4, 5}) m.AppendItem(Row(scale, 9, kNumber, 4, 1, "5"));
    StoreRead(m.Item(1), "ab? ", "ab\x01 ");
    StoreRead(m.Item(2), "7", {});
    StoreRead(m.Item(4), "311224", "311224");
    m.Item(3).known = false;
    for (int row : {1, 4}) m.SetItemNodeText(row);
    m.SetNodeText(m.FindNode("s0002"), {});
    m.SetReadFailures({{4, ReadFailure::ScaleValues}});
    return m;
}

class HistoryTest : public ::testing::Test {
  protected:
    std::optional<qint64> Record(const ConfigModel& m, const std::vector<Held>& held) {
        return store.Record(SnapshotCause::Read, "10.0.0.1:3001", m, held, &error);
    }
    int Parts() const {
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
            db.setDatabaseName(path);
            db.open();
            QSqlQuery q("SELECT count(*) FROM part", db);
            if (q.next()) n = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase("peek");
        return n;
    }

    QTemporaryDir dir;
    QString path = dir.filePath("history.db");
    HistoryStore store;
    QString error;
};

TEST_F(HistoryTest, ASnapshotGivesBackTheModelItWasTakenOf) {
    ASSERT_TRUE(store.Open(path, &error)) << error.toStdString();
    const ConfigModel m = OddModel();
    const auto id = Record(m, HeldByNetwork(m));
    ASSERT_TRUE(id) << error.toStdString();
    ConfigModel back;
    const auto info = store.Load(*id, back, &error);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->connection, "10.0.0.1:3001");
    EXPECT_EQ(info->known, 3);  // the first row was loaded, not read
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
    EXPECT_FALSE(store.Load(*id + 1, back, &error));
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(HistoryTest, AnUnchangedSnapshotAddsNoPartAndOneValueOnlyItsOwn) {
    ASSERT_TRUE(store.Open(path, &error));
    const ConfigModel m = OddModel();
    std::vector<Held> held = HeldByNetwork(m);
    ASSERT_TRUE(Record(m, held));
    const int first = Parts();
    ASSERT_TRUE(Record(m, held));
    EXPECT_EQ(Parts(), first);
    held[2].value = "1";
    ASSERT_TRUE(Record(m, held));
    EXPECT_EQ(Parts(), first + 2);  // the owner's values and the group naming them
    const auto list = store.List({}, &error);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 3u);
    EXPECT_EQ(list->back().id, 3);
}

// Hashed as it is packed, a part has the SHA-1 of its bytes: the store keeps it under that hash.
TEST(SnapshotParts, HashedAsPackedLikeTheirBytes) {
    const ConfigModel m = OddModel();
    const SnapshotParts hashed = HashSnapshot(m, HeldByNetwork(m));
    const SnapshotParts packed = EncodeSnapshot(m, HeldByNetwork(m));
    ASSERT_EQ(hashed.hashes.size(), packed.parts.size());
    for (std::size_t p = 0; p < packed.parts.size(); ++p) {
        EXPECT_EQ(hashed.hashes[p], PartHash(packed.parts[p])) << p;
        EXPECT_EQ(hashed.sizes[p], packed.parts[p].size()) << p;
    }
    EXPECT_EQ(PartHash("abc").toHex(), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

// Cut anywhere, a snapshot's parts are refused, never read past.
TEST(SnapshotParts, DamagedPartsAreRefused) {
    const ConfigModel m = OddModel();
    const SnapshotParts parts = EncodeSnapshot(m, HeldByNetwork(m));
    ConfigModel back;
    ASSERT_TRUE(DecodeSnapshot(parts.parts, back));
    for (std::size_t p = 0; p < parts.parts.size(); ++p) {
        for (qsizetype cut = 0; cut < parts.parts[p].size(); ++cut) {
            std::vector<QByteArray> damaged = parts.parts;
            damaged[p].truncate(cut);
            EXPECT_FALSE(DecodeSnapshot(damaged, back)) << p << " " << cut;
        }
        std::vector<QByteArray> longer = parts.parts;
        longer[p].append('\0');
        EXPECT_FALSE(DecodeSnapshot(longer, back)) << p;
    }
    std::vector<QByteArray> fewer = parts.parts;
    fewer.pop_back();
    EXPECT_FALSE(DecodeSnapshot(fewer, back));
}

TEST(SnapshotHeld, ASendHoldsWhatWasAcceptedAndForgetsWhatWentUnanswered) {
    ConfigModel m;
    for (int id : {1, 2, 3, 4}) m.AppendItem(Row(0, id, kNumber, 4, 1, "9"));
    for (int row = 0; row < 4; ++row) StoreRead(m.Item(row), "5", {});
    for (int row = 0; row < 4; ++row) m.Item(row).value = "9";
    SendSummary summary;
    summary.items = {{0, SendOutcome::Accepted},
                     {1, SendOutcome::Refused, 3},
                     {2, SendOutcome::Unanswered},
                     {3, SendOutcome::Skipped}};
    const std::vector<Held> held = HeldAfterSend(m, summary);
    const std::pair<bool, const char*> expected[] = {
        {true, "9"}, {true, "5"}, {false, ""}, {true, "5"}};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(std::pair(held[row].known, held[row].value),
                  std::pair(expected[row].first, QString(expected[row].second)))
            << row;
}

TEST_F(HistoryTest, ADamagedDatabaseIsMovedAsideAndANewOneStarted) {
    const QByteArray junk(8192, 'x');
    cfgtest::WriteAll(path, junk);
    ASSERT_TRUE(store.Open(path, &error)) << error.toStdString();
    EXPECT_TRUE(store.TakeNotice().contains("history.db.damaged"));
    EXPECT_EQ(cfgtest::ReadAll(path + ".damaged"), junk);
    const ConfigModel m = OddModel();
    EXPECT_TRUE(Record(m, HeldByNetwork(m)));
}

TEST_F(HistoryTest, ADatabaseItCannotUseIsLeftAlone) {
    EXPECT_FALSE(store.Open(dir.filePath("missing/history.db"), &error));
    EXPECT_FALSE(error.isEmpty());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery("PRAGMA user_version=99", db);
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    const QByteArray before = cfgtest::ReadAll(path);
    EXPECT_FALSE(store.Open(path, &error));
    EXPECT_TRUE(error.contains("99"));
    EXPECT_EQ(cfgtest::ReadAll(path), before);
}

// Another instance holding the database: the write gives up, and what was there stays.
TEST_F(HistoryTest, ALockedDatabaseFailsTheSnapshotAndKeepsTheOthers) {
    ASSERT_TRUE(store.Open(path, &error));
    const ConfigModel m = OddModel();
    ASSERT_TRUE(Record(m, HeldByNetwork(m)));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(path);
        other.open();
        QSqlQuery lock("BEGIN EXCLUSIVE", other);
        EXPECT_FALSE(Record(m, HeldByNetwork(m)));
        EXPECT_FALSE(error.isEmpty());
        QSqlQuery("ROLLBACK", other);
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    EXPECT_TRUE(Record(m, HeldByNetwork(m)));
    const auto list = store.List({}, &error);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 2u);
}

}  // namespace
}  // namespace cfg
