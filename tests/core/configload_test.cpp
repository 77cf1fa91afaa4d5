#include "core/files/configload.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/files/configsave.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "support/itemrows.h"
#include "support/testsupport.h"

using cfgtest::RecordingOperation;
using cfgtest::Row;
using cfgtest::WriteAll;

namespace cfg {
namespace {

// The system with menu 3 and scale 2 with menu 7, as a read network leaves them.
class ConfigLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
        model.Scales().push_back({2, 1, "0"});
        model.AddNode("Red", "ms0001", "Menu 3", "menu", NodeKind::SystemMenu);
        model.AddNode("Red", "mb0020001", "Menu 7", "menu", NodeKind::ScaleMenu, 2);
        model.AppendMenu({0, 3, "Menu 3", "ms0001"});
        model.AppendMenu({2, 7, "Menu 7", "mb0020001"});
        for (ItemRow row : {Row(0, 12, kNumber, 3, 4, "12", "ms0001"),
                            Row(0, 15, kEnumeration, 2, 5, "1", "ms0001", {"NO", "SI"}),
                            Row(0, 16, kDate, 8, 1, "01/01/03", "ms0001"),
                            Row(0, 17, kString, 5, 120, "RO", "ms0001"),
                            Row(2, 152, kString, 20, 1, " ABC ", "mb0020001"),
                            Row(2, 12, kNumber, 3, 4, "7", "mb0020001")}) {
            row.key = QString("k%1_%2").arg(row.owner).arg(row.id);
            model.AddNode(row.menuKey, row.key, row.text, "valor",
                          row.owner == 0 ? NodeKind::SystemItem : NodeKind::ScaleItem, row.owner);
            model.AppendItem(row);
        }
    }
    // Loads a file holding these lines inside the root.
    bool Load(const QByteArray& inside) {
        WriteAll(dir.filePath("f.xml"),
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n"
                 "<TARASCOPE>\r\n" +
                     inside + "\r\n</TARASCOPE>\r\n");
        op.lines.clear();
        return Leer_Datos_Archivo(model, dir.filePath("f.xml"), op);
    }
    static QByteArray Option(int id, const QByteArray& value, int length, int order,
                             const QByteArray& type) {
        return "<OPTION id=\"" + QByteArray::number(id) + "\" text=\"x\"><VALUE> " + value +
               " </VALUE><LENGTH> " + QByteArray::number(length) + " </LENGTH><ORDER> " +
               QByteArray::number(order) + " </ORDER><TYPE> " + type + " </TYPE></OPTION>";
    }
    QString Value(int owner, int id) { return model.Items()[model.FindItem(owner, id)].value; }

    QTemporaryDir dir;
    ConfigModel model;
    RecordingOperation op;
};

TEST_F(ConfigLoadTest, SavedFileLoadsBackUnchanged) {
    const QString path = dir.filePath("saved.xml");
    Guardar_Datos_Archivo(model, path, true, {2});
    std::vector<QString> before;
    for (const ItemRow& item : model.Items()) before.push_back(item.value);
    TrafficLog nlog(dir.path());
    op.log = &nlog;
    ASSERT_TRUE(Leer_Datos_Archivo(model, path, op));
    // Every text read from the file is in nlog.txt, as the file holds it.
    EXPECT_TRUE(cfgtest::ReadAll(dir.filePath("nlog.txt")).contains("-->~ABC~\r\n"));
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(model.Items()[i].value, before[i]) << i;
    EXPECT_EQ(op.lines,
              (QStringList{"****leyendo datos comunes", "**tratando menú 3", "tratando item 12",
                           "tratando item 15", "tratando item 16", "tratando item 17",
                           "****leyendo datos de balanzas", "***leyendo datos de balanza 2",
                           "**tratando menú 7", "tratando item 152", "tratando item 12",
                           "****Actualizando árbol", "****Proceso finalizado"}));
    EXPECT_TRUE(op.shown.empty());
    EXPECT_EQ(model.NodeText("k0_15"), QString("Opcion 15 = SI"));
    EXPECT_EQ(model.NodeText("k2_152"), QString("Opcion 152 =  ABC "));
}

TEST_F(ConfigLoadTest, OptionsAreMatchedAndCheckedOneByOne) {
    struct Case {
        QByteArray option;
        const char* line;  // the line that turns the option away, if any
        int id;            // of the system item that must then hold `value`
        const char* value;
    };
    const Case cases[] = {
        {Option(12, "1234", 3, 4, "number"), "Ignorando item 12 con valor incompatible", 12, "12"},
        {Option(12, "", 3, 4, "number"), nullptr, 12, "0"},
        {Option(12, "999", 3, 4, "number"), nullptr, 12, "999"},
        {Option(12, "9", 4, 4, "number"), "Ignorando item 12 con longitud no coincidente", 12,
         "12"},
        {Option(12, "9", 3, 5, "number"), "Ignorando item 12 con orden no coincidente", 12, "12"},
        {Option(12, "9", 3, 4, "string"), "Ignorando item 12 con tipo no coincidente", 12, "12"},
        {Option(15, "2", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "-1", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "1.6", 2, 5, "enum"), "Ignorando item 15 con valor incompatible", 15, "1"},
        {Option(15, "1.4", 2, 5, "enum"), nullptr, 15, "1.4"},
        {Option(15, "0", 2, 5, "enum"), nullptr, 15, "0"},
        {Option(16, "", 8, 1, "date"), nullptr, 16, ""},
        {Option(16, "xx/yy/zz", 8, 1, "date"), nullptr, 16, "xx/yy/zz"},
        {Option(16, "311299", 8, 1, "date"), nullptr, 16, "31/12/99"},
        {Option(16, "31129", 8, 1, "date"), "Ignorando item 16 con valor incompatible", 16,
         "01/01/03"},
        {Option(17, "NEW", 5, 120, "string"), nullptr, 17, "RO"},  // read-only: left alone
        {Option(152, "qwztr", 20, 1, "string"), "Ignorando item 152 no coincidente", 12, "12"},
        {Option(13, "1", 3, 4, "number"), "Ignorando item 13 no coincidente", 12, "12"},
        {Option(12, "1", 3, 4, "numero"), "Ignorando item 12 contenido no válido", 12, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option.constData());
        model.Item(model.FindItem(0, 12)).value = "12";
        model.Item(model.FindItem(0, 15)).value = "1";
        model.Item(model.FindItem(0, 16)).value = "01/01/03";
        ASSERT_TRUE(Load("<COMMON><MENU id=\"3\" text=\"m\">" + c.option + "</MENU></COMMON>"));
        if (c.line) {
            EXPECT_TRUE(op.lines.contains(QString(c.line))) << op.lines.join('|').toStdString();
        } else {
            for (const QString& line : op.lines) {
                EXPECT_FALSE(line.startsWith("Ignorando")) << line.toStdString();
            }
        }
        EXPECT_EQ(Value(0, c.id), QString(c.value));
    }
}

TEST_F(ConfigLoadTest, MarkedAndReservedValues) {
    ASSERT_TRUE(Load("<SCALE number=\"2\"><MENU id=\"7\" text=\"m\">" +
                     Option(152, "qwZtR", 20, 1, "string") + "</MENU></SCALE>"));
    EXPECT_EQ(Value(2, 152), QString("qwZtR "));
    ASSERT_TRUE(Load("<SCALE number=\"2\"><MENU id=\"7\" text=\"m\">" +
                     Option(152, "~ X ~", 20, 1, "string") + "</MENU></SCALE>"));
    EXPECT_EQ(Value(2, 152), QString("  X  "));
    // The spaces around a value, which a file cannot keep, come from what was read.
    ItemRow& group = model.Item(model.FindItem(2, 152));
    StoreRead(group, "  A B ", "  A B ");
    for (const char* value : {"A B", "A  B"}) {
        ASSERT_TRUE(Load("<SCALE number=\"2\"><MENU id=\"7\" text=\"m\">" +
                         Option(152, value, 20, 1, "string") + "</MENU></SCALE>"));
        EXPECT_EQ(Changed(group), QByteArray(value) != "A B") << value;
    }
}

TEST_F(ConfigLoadTest, SectionsScalesAndMenus) {
    ASSERT_TRUE(
        Load("<SCALE number=\"0\"></SCALE><SCALE number=\"61\"></SCALE>"
             "<SCALE number=\"7\"></SCALE><SCALE></SCALE><SCALE number=\"2\"></SCALE>"
             "<OTHER></OTHER>"));
    EXPECT_EQ(op.lines,
              (QStringList{"****No existen datos comunes", "****leyendo datos de balanzas",
                           "***Ignorando dato de balanza sin número válido",
                           "***Ignorando dato de balanza sin número válido",
                           "***Ignorando dato de balanza 7 no existente en el sistema actual",
                           "***Ignorando dato de balanza sin número",
                           "***leyendo datos de balanza 2", "***datos de balanza vacíos",
                           "****Actualizando árbol", "****Proceso finalizado"}));
    ASSERT_TRUE(
        Load("<COMMON><MENU text=\"a\"></MENU><MENU></MENU><MENU id=\"9\"></MENU>"
             "<MENU id=\"3\"><JUNK></JUNK></MENU><MENU id=\"3\"></MENU><X></X></COMMON>"));
    EXPECT_EQ(op.lines.mid(0, 9),
              (QStringList{"****leyendo datos comunes", "**Ignorando menú sin ID reconocido MENU",
                           "**Ignorando menu no válido MENU",
                           "**Ignorando menú MENU - ID no coincidente 9", "**tratando menú 3",
                           "**Ignorando elemento desconocido JUNK", "**tratando menú 3",
                           "**Menú vacío", "****Ignorando elemento X"}));
    ASSERT_TRUE(Load("<COMMON></COMMON>"));
    EXPECT_EQ(op.lines.at(1), QString("****datos comunes vacíos"));
}

TEST_F(ConfigLoadTest, UnreadableFilesChangeNothing) {
    WriteAll(dir.filePath("bad.xml"), "not xml");
    EXPECT_FALSE(Leer_Datos_Archivo(model, dir.filePath("bad.xml"), op));
    EXPECT_FALSE(Leer_Datos_Archivo(model, dir.filePath("none.xml"), op));
    ASSERT_EQ(op.shown.size(), 2u);
    EXPECT_EQ(op.shown[0].text,
              QString("Error de acceso al fichero, o no es un fichero con estructura válida"));
    EXPECT_TRUE(op.lines.isEmpty());
    EXPECT_EQ(model.NodeText("k0_12"), QString("Opcion 12"));

    WriteAll(dir.filePath("other.xml"), "<OTHER></OTHER>");
    ASSERT_TRUE(Leer_Datos_Archivo(model, dir.filePath("other.xml"), op));
    EXPECT_EQ(op.lines.at(0), QString("****no se encontraron datos de configuración"));
}

TEST(CheckOpenPath, Answers) {
    QTemporaryDir dir;
    WriteAll(dir.filePath("x.xml"), "x");
    EXPECT_EQ(CheckOpenPath("   "), OpenPath::Empty);
    EXPECT_EQ(CheckOpenPath(dir.filePath("x.xml")), OpenPath::Ok);
    EXPECT_EQ(CheckOpenPath(dir.filePath("y.xml")), OpenPath::Missing);
    EXPECT_EQ(CheckOpenPath(dir.path()), OpenPath::Missing);
    EXPECT_EQ(CheckOpenPath(QString("a") + QChar(0) + "b"), OpenPath::Invalid);
}

}  // namespace
}  // namespace cfg
