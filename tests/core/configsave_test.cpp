#include "core/files/configsave.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/model/configmodel.h"
#include "support/itemrows.h"
#include "support/testsupport.h"

using cfgtest::Row;

namespace cfg {
namespace {

class ConfigSaveTest : public ::testing::Test {
  protected:
    QByteArray Save(bool common, const std::vector<int>& scales) {
        const QString path = dir.filePath("config.xml");
        Guardar_Datos_Archivo(model, path, common, scales);
        return cfgtest::ReadAll(path);
    }
    QTemporaryDir dir;
    ConfigModel model;
};

TEST_F(ConfigSaveTest, FileBytesLatin1CrLfIndented) {
    model.AppendMenu({0, 3, QString("Menú <&>"), "ms0001"});
    model.AppendMenu({2, 7, "Menu 7", "mb0020001"});
    model.AppendMenu({4, 2, "Vacio", "mb0040001"});
    model.AppendItem(Row(0, 12, kNumber, 1, 4, "2", "ms0001"));
    model.AppendItem(Row(0, 15, kEnumeration, 1, 100, "1", "ms0001", {"NO", "SÍ"}));
    model.AppendItem(Row(0, 153, kString, 9, 1, " X ", "ms0001"));  // under COMMON: not marked
    model.AppendItem(Row(0, 152, kString, 20, 1, " ABC ", "mb0020001"));
    model.AppendItem(Row(0, 40, 6, 1, 1, "", "mb0020001"));  // no TYPE line
    model.AppendItem(Row(0, 61, kNumber, 4, 1, "", "mb0020001"));
    model.Item(5).known = false;  // no VALUE line: loading would take it for 0
    model.Item(0).text = QString("Año \"x\"");
    // clang-format off
    EXPECT_EQ(Save(true, {2, 4, 9}), QByteArray(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n    <COMMON>\r\n"
        "            <MENU id=\"3\" text=\"Men\xFA <&>\">\r\n"
        "                    <OPTION id=\"12\" text=\"A\xF1o \"x\"\">\r\n"
        "                        <VALUE> 2 </VALUE>\r\n                        <LENGTH> 1 </LENGTH>\r\n"
        "                        <ORDER> 4 </ORDER>\r\n                        <TYPE> number </TYPE>\r\n"
        "                    </OPTION>\r\n\r\n"
        "                    <OPTION id=\"15\" text=\"Opcion 15\">\r\n"
        "                        <VALUE> 1 </VALUE>\r\n                        <LENGTH> 1 </LENGTH>\r\n"
        "                        <ORDER> 100 </ORDER>\r\n                        <TYPE> enum </TYPE>\r\n"
        "                            <AVAILABLE>\r\n                                <ITEM> NO </ITEM>\r\n"
        "                                <ITEM> S\xCD </ITEM>\r\n                            </AVAILABLE>\r\n\r\n"
        "                    </OPTION>\r\n\r\n"
        "                    <OPTION id=\"153\" text=\"Opcion 153\">\r\n"
        "                        <VALUE>  X  </VALUE>\r\n                        <LENGTH> 9 </LENGTH>\r\n"
        "                        <ORDER> 1 </ORDER>\r\n                        <TYPE> string </TYPE>\r\n"
        "                    </OPTION>\r\n\r\n            </MENU>\r\n\r\n    </COMMON>\r\n\r\n"
        "    <SCALE number=\"2\">\r\n            <MENU id=\"7\" text=\"Menu 7\">\r\n"
        "                    <OPTION id=\"152\" text=\"Opcion 152\">\r\n"
        "                        <VALUE> ~ABC~ </VALUE>\r\n                        <LENGTH> 20 </LENGTH>\r\n"
        "                        <ORDER> 1 </ORDER>\r\n                        <TYPE> string </TYPE>\r\n"
        "                    </OPTION>\r\n\r\n"
        "                    <OPTION id=\"40\" text=\"Opcion 40\">\r\n"
        "                        <VALUE>  </VALUE>\r\n                        <LENGTH> 1 </LENGTH>\r\n"
        "                        <ORDER> 1 </ORDER>\r\n                    </OPTION>\r\n\r\n"
        "                    <OPTION id=\"61\" text=\"Opcion 61\">\r\n"
        "                        <LENGTH> 4 </LENGTH>\r\n"
        "                        <ORDER> 1 </ORDER>\r\n                        <TYPE> number </TYPE>\r\n"
        "                    </OPTION>\r\n\r\n            </MENU>\r\n\r\n    </SCALE>\r\n\r\n"
        "    <SCALE number=\"4\">\r\n            <MENU id=\"2\" text=\"Vacio\">\r\n"
        "            </MENU>\r\n\r\n    </SCALE>\r\n\r\n"
        "    <SCALE number=\"9\">\r\n    </SCALE>\r\n\r\n</TARASCOPE>\r\n\r\n"));
    // clang-format on
    EXPECT_EQ(model.Items()[3].value, QString(" ABC "));  // only the file is marked
    EXPECT_EQ(Save(false, {}), QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" "
                                          "?>\r\n<TARASCOPE>\r\n</TARASCOPE>\r\n\r\n"));
}

TEST_F(ConfigSaveTest, AFileThatCannotBeCreatedIsAnError) {
    QString error;
    EXPECT_FALSE(
        Guardar_Datos_Archivo(model, dir.filePath("missing/config.xml"), true, {}, &error));
    EXPECT_EQ(error, QString("Error opening document"));
}

TEST(ConfigSave, SpacesAtTheEndsAreMarkedAndScalesListedInTreeOrder) {
    const std::pair<QString, QString> marks[] = {
        {"  ", "~~"}, {"   ", "~ ~"}, {"  Y", "~ Y"}, {"a b", "a b"}, {"", ""}};
    for (const auto& [value, marked] : marks) EXPECT_EQ(MarkSpaces(value), marked);
    ConfigModel model;
    model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
    model.AddNode("Red", "Balanza", "B", "balanza", NodeKind::ScalesGroup);
    model.AddNode("Balanza", "bal007", "7", "g386", NodeKind::Scale, 7);
    model.AddNode("bal007", "b0070001", "i", "valor", NodeKind::ScaleItem, 7);
    model.AddNode("Balanza", "bal002", "2", "g386", NodeKind::Scale, 2);
    EXPECT_EQ(ScalesInTree(model), (std::vector<int>{7, 2}));
}

}  // namespace
}  // namespace cfg
