#include "core/editing/programming.h"

#include <gtest/gtest.h>

#include "core/editing/itemwrite.h"
#include "core/link/trafficlog.h"
#include "support/testsupport.h"

using namespace cfgtest;
using Outcome = cfg::ItemProgrammer::Outcome;

namespace cfg {
namespace {

QByteArray StringEntry(int id, const QByteArray& text) {
    return Entry(id, kString, Text(text));
}
QByteArray To(int owner, const QByteArray& body) {
    return cfgtest::Request(owner ? 0x0200 + owner : 0, body);
}

// Menu 9 on the system and on scale 3, with an item of every type and the group.
class ProgrammingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        op.log = &log;
        const QMap<int, int> types{{12, kNumber}, {15, kEnumeration}, {30, kDate}};  // or strings
        for (int owner : {0, 3}) {
            const QString menu = owner ? keys::ScaleMenu(3, 1) : keys::SystemMenu(1);
            model.AppendMenu({owner, 9, "Menu", menu});
            for (int id : {12, 15, 20, 30, 152, 153, 154, 155, 156, 157})
                cfgtest::AddItem(
                    model, cfgtest::Row(owner, id, types.value(id, kString), id == 20 ? 10 : 8, 1,
                                        "0", menu, {"NO", "SI"}));
        }
        Answer(WriteAnswer(1, 0), PagedAnswer(0, 0, {}));
    }
    void Answer(const QByteArray& write, const QByteArray& menu) {
        link.SetResponder([=](const QByteArray& r) {
            return ScriptedLink::Answer{0, r[10] == 1 ? write : menu};
        });
    }
    ItemProgrammer::Result Program(int owner, int id, EditorInput input) {
        const ItemRow& row = model.Items()[model.FindItem(owner, id)];
        return programmer.Modificar_Valor({row.owner, row.id, row.type, row.length}, input, op);
    }
    const ItemRow& Item(int owner, int id) { return model.Items()[model.FindItem(owner, id)]; }
    QString NodeText(int owner, int id) { return model.NodeText(Item(owner, id).key); }

    QTemporaryDir dir;
    TrafficLog log{dir.path()};
    ScriptedLink link;
    ConfigModel model;
    ItemProgrammer programmer{link, model};
    cfgtest::RecordingOperation op;
};

// A valid value goes as one write, then the item's menu is read back from the item's own owner;
// an invalid one says why and sends nothing (no entry).
TEST_F(ProgrammingTest, WriteRequestOfEveryTypeOrNothing) {
    const QString invalid = "critical: Valor no válido",
                  date = "critical: Introduzca las fechas en formato dd/mm/yy";
    const struct {
        int owner, id;
        EditorInput input;
        QByteArray entry;
        QString shown = {};
    } cases[] = {
        // clang-format off
        {3, 12, {-1, "1234", true, ""}, Entry(12, 7, Bytes({0xD2, 0x04, 0, 0, 0}))},
        {3, 12, {-1, "-2.5", true, ""}, Entry(12, 7, Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0}))},
        {3, 12, {-1, "2147483647", true, ""}, Entry(12, 7, Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0}))},
        {0, 15, {1, "", false, ""}, Entry(15, 5, Bytes({1}))},
        {0, 20, {-1, "", false, "Año 1.5"}, Entry(20, 8, Text("A\xA4o 1.5"))},
        {0, 20, {-1, "", false, "ABCDEFGHIJ"}, Entry(20, 8, Text("ABCDEFGHIJ"))},  // its length
        {3, 30, {-1, "", false, " 29/02/24 "}, Entry(30, 9, Text("290224"))},
        {3, 30, {-1, "", false, "31/12/99"}, Entry(30, 9, Text("311299"))},
        {3, 12, {-1, "12a", true, ""}, {}, invalid}, {3, 12, {-1, "", true, ""}, {}, invalid},
        {3, 12, {-1, "2147483648", true, ""}, {}, invalid}, {3, 15, {-1, "", false, ""}, {}, invalid},
        {3, 20, {-1, "", false, "ABCDEFGHIJK"}, {}, invalid},  // one longer than the item
        {3, 30, {-1, "", false, "1/2/2003"}, {}, date}, {3, 30, {-1, "", false, "31-12-99"}, {}, date},
        {3, 30, {-1, "", false, "aa/bb/cc"}, {}, date}, {3, 30, {-1, "", false, "31/02/25"}, {}, date},
        {3, 30, {-1, "", false, "29/02/25"}, {}, date}, {3, 30, {-1, "", false, "00/01/25"}, {}, date},
        {3, 30, {-1, "", false, "31/04/25"}, {}, date}, {3, 30, {-1, "", false, "01/13/25"}, {}, date},
        {3, 30, {-1, "", false, "1 /02/25"}, {}, date},
        // clang-format on
    };
    for (const auto& c : cases) {
        link.requests.clear();
        const bool valid = c.shown.isEmpty();
        EXPECT_EQ(Program(c.owner, c.id, c.input).outcome,
                  valid ? Outcome::Accepted : Outcome::Invalid);
        const QList<QByteArray> sent{To(c.owner, Bytes({1, 1, 0}) + c.entry),
                                     To(c.owner, Bytes({0, 9, 0, 1}))};
        EXPECT_EQ(link.requests, valid ? sent : QList<QByteArray>());
        if (valid) {
            EXPECT_EQ(EntryOf(Item(c.owner, c.id)), c.entry);  // held as it went out
        }
        EXPECT_EQ(op.TakeShown(), valid ? QStringList() : QStringList{c.shown});
    }
}

TEST_F(ProgrammingTest, AcceptedValueIsStoredShownAndReadBackForItsOwnerOnly) {
    Answer(WriteAnswer(1, 0),
           PagedAnswer(2, 0, StringEntry(20, "NUEVO") + Entry(30, kDate, Text("311299"))));
    EXPECT_EQ(Program(3, 15, {1, "", false, ""}).row, model.FindItem(3, 15));
    EXPECT_EQ(Item(3, 15).value, QString("1"));
    EXPECT_EQ(
        QStringList({NodeText(3, 15), NodeText(3, 20), NodeText(3, 30), NodeText(0, 20)}),
        (QStringList{"Opcion 15 = SI", "Opcion 20 = NUEVO", "Opcion 30 = 31/12/99", "Opcion 20"}));
    EXPECT_EQ(op.sending, (std::vector<bool>{true, false}));
    Program(3, 12, {-1, "12.50", true, ""});
    EXPECT_EQ(NodeText(3, 12), QString("Opcion 12 = 12.50"));  // as typed
}

TEST_F(ProgrammingTest, FailuresAndRefusalsChangeNothing) {
    const QString failed = "critical: Error en el envío";
    const std::tuple<ScriptedLink::Answer, Outcome, QString> cases[] = {
        {{5, {}}, Outcome::Failed, failed},
        {{0, WriteAnswer(1, 0).left(13)}, Outcome::Failed, failed},
        {{0, WriteAnswer(0, 98)},
         Outcome::Refused,
         "exclamation: La balanza no acepta la programación de este Item con el valor "
         "indicado.\nNo se puede programar"},
    };
    for (const auto& [answer, outcome, message] : cases) {
        link.requests.clear();
        link.SetResponder([&](const QByteArray&) { return answer; });
        EXPECT_EQ(Program(3, 20, {-1, "", false, "X"}).outcome, outcome);
        EXPECT_EQ(link.requests.size(), 1);  // no read-back
        EXPECT_EQ(op.TakeShown(), QStringList{message});
        EXPECT_EQ(Item(3, 20).value + NodeText(3, 20), QString("0Opcion 20"));
    }
    EXPECT_TRUE(cfgtest::ReadAll(dir.filePath("log.txt"))
                    .endsWith("\r\n\r\nMotivo: No se puede programar\r\n"));
}

// The scales take the items 152 to 157 only as their whole menu, sent twice. The menu may list
// them out of order; the others go back as the scale holds them, bytes no text stands for too.
TEST_F(ProgrammingTest, GroupItemsGoAsTheirWholeMenuTwice) {
    QByteArray menu, sent;
    for (int id : {153, 152, 154, 155, 156, 157}) {
        menu += StringEntry(id, "v\x01|" + QByteArray::number(id));
        sent += id == 152 ? StringEntry(id, " nuevo ")
                          : StringEntry(id, "v\x01|" + QByteArray::number(id));
    }
    Answer(WriteAnswer(6, 0), PagedAnswer(6, 0, menu));
    EXPECT_EQ(Program(3, 152, {-1, "", false, " nuevo "}).outcome, Outcome::Accepted);
    ASSERT_EQ(link.requests.size(), 4);  // read the group, write, write again, read back
    EXPECT_EQ(link.requests[0], To(3, Bytes({0, 9, 0, 1})));
    EXPECT_EQ(link.requests[1], To(3, Bytes({1, 6, 0}) + sent));
    EXPECT_EQ(link.requests[2], link.requests[1]);
    EXPECT_EQ(op.pauses, (std::vector<int>{200, 200}));

    link.requests.clear();
    link.SetResponder([](const QByteArray&) { return ScriptedLink::Answer{4, {}}; });
    EXPECT_EQ(Program(0, 155, {-1, "", false, "x"}).outcome, Outcome::Failed);
    // The group's read, and once more; it could not be read: nothing is written.
    EXPECT_EQ(link.requests, (QList<QByteArray>(2, To(0, Bytes({0, 9, 0, 1})))));
    EXPECT_EQ(op.TakeShown(), QStringList{"critical: Error en el envío"});
}

}  // namespace
}  // namespace cfg
