#include "core/files/configsave.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/model/configmodel.h"
#include "support/itemrows.h"
#include "support/testsupport.h"

using cfgtest::ReadAll;
using cfgtest::Row;

namespace cfg {
namespace {

QByteArray Lines(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* line : lines) out += QByteArray(line) + "\r\n";
    return out;
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
    model.AppendItem(Row(0, 12, kNumber, 1, 4, "2", "ms0001"));
    model.AppendItem(Row(0, 15, kEnumeration, 1, 5, "1", "ms0001", {"NO", "SI"}));
    model.AppendItem(Row(0, 152, kString, 20, 1, " ABC ", "mb0020001"));
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
    model.AppendItem(Row(0, 153, kString, 9, 1, " X ", "ms0001"));
    model.AppendItem(Row(0, 40, 6, 1, 1, "", "mb0050001"));
    model.AppendItem(Row(0, 41, kEnumeration, 0, 1, "0", "mb0050001"));
    model.AppendItem(Row(0, 152, kString, 9, 1, " ", "mb0050001"));
    model.AppendItem(Row(0, 153, kString, 9, 1, " X ", "mb0050001"));
    model.AppendItem(Row(0, 154, kString, 9, 1, "  Y", "mb0050001"));
    model.AppendItem(Row(0, 158, kString, 9, 1, " Z ", "mb0050001"));
    model.AppendItem(Row(0, 60, kNumber, 4, 120, "-5", "mb0050001"));
    model.AppendItem(Row(0, 61, kNumber, 4, 1, "", "mb0050001"));
    model.Item(8).known = false;
    const QByteArray text = Save(true, {4, 5, 9});
    const char* const parts[] = {
        "<VALUE>  X  </VALUE>\r\n",  // under COMMON a value keeps its spaces
        // A menu without items is still written; a scale without menus is an empty block.
        "    <SCALE number=\"4\">\r\n            <MENU id=\"2\" text=\"Vacio\">\r\n"
        "            </MENU>\r\n\r\n    </SCALE>\r\n\r\n",
        "    <SCALE number=\"9\">\r\n    </SCALE>\r\n\r\n",
        // An unknown type has no TYPE line; an enumeration without options an empty AVAILABLE.
        "<ORDER> 1 </ORDER>\r\n                    </OPTION>",
        "<TYPE> enum </TYPE>\r\n                            <AVAILABLE>\r\n"
        "                            </AVAILABLE>\r\n",
        "<VALUE> ~ </VALUE>",
        "<VALUE> ~X~ </VALUE>",
        "<VALUE> ~ Y </VALUE>",
        "<VALUE>  Z  </VALUE>",
        "<VALUE> -5 </VALUE>\r\n                        <LENGTH> 4 </LENGTH>\r\n"
        "                        <ORDER> 120 </ORDER>",
        // A value never read has no VALUE line: loading would take it for 0.
        "<OPTION id=\"61\" text=\"Opcion 61\">\r\n                        <LENGTH> 4 </LENGTH>",
    };
    for (const char* part : parts) EXPECT_TRUE(text.contains(part)) << part;
}

TEST_F(ConfigSaveTest, TextsAreWrittenAsLatin1WithoutEscaping) {
    model.AppendMenu({0, 1, QString("Dirección <&>"), "ms0001"});
    model.AppendItem(Row(0, 1, kString, 9, 1, QString("Peña & <b>"), "ms0001"));
    model.Item(0).text = QString("Año \"x\"");
    const QByteArray text = Save(true, {});
    EXPECT_TRUE(text.contains("<MENU id=\"1\" text=\"Direcci\xF3n <&>\">"));
    EXPECT_TRUE(text.contains("<OPTION id=\"1\" text=\"A\xF1o \"x\"\">"));
    EXPECT_TRUE(text.contains("<VALUE> Pe\xF1\x61 & <b> </VALUE>"));
}

TEST_F(ConfigSaveTest, AFileThatCannotBeCreatedIsAnErrorAndNothingIsWritten) {
    const QString path = dir.filePath("missing/config.xml");
    QString error;
    EXPECT_FALSE(Guardar_Datos_Archivo(model, path, true, {}, &error));
    EXPECT_EQ(error, QString("Error opening document"));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ScalesInTree, TheScaleNodesInTheirOrder) {
    ConfigModel model;
    model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
    model.AddNode("Red", "Balanza", "B", "balanza", NodeKind::ScalesGroup);
    model.AddNode("Balanza", "bal007", "7", "g386", NodeKind::Scale, 7);
    model.AddNode("bal007", "b0070001", "i", "valor", NodeKind::ScaleItem, 7);
    model.AddNode("Balanza", "bal002", "2", "g386", NodeKind::Scale, 2);
    EXPECT_EQ(ScalesInTree(model), (std::vector<int>{7, 2}));
}

TEST(MarkSpaces, OneSpaceAtEachEnd) {
    EXPECT_EQ(MarkSpaces("  "), QString("~~"));
    EXPECT_EQ(MarkSpaces("   "), QString("~ ~"));
    EXPECT_EQ(MarkSpaces("a b"), QString("a b"));
    EXPECT_EQ(MarkSpaces(""), QString(""));
}

}  // namespace
}  // namespace cfg
