#include "core/files/configload.h"

#include <gtest/gtest.h>

#include "core/files/configsave.h"
#include "core/link/trafficlog.h"
#include "support/testsupport.h"

using cfgtest::Row;
using cfgtest::WriteAll;

namespace cfg {
namespace {

// The system with menu 3 and scale 2 with menu 7, as a read network leaves them.
class ConfigLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        op.log = &log;
        model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
        model.Scales() = {{2, 1, "0"}, {60, 1, "0"}};
        model.AppendMenu({0, 3, "Menu 3", "ms0001"});
        model.AppendMenu({2, 7, "Menu 7", "mb0020001"});
        model.AddNode("Red", "ms0001", "Menu 3", "menu", NodeKind::SystemMenu);
        model.AddNode("Red", "mb0020001", "Menu 7", "menu", NodeKind::ScaleMenu, 2);
        for (const ItemRow& row : {Row(0, 12, kNumber, 3, 4, "12", "ms0001"),
                                   Row(0, 15, kEnumeration, 2, 5, "1", "ms0001", {"NO", "SI"}),
                                   Row(0, 16, kDate, 8, 1, "01/01/03", "ms0001"),
                                   Row(0, 17, kString, 5, 100, "RO", "ms0001"),
                                   Row(0, 18, kString, 5, 99, "S", "ms0001"),
                                   Row(2, 152, kString, 20, 1, " ABC ", "mb0020001"),
                                   Row(2, 12, kNumber, 3, 4, "7", "mb0020001")})
            cfgtest::AddItem(model, row);
    }
    // Loads a file holding these lines inside the root, after `before`.
    bool Load(const QByteArray& inside, const QByteArray& before = {}) {
        WriteAll(dir.filePath("f.xml"),
                 before + "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n" +
                     inside + "\r\n</TARASCOPE>\r\n");
        op.lines.clear();
        return Leer_Datos_Archivo(model, dir.filePath("f.xml"), op).ok();
    }
    static QByteArray Option(int id, const QByteArray& value, int length, int order,
                             const QByteArray& type) {
        return "<OPTION id=\"" + QByteArray::number(id) + "\" text=\"x\"><VALUE> " + value +
               " </VALUE><LENGTH> " + QByteArray::number(length) + " </LENGTH><ORDER> " +
               QByteArray::number(order) + " </ORDER><TYPE> " + type + " </TYPE></OPTION>";
    }
    QString Value(int owner, int id) { return model.Items()[model.FindItem(owner, id)].value; }

    QTemporaryDir dir;
    TrafficLog log{dir.path()};
    ConfigModel model;
    cfgtest::RecordingOperation op;
};

TEST_F(ConfigLoadTest, OptionsAreMatchedAndCheckedOneByOne) {
    // The option, the line that turns it away (if any), the system item then holding the value.
    const std::tuple<QByteArray, const char*, int, const char*> cases[] = {
        // clang-format off
        {Option(12, "1234", 3, 4, "number"), "Ignorando item 12 con valor incompatible", 12, "12"},
        {Option(12, "", 3, 4, "number"), nullptr, 12, "0"},
        {Option(12, "999", 3, 4, "number"), nullptr, 12, "999"},
        {Option(12, "9", 4, 4, "number"), "Ignorando item 12 con longitud no coincidente", 12, "12"},
        {Option(12, "9", 3, 5, "number"), "Ignorando item 12 con orden no coincidente", 12, "12"},
        {Option(12, "9", 3, 4, "string"), "Ignorando item 12 con tipo no coincidente", 12, "12"},
        {Option(15, "2", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "-1", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "1.6", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "1.4", 2, 5, "enum"), nullptr, 15, "1.4"},
        {Option(16, "", 8, 1, "date"), nullptr, 16, ""},
        {Option(16, "xx/yy/zz", 8, 1, "date"), nullptr, 16, "xx/yy/zz"},
        {Option(16, "311299", 8, 1, "date"), nullptr, 16, "31/12/99"},
        {Option(16, "31129", 8, 1, "date"), "Ignorando item 16 con valor incompatible", 16, "01/01/03"},
        {Option(17, "NEW", 5, 100, "string"), nullptr, 17, "RO"},  // order 100: left alone
        {Option(18, "ABCDE", 5, 99, "string"), nullptr, 18, "ABCDE"},  // as long as the item
        {Option(18, "ABCDEF", 5, 99, "string"), "Ignorando item 18 con valor incompatible", 18, "S"},
        {Option(152, "x", 20, 1, "string"), "Ignorando item 152 no coincidente", 12, "12"},
        {Option(12, "1", 3, 4, "numero"), "Ignorando item 12 contenido no válido", 12, "12"},
        // clang-format on
    };
    for (const auto& [option, why, id, value] : cases) {
        SCOPED_TRACE(option.constData());
        for (const auto& [item, was] :
             {std::pair(12, "12"), {15, "1"}, {16, "01/01/03"}, {18, "S"}})
            model.Item(model.FindItem(0, item)).value = was;
        ASSERT_TRUE(Load("<COMMON><MENU id=\"3\" text=\"m\">" + option + "</MENU></COMMON>"));
        EXPECT_EQ(op.lines.filter("Ignorando"), why ? QStringList{why} : QStringList());
        EXPECT_EQ(Value(0, id), QString(value));
    }
}

// A file cannot keep the spaces around a value: "~" stands for one at either end, the two
// reserved words get theirs back, and a string that differs from what was read only by them is
// what was read.
TEST_F(ConfigLoadTest, MarkedAndReservedValues) {
    const auto load = [&](const QByteArray& value) {
        return Load("<SCALE number=\"2\"><MENU id=\"7\" text=\"m\">" +
                    Option(152, value, 20, 1, "string") + "</MENU></SCALE>");
    };
    for (const char* word : {"qwZtR", "LmKdV"}) {
        ASSERT_TRUE(load(word));
        EXPECT_EQ(Value(2, 152), QString(word) + ' ');
    }
    ASSERT_TRUE(load("~ X ~"));
    EXPECT_EQ(Value(2, 152), QString("  X  "));
    EXPECT_TRUE(cfgtest::ReadAll(dir.filePath("nlog.txt")).contains("-->~ X ~\r\n"));  // as read
    ItemRow& group = model.Item(model.FindItem(2, 152));
    StoreRead(group, "  A B ", "  A B ");
    ASSERT_TRUE(load("A B"));
    EXPECT_FALSE(Changed(group));
    ASSERT_TRUE(load("A  B"));
    EXPECT_TRUE(Changed(group));
    ItemRow& number = model.Item(model.FindItem(2, 12));  // a number is compared as a number
    StoreRead(number, "7", {});
    ASSERT_TRUE(Load("<SCALE number=\"2\"><MENU id=\"7\" text=\"m\">" +
                     Option(12, "007", 3, 4, "number") + "</MENU></SCALE>"));
    EXPECT_EQ(Value(2, 12) + (Changed(number) ? " changed" : ""), QString("007"));
}

// A file saved by a UTF-8 editor is read as one, as its first line says, and a value of it holding
// a character that no byte of the scales' code page stands for is turned away; a file that is not
// UTF-8 throughout is ISO-8859-1, byte for byte.
TEST_F(ConfigLoadTest, AFileInUtf8IsReadAsUtf8) {
    const char* const utf8 = "****Fichero leído como UTF-8";
    const char* const latin1 = "****leyendo datos comunes";
    const std::tuple<QByteArray, QByteArray, QByteArray, const char*, const char*> cases[] = {
        // clang-format off
        // before the file, the menu's text, the value of item 18, the first line, the value held
        {{}, "m", "Pe\xC3\xB1", utf8, "Pe\u00F1"}, {"\xEF\xBB\xBF", "m", "Pe\xC3\xB1", utf8, "Pe\u00F1"},
        {"\xEF\xBB\xBF", "m", "Pena", latin1, "Pena"}, {{}, "m", "Pe\xF1", latin1, "Pe\u00F1"},
        {{}, QByteArray(400, 'm'), "Pe\xC3\xB1", utf8, "Pe\u00F1"},  // told by the whole file
        {{}, "m\xED", "Pe\xC3\xB1", latin1, "Pe\u00C3\u00B1"},  // UTF-8 within ISO-8859-1
        {{}, "m\xED", "\xD1\xBA", latin1, "\u00D1\u00BA"},
        {{}, "m", "\xC0\xB1", latin1, "\u00C0\u00B1"},  // an overlong form is no UTF-8
        {{}, "m", "\xC3\xB1\xE2\x82\xAC", utf8, "S"},  // the euro sign
        {{}, "m", "\x85", latin1, "\u0085"},  // a byte goes as it is
        // clang-format on
    };
    for (const auto& [before, menu, value, first, held] : cases) {
        SCOPED_TRACE(value.toStdString());
        model.Item(model.FindItem(0, 18)).value = "S";
        const QByteArray option = Option(18, value, 5, 99, "string");
        ASSERT_TRUE(Load(
            "<COMMON><MENU id=\"3\" text=\"" + menu + "\">" + option + "</MENU></COMMON>", before));
        EXPECT_EQ(op.lines.value(0), QString::fromUtf8(first));
        EXPECT_EQ(op.lines.filter("Ignorando"),
                  QString(held) == "S" ? QStringList{"Ignorando item 18 con valor incompatible"}
                                       : QStringList());
        EXPECT_EQ(Value(0, 18), QString::fromUtf8(held));
    }
}

// A file cut short anywhere ends with an element open, and is refused whole; only a cut past the
// root's end leaves a whole file, and one before the root no configuration. No file that cannot
// be read changes anything.
TEST_F(ConfigLoadTest, AFileCutShortOrUnreadableLoadsNothing) {
    WriteAll(dir.filePath("bad.xml"), "<a>\r\n</b>\r\n");  // an unmatched end tag is said first
    const Result<bool> bad = Leer_Datos_Archivo(model, dir.filePath("bad.xml"), op);
    ASSERT_FALSE(bad);
    EXPECT_EQ((QStringList{bad.error().before, bad.error().text}),
              (QStringList{"ERR",
                           "Error de acceso al fichero, o no es un fichero con estructura "
                           "válida"}));
    EXPECT_TRUE(op.lines.isEmpty());
    EXPECT_EQ(model.NodeText("k0_12"), QString("Opcion 12"));
    WriteAll(dir.filePath("other.xml"), "<OTHER></OTHER>");
    model.Item(model.FindItem(0, 15)).value.clear();  // an empty list value is its first option
    ASSERT_TRUE(Leer_Datos_Archivo(model, dir.filePath("other.xml"), op));
    EXPECT_EQ(op.lines.at(0), QString("****no se encontraron datos de configuración"));
    EXPECT_EQ(model.NodeText("k0_15"), QString("Opcion 15 = NO"));
    const std::pair<QString, OpenPath> paths[] = {
        {"   ", OpenPath::Empty},
        {dir.filePath("bad.xml"), OpenPath::Ok},
        {dir.path(), OpenPath::Missing},
        {QString("a") + QChar(0) + "b", OpenPath::Invalid}};
    for (const auto& [path, answer] : paths) EXPECT_EQ(CheckOpenPath(path), answer);
    ASSERT_TRUE(Guardar_Datos_Archivo(model, dir.filePath("whole.xml"), true, {2}));
    const QByteArray whole = cfgtest::ReadAll(dir.filePath("whole.xml"));
    const qsizetype root = whole.indexOf("<TARASCOPE>"), end = whole.indexOf("</TARASCOPE>") + 12;
    for (qsizetype size = 0; size <= whole.size(); ++size) {
        model.Item(model.FindItem(2, 12)).value = "99";
        WriteAll(dir.filePath("cut.xml"), whole.left(size));
        const Result<bool> read = Leer_Datos_Archivo(model, dir.filePath("cut.xml"), op);
        EXPECT_EQ(read.ok(), size >= end || (size >= root - 2 && size <= root)) << size;
        EXPECT_EQ(read.ok() && *read, size >= end) << size;  // held a configuration
        EXPECT_EQ(Value(2, 12), size >= end ? "7" : "99") << size;
        EXPECT_TRUE(op.TakeShown().isEmpty()) << size;  // the front end says it, not the load
    }
}

TEST_F(ConfigLoadTest, SectionsScalesAndMenusAreLogged) {
    const std::pair<QByteArray, QStringList> cases[] = {
        {"<SCALE number=\"0\"></SCALE><SCALE number=\"61\"></SCALE><SCALE number=\"7\"></SCALE>"
         "<SCALE></SCALE><SCALE number=\"2\"></SCALE><OTHER></OTHER><SCALE number=\"9\" "
         "number=\"60\"></SCALE>",
         {"****No existen datos comunes", "****leyendo datos de balanzas",
          "***Ignorando dato de balanza sin número válido",
          "***Ignorando dato de balanza sin número válido",
          "***Ignorando dato de balanza 7 no existente en el sistema actual",
          "***Ignorando dato de balanza sin número", "***leyendo datos de balanza 2",
          "***datos de balanza vacíos", "***leyendo datos de balanza 60",
          "***datos de balanza vacíos"}},
        {"<COMMON><MENU text=\"a\"></MENU><MENU></MENU><MENU id=\"9\"></MENU>"
         "<MENU id=\"3\"><Option></Option><JUNK></JUNK></MENU><MENU id=\"3\" "
         "id=\"9\"></MENU><X></X></COMMON>",
         {"****leyendo datos comunes", "**Ignorando menú sin ID reconocido MENU",
          "**Ignorando menu no válido MENU", "**Ignorando menú MENU - ID no coincidente 9",
          "**tratando menú 3", "Ignorando item sin ID", "**Ignorando elemento desconocido JUNK",
          "**tratando menú 3", "**Menú vacío", "****Ignorando elemento X",
          "****leyendo datos de balanzas"}},
        {"<COMMON></COMMON>",
         {"****leyendo datos comunes", "****datos comunes vacíos",
          "****leyendo datos de balanzas"}},
    };
    for (const auto& [inside, lines] : cases) {
        ASSERT_TRUE(Load(inside));
        EXPECT_EQ(op.lines,
                  lines + QStringList({"****Actualizando árbol", "****Proceso finalizado"}));
    }
}

}  // namespace
}  // namespace cfg
