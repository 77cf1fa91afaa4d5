#include "files/configsave.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "model/configmodel.h"
#include "support/testsupport.h"
#include "xml/xmlerror.h"

using cfgtest::ReadAll;

namespace cfg {
namespace {

QByteArray Lines(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* line : lines) out += QByteArray(line) + "\r\n";
    return out;
}

ItemRow Item(int id, int type, const QString& text, const QString& value, int length, int order,
             const QString& menuKey, QStringList options = {}) {
    ItemRow row;
    row.id = id;
    row.type = type;
    row.text = text;
    row.value = value;
    row.length = length;
    row.order = order;
    row.menuKey = menuKey;
    row.options = std::move(options);
    row.known = true;
    return row;
}

class ConfigSaveTest : public ::testing::Test {
  protected:
    QByteArray Save(bool common, const std::vector<int>& scales) {
        const QString path = dir.filePath("config.xml");
        Guardar_Datos_Archivo(model, path, common, scales);
        return ReadAll(path);
    }
    QTemporaryDir dir;
    ConfigModel model;
};

TEST_F(ConfigSaveTest, WorkedExampleByteForByte) {
    model.AppendMenu({0, 3, "Menu 3", "ms0001"});
    model.AppendMenu({2, 7, "Menu 7", "mb0020001"});
    model.AppendItem(Item(12, kNumber, "Opcion 12", "2", 1, 4, "ms0001"));
    model.AppendItem(Item(15, kEnumeration, "Opcion 15", "1", 1, 5, "ms0001", {"NO", "SI"}));
    model.AppendItem(Item(152, kString, "Opcion 152", " ABC ", 20, 1, "mb0020001"));
    EXPECT_EQ(Save(true, {2}), Lines({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>",
                                      "<TARASCOPE>",
                                      "    <COMMON>",
                                      "            <MENU id=\"3\" text=\"Menu 3\">",
                                      "                    <OPTION id=\"12\" text=\"Opcion 12\">",
                                      "                        <VALUE> 2 </VALUE>",
                                      "                        <LENGTH> 1 </LENGTH>",
                                      "                        <ORDER> 4 </ORDER>",
                                      "                        <TYPE> number </TYPE>",
                                      "                    </OPTION>",
                                      "",
                                      "                    <OPTION id=\"15\" text=\"Opcion 15\">",
                                      "                        <VALUE> 1 </VALUE>",
                                      "                        <LENGTH> 1 </LENGTH>",
                                      "                        <ORDER> 5 </ORDER>",
                                      "                        <TYPE> enum </TYPE>",
                                      "                            <AVAILABLE>",
                                      "                                <ITEM> NO </ITEM>",
                                      "                                <ITEM> SI </ITEM>",
                                      "                            </AVAILABLE>",
                                      "",
                                      "                    </OPTION>",
                                      "",
                                      "            </MENU>",
                                      "",
                                      "    </COMMON>",
                                      "",
                                      "    <SCALE number=\"2\">",
                                      "            <MENU id=\"7\" text=\"Menu 7\">",
                                      "                    <OPTION id=\"152\" text=\"Opcion 152\">",
                                      "                        <VALUE> ~ABC~ </VALUE>",
                                      "                        <LENGTH> 20 </LENGTH>",
                                      "                        <ORDER> 1 </ORDER>",
                                      "                        <TYPE> string </TYPE>",
                                      "                    </OPTION>",
                                      "",
                                      "            </MENU>",
                                      "",
                                      "    </SCALE>",
                                      "",
                                      "</TARASCOPE>",
                                      ""}));
    // The model keeps the spaces: only the file is marked.
    EXPECT_EQ(model.Items()[2].value, QString(" ABC "));
}

TEST_F(ConfigSaveTest, NothingSelectedGivesAnEmptyRoot) {
    model.AppendMenu({0, 3, "Menu 3", "ms0001"});
    EXPECT_EQ(Save(false, {}), Lines({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>",
                                      "<TARASCOPE>", "</TARASCOPE>", ""}));
}

TEST_F(ConfigSaveTest, EdgesOfTheFormat) {
    model.AppendMenu({0, 1, "Comun", "ms0001"});
    model.AppendMenu({4, 2, "Vacio", "mb0040001"});
    model.AppendMenu({5, 3, "Grupo", "mb0050001"});
    model.AppendItem(Item(153, kString, "G", " X ", 9, 1, "ms0001"));
    model.AppendItem(Item(40, 6, "Raro", "", 1, 1, "mb0050001"));
    model.AppendItem(Item(41, kEnumeration, "Sin", "0", 0, 1, "mb0050001"));
    model.AppendItem(Item(152, kString, "A", " ", 9, 1, "mb0050001"));
    model.AppendItem(Item(153, kString, "B", " X ", 9, 1, "mb0050001"));
    model.AppendItem(Item(154, kString, "C", "  Y", 9, 1, "mb0050001"));
    model.AppendItem(Item(158, kString, "D", " Z ", 9, 1, "mb0050001"));
    model.AppendItem(Item(60, kNumber, "Neg", "-5", 4, 120, "mb0050001"));
    const QByteArray text = Save(true, {4, 5, 9});
    // Under COMMON the value keeps its spaces: two on each side of X.
    EXPECT_TRUE(text.contains("<VALUE>  X  </VALUE>\r\n"));
    // A menu without items is still written; a scale without menus is an empty SCALE block.
    EXPECT_TRUE(
        text.contains("    <SCALE number=\"4\">\r\n            <MENU id=\"2\" text=\"Vacio\">\r\n"
                      "            </MENU>\r\n\r\n    </SCALE>\r\n\r\n"));
    EXPECT_TRUE(text.contains("    <SCALE number=\"9\">\r\n    </SCALE>\r\n\r\n"));
    // An unknown type has no TYPE line; an enumeration without options an empty AVAILABLE.
    EXPECT_TRUE(text.contains("<ORDER> 1 </ORDER>\r\n                    </OPTION>"));
    EXPECT_TRUE(
        text.contains("<TYPE> enum </TYPE>\r\n                            <AVAILABLE>\r\n"
                      "                            </AVAILABLE>\r\n"));
    EXPECT_TRUE(text.contains("<VALUE> ~ </VALUE>"));
    EXPECT_TRUE(text.contains("<VALUE> ~X~ </VALUE>"));
    EXPECT_TRUE(text.contains("<VALUE> ~ Y </VALUE>"));
    EXPECT_TRUE(text.contains("<VALUE>  Z  </VALUE>"));
    EXPECT_TRUE(
        text.contains("<VALUE> -5 </VALUE>\r\n                        <LENGTH> 4 </LENGTH>\r\n"
                      "                        <ORDER> 120 </ORDER>"));
}

TEST_F(ConfigSaveTest, TextsAreWrittenAsLatin1WithoutEscaping) {
    model.AppendMenu({0, 1, QString("Dirección <&>"), "ms0001"});
    model.AppendItem(Item(1, kString, QString("Año \"x\""), QString("Peña & <b>"), 9, 1, "ms0001"));
    const QByteArray text = Save(true, {});
    EXPECT_TRUE(text.contains("<MENU id=\"1\" text=\"Direcci\xF3n <&>\">"));
    EXPECT_TRUE(text.contains("<OPTION id=\"1\" text=\"A\xF1o \"x\"\">"));
    EXPECT_TRUE(text.contains("<VALUE> Pe\xF1\x61 & <b> </VALUE>"));
}

TEST_F(ConfigSaveTest, AFileThatCannotBeCreatedIsAnErrorAndNothingIsWritten) {
    const QString path = dir.filePath("missing/config.xml");
    try {
        Guardar_Datos_Archivo(model, path, true, {});
        FAIL() << "no error";
    } catch (const XmlError& e) {
        EXPECT_EQ(e.code(), XmlError::OpenFailed);
        EXPECT_EQ(e.text(), QString("Error opening document"));
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ScalesInTree, NumbersFromScaleNodeKeys) {
    ConfigModel model;
    model.AddNode({}, "Red", "Red", "mundo");
    model.AddNode("Red", "Balanza", "B", "balanza");
    for (const char* key : {"bal007", "bal07x", "bal0071", "bal002", "b0070001"})
        model.AddNode("Balanza", key, key, "g386");
    EXPECT_EQ(ScalesInTree(model), (std::vector<int>{7, 2}));
}

TEST(MarkSpaces, OneSpaceAtEachEnd) {
    EXPECT_EQ(MarkSpaces(" "), QString("~"));
    EXPECT_EQ(MarkSpaces("  "), QString("~~"));
    EXPECT_EQ(MarkSpaces("   "), QString("~ ~"));
    EXPECT_EQ(MarkSpaces("a b"), QString("a b"));
    EXPECT_EQ(MarkSpaces(""), QString(""));
}

}  // namespace
}  // namespace cfg
