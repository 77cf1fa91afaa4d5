#include "core/editing/programming.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/editing/itemwrite.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"
#include "core/protocol/tools.h"
#include "itemrows.h"
#include "support/scriptedlink.h"
#include "support/testsupport.h"

using cfgtest::Bytes;
using cfgtest::ReadAll;
using cfgtest::RecordingOperation;
using cfgtest::ScriptedLink;
using cfgtest::WriteAnswer;

namespace cfg {
namespace {

QByteArray MenuAnswer(int count, const QByteArray& entries) {
    QByteArray reply = cfgtest::ReplyHeader() + Numero_A_Bytes(count, 2) + Bytes({0, 0}) + entries;
    if (reply.size() < 20) reply.append(20 - reply.size(), '\0');
    return reply;
}
QByteArray StringEntry(int id, const QByteArray& text) {
    return Numero_A_Bytes(id, 2) + Bytes({8, static_cast<int>(text.size())}) + text;
}

// A system menu and the same menu on scale 3, with an item of every type and the group.
class ProgrammingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        op.log = &log;
        model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
        for (int owner : {0, 3}) {
            const QString menuKey = owner == 0 ? keys::SystemMenu(1) : keys::ScaleMenu(3, 1);
            model.AddNode("Red", menuKey, "Menu", "menu",
                          owner == 0 ? NodeKind::SystemMenu : NodeKind::ScaleMenu, owner);
            model.AppendMenu({owner, 9, "Menu", menuKey});
            AddItem(owner, 12, kNumber, "Precio", 6, menuKey);
            AddItem(owner, 15, kEnumeration, "Modo", 2, menuKey, {"NO", "SI"});
            AddItem(owner, 20, kString, "Nombre", 10, menuKey);
            AddItem(owner, 30, kDate, "Fecha", 8, menuKey);
            for (int id = 152; id <= 157; ++id)
                AddItem(owner, id, kString, QString("G%1").arg(id), 20, menuKey);
        }
    }
    void AddItem(int owner, int id, int type, const QString& text, int length,
                 const QString& menuKey, const QStringList& options = {}) {
        ItemRow row = cfgtest::Row(owner, id, type, length, 1, "0", menuKey, options);
        row.text = text;
        row.key = owner == 0 ? keys::SystemItem(model.NextSystemItemSerial())
                             : keys::ScaleItem(owner, model.NextScaleItemSerial());
        model.AddNode(menuKey, row.key, text, "valor",
                      owner == 0 ? NodeKind::SystemItem : NodeKind::ScaleItem, owner);
        model.AppendItem(row);
    }
    Selection Select(int owner, int id) {
        const ItemRow& row = model.Items()[model.FindItem(owner, id)];
        return {row.owner, row.id, row.type, row.length};
    }
    ItemProgrammer::Result Program(int owner, int id, EditorInput input) {
        return programmer.Modificar_Valor(Select(owner, id), input, op);
    }
    QString NodeText(int owner, int id) {
        return model.NodeText(model.Items()[model.FindItem(owner, id)].key);
    }

    QTemporaryDir dir;
    TrafficLog log{dir.path()};
    ScriptedLink link;
    ConfigModel model;
    ItemProgrammer programmer{link, model};
    RecordingOperation op;
};

TEST_F(ProgrammingTest, WriteRequestOfEveryTypeAndOwner) {
    struct Case {
        int owner, id;
        EditorInput input;
        QByteArray entry;
    };
    const QByteArray head = Bytes({0x02, 0x7E});
    const Case cases[] = {
        {3, 12, {-1, "1234", true, ""}, Bytes({12, 0, 7, 0xD2, 0x04, 0, 0, 0})},
        {3, 12, {-1, "-2.5", true, ""}, Bytes({12, 0, 7, 0xFE, 0xFF, 0xFF, 0xFF, 0})},
        {0, 15, {1, "", false, ""}, Bytes({15, 0, 5, 1})},
        {0,
         20,
         {-1, "", false, "Año 1.5"},
         Bytes({20, 0, 8, 7, 'A', 0xA4, 'o', ' ', '1', '.', '5'})},
        {3, 30, {-1, "", false, " 31/02/99 "}, Bytes({30, 0, 9, 6, '3', '1', '0', '2', '9', '9'})},
    };
    for (const Case& c : cases) {
        link.requests.clear();
        link.SetResponder([](const QByteArray& r) {
            return ScriptedLink::Answer{0, r[10] == 1 ? WriteAnswer(1, 0) : MenuAnswer(0, {})};
        });
        EXPECT_EQ(Program(c.owner, c.id, c.input).outcome, ItemProgrammer::Outcome::Accepted);
        ASSERT_EQ(link.requests.size(), 2);  // the write, then the menu read back
        const QByteArray destination = c.owner == 0 ? Bytes({0, 0}) : Bytes({2, c.owner});
        EXPECT_EQ(link.requests[0],
                  head + destination + Bytes({0, 0, 0, 0, 0, 8, 1, 1, 0}) + c.entry);
        // The menu is read back from the item's own owner.
        EXPECT_EQ(link.requests[1], head + destination + Bytes({0, 0, 0, 0, 0, 8, 0, 9, 0, 1}));
    }
    EXPECT_TRUE(op.shown.empty());
}

TEST_F(ProgrammingTest, AcceptedValueIsStoredShownAndReadBack) {
    link.SetResponder([](const QByteArray& r) {
        if (r[10] == 1) return ScriptedLink::Answer{0, WriteAnswer(1, 0)};
        // The read-back reports the scale's own idea of the name.
        return ScriptedLink::Answer{0, MenuAnswer(1, StringEntry(20, "NUEVO"))};
    });
    EXPECT_EQ(Program(3, 15, {1, "", false, ""}).row, model.FindItem(3, 15));
    EXPECT_EQ(model.Items()[model.FindItem(3, 15)].value, QString("1"));
    EXPECT_EQ(NodeText(3, 15), QString("Modo = SI"));
    EXPECT_EQ(NodeText(3, 20), QString("Nombre = NUEVO"));
    // The system's item of the same ID keeps its own value.
    EXPECT_EQ(NodeText(0, 20), QString("Nombre"));
    EXPECT_EQ(op.sending, (std::vector<bool>{true, false}));
    // The number editor's text is stored as typed.
    Program(3, 12, {-1, "12.50", true, ""});
    EXPECT_EQ(model.Items()[model.FindItem(3, 12)].value, QString("12.50"));
    EXPECT_EQ(NodeText(3, 12), QString("Precio = 12.50"));
}

TEST_F(ProgrammingTest, InvalidValuesSendNothing) {
    struct Case {
        int id;
        EditorInput input;
        const char* message;
    };
    const Case cases[] = {
        {12, {-1, "12a", true, ""}, "Valor no válido"},
        {12, {-1, "", true, ""}, "Valor no válido"},
        {12, {-1, "2147483648", true, ""}, "Valor no válido"},
        {15, {-1, "", false, ""}, "Valor no válido"},
        {20, {-1, "", false, "ABCDEFGHIJK"}, "Valor no válido"},
        {30, {-1, "", false, "1/2/2003"}, "Introduzca las fechas en formato dd/mm/yy"},
        {30, {-1, "", false, "aa/bb/cc"}, "Introduzca las fechas en formato dd/mm/yy"},
        {30, {-1, "", false, "31-12-99"}, "Introduzca las fechas en formato dd/mm/yy"},
    };
    for (const Case& c : cases) {
        op.shown.clear();
        EXPECT_EQ(Program(3, c.id, c.input).outcome, ItemProgrammer::Outcome::Invalid);
        ASSERT_EQ(op.shown.size(), 1u);
        EXPECT_EQ(op.shown[0].text, QString(c.message));
        EXPECT_EQ(op.shown[0].icon, Icon::Critical);
    }
    EXPECT_TRUE(link.requests.isEmpty());
    EXPECT_TRUE(op.sending.empty());
}

TEST_F(ProgrammingTest, FailuresAndRefusalsChangeNothing) {
    struct Case {
        ScriptedLink::Answer answer;
        ItemProgrammer::Outcome outcome;
        QString message;
        Icon icon;
    };
    const Case cases[] = {
        {{5, {}}, ItemProgrammer::Outcome::Failed, "Error en el envío", Icon::Critical},
        {{0, WriteAnswer(1, 0).left(13)},
         ItemProgrammer::Outcome::Failed,
         "Error en el envío",
         Icon::Critical},
        {{0, WriteAnswer(0, 7)},
         ItemProgrammer::Outcome::Refused,
         "La balanza no acepta la programación de este Item con el valor indicado.\n(Desconocido)",
         Icon::Exclamation},
    };
    for (const Case& c : cases) {
        link.requests.clear();
        op.shown.clear();
        link.SetResponder([&](const QByteArray&) { return c.answer; });
        EXPECT_EQ(Program(3, 20, {-1, "", false, "X"}).outcome, c.outcome);
        EXPECT_EQ(link.requests.size(), 1);  // no read-back
        ASSERT_EQ(op.shown.size(), 1u);
        EXPECT_EQ(op.shown[0].text, c.message);
        EXPECT_EQ(op.shown[0].icon, c.icon);
        EXPECT_EQ(model.Items()[model.FindItem(3, 20)].value, QString("0"));
        EXPECT_EQ(NodeText(3, 20), QString("Nombre"));
    }
    // The refusal and its reason are in log.txt.
    EXPECT_TRUE(ReadAll(dir.filePath("log.txt")).endsWith("\r\n\r\nMotivo: (Desconocido)\r\n"));
}

TEST_F(ProgrammingTest, GroupItemsGoAsTheirWholeMenuTwice) {
    QByteArray menu;
    // The menu lists the group out of order: the edited value must still land on its item.
    // The others go back as the scale holds them, bytes no text stands for included.
    for (int id : {153, 152, 154, 155, 156, 157})
        menu += StringEntry(id, "v\x01|" + QByteArray::number(id));
    link.SetResponder([&](const QByteArray& r) {
        return ScriptedLink::Answer{0, r[10] == 1 ? WriteAnswer(6, 0) : MenuAnswer(6, menu)};
    });
    EXPECT_EQ(Program(3, 152, {-1, "", false, " nuevo "}).outcome,
              ItemProgrammer::Outcome::Accepted);
    ASSERT_EQ(link.requests.size(), 4);  // read group, write, write again, read back
    EXPECT_EQ(link.requests[0].mid(2, 2), Bytes({2, 3}));
    EXPECT_EQ(link.requests[1], link.requests[2]);
    QByteArray entries;
    for (int id : {153, 152, 154, 155, 156, 157})
        entries +=
            StringEntry(id, id == 152 ? QByteArray(" nuevo ") : "v\x01|" + QByteArray::number(id));
    EXPECT_EQ(link.requests[1], protocol::WriteRequest(3, {}).left(11) + Bytes({6, 0}) + entries);
    EXPECT_EQ(op.pauses, (std::vector<int>{200, 200}));
    EXPECT_EQ(programmer.ItemsGrupo()[1].value, QString(" nuevo "));
}

TEST_F(ProgrammingTest, GroupMenuThatCannotBeReadSendsNothing) {
    link.SetResponder([](const QByteArray&) { return ScriptedLink::Answer{4, {}}; });
    EXPECT_EQ(Program(0, 155, {-1, "", false, "x"}).outcome, ItemProgrammer::Outcome::Failed);
    EXPECT_EQ(link.requests.size(), 1);
    EXPECT_EQ(op.shown.at(0).text, QString("Error en el envío"));
    EXPECT_TRUE(op.sending.empty());  // the button keeps its caption
}

TEST_F(ProgrammingTest, ReadBackDecodesEveryEntryKind) {
    const QByteArray entries = Numero_A_Bytes(12, 2) + Bytes({7}) + Numero_A_Bytes(1234, 4) +
                               Bytes({'2'}) + Numero_A_Bytes(30, 2) + Bytes({9, 6}) + "311299" +
                               Numero_A_Bytes(20, 2) + Bytes({8, 0}) + Numero_A_Bytes(99, 2) +
                               Bytes({5, 1}) + Numero_A_Bytes(15, 2) + Bytes({5, 7});
    link.SetResponder([&](const QByteArray&) {
        return ScriptedLink::Answer{0, MenuAnswer(5, entries)};
    });
    programmer.Relee_Menu(model.FindItem(3, 12));
    EXPECT_EQ(NodeText(3, 12), QString("Precio = 617"));
    EXPECT_EQ(NodeText(3, 30), QString("Fecha = 31/12/99"));
    EXPECT_EQ(NodeText(3, 20), QString("Nombre = "));
    EXPECT_EQ(NodeText(3, 15), QString("Modo = "));  // no option 7
    EXPECT_EQ(programmer.Lee_Menu_Grupo(model.FindItem(3, 12), 3), 5);
    EXPECT_EQ(programmer.ItemsGrupo()[3].id, 99);
    EXPECT_EQ(programmer.ItemsGrupo()[0].value, QString("617"));
}

TEST(RefusalReason, Table) {
    const std::pair<int, const char*> table[] = {
        {0, "No hay datos"},
        {98, "No se puede programar"},
        {99, "No se puede consultar"},
        {100, "Destino incorrecto"},
        {101, "Error no identificado"},
        {102, "Función no reconocida"},
        {103, "Datos erróneos"},
        {104, "Identificador de función desconocido"},
        {105, "Timeout"},
        {112, "Balanza ocupada"},
        {113, "(Desconocido)"},
        {1, "(Desconocido)"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(protocol::RefusalReason(code), QString(text)) << code;
}

}  // namespace
}  // namespace cfg
