#include "core/files/configsave.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

using cfgtest::Row;

namespace cfg {
namespace {

QByteArray Line(int spaces, const QByteArray& text) {
    return QByteArray(spaces, ' ') + text + "\r\n";
}
// A block: its tag at `spaces`, its content, its end tag and the empty line after it.
QByteArray Block(int spaces, const QByteArray& tag, const QByteArray& content) {
    return Line(spaces, "<" + tag + ">") + content + Line(spaces, "</" + tag.split(' ')[0] + ">") +
           "\r\n";
}
// An item's lines from name and value pairs; the "ITEM" ones go in its AVAILABLE block.
QByteArray Option(const QByteArray& attributes,
                  const QList<std::pair<QByteArray, QByteArray>>& lines) {
    QByteArray content, available;
    for (const auto& [name, value] : lines) {
        if (name == "ITEM")
            available += Line(32, "<ITEM> " + value + " </ITEM>");
        else
            content += Line(24, "<" + name + "> " + value + " </" + name + ">");
    }
    if (!available.isEmpty()) content += Block(28, "AVAILABLE", available);
    return Block(20, "OPTION " + attributes, content);
}

TEST(ConfigSave, FileBytesLatin1CrLfIndentedEndSpacesMarked) {
    ConfigModel model;
    model.AppendMenu({0, 3, QString("Menú <&>"), "ms0001"});
    model.AppendMenu({2, 7, "Menu 7", "mb0020001"});
    model.AppendMenu({4, 2, "Vacio", "mb0040001"});
    model.AppendItem(Row(0, 12, kNumber, 1, 4, "2", "ms0001"));
    model.AppendItem(Row(0, 15, kEnumeration, 1, 100, "1", "ms0001", {"NO", "SÍ"}));
    model.AppendItem(Row(0, 153, kString, 9, 1, " X ", "ms0001"));  // under COMMON: not marked
    model.AppendItem(Row(0, 152, kString, 20, 1, " ABC ", "mb0020001"));
    model.AppendItem(Row(0, 40, 6, 1, 1, "", "mb0020001"));  // no TYPE line
    model.AppendItem(Row(0, 61, kNumber, 4, 1, "", "mb0020001"));
    model.Item(5).known = false;                 // no VALUE line: loading would take it for 0
    model.Item(0).text = QString("Año \"x\"€");  // no Latin-1 for €
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n";
    // clang-format off
    const QByteArray common = Block(12, "MENU id=\"3\" text=\"Men\xFA <&>\"",
        Option("id=\"12\" text=\"A\xF1o \"x\"?\"", {{"VALUE", "2"}, {"LENGTH", "1"}, {"ORDER", "4"}, {"TYPE", "number"}}) +
        Option("id=\"15\" text=\"Opcion 15\"", {{"VALUE", "1"}, {"LENGTH", "1"}, {"ORDER", "100"}, {"TYPE", "enum"},
                                               {"ITEM", "NO"}, {"ITEM", "S\xCD"}}) +
        Option("id=\"153\" text=\"Opcion 153\"", {{"VALUE", " X "}, {"LENGTH", "9"}, {"ORDER", "1"}, {"TYPE", "string"}}));
    const QByteArray scale2 = Block(12, "MENU id=\"7\" text=\"Menu 7\"",
        Option("id=\"152\" text=\"Opcion 152\"", {{"VALUE", "~ABC~"}, {"LENGTH", "20"}, {"ORDER", "1"}, {"TYPE", "string"}}) +
        Option("id=\"40\" text=\"Opcion 40\"", {{"VALUE", ""}, {"LENGTH", "1"}, {"ORDER", "1"}}) +
        Option("id=\"61\" text=\"Opcion 61\"", {{"LENGTH", "4"}, {"ORDER", "1"}, {"TYPE", "number"}}));
    // clang-format on
    QTemporaryDir dir;
    ASSERT_TRUE(Guardar_Datos_Archivo(model, dir.filePath("a.xml"), true, {2, 4, 9}));
    EXPECT_EQ(cfgtest::ReadAll(dir.filePath("a.xml")),
              head + Block(4, "COMMON", common) + Block(4, "SCALE number=\"2\"", scale2) +
                  Block(4, "SCALE number=\"4\"", Block(12, "MENU id=\"2\" text=\"Vacio\"", {})) +
                  Block(4, "SCALE number=\"9\"", {}) + "</TARASCOPE>\r\n\r\n");
    EXPECT_EQ(model.Items()[3].value, QString(" ABC "));  // only the file is marked
    ASSERT_TRUE(Guardar_Datos_Archivo(model, dir.filePath("b.xml"), false, {}));
    EXPECT_EQ(cfgtest::ReadAll(dir.filePath("b.xml")), head + "</TARASCOPE>\r\n\r\n");
    const auto failed = Guardar_Datos_Archivo(model, dir.filePath("no/c.xml"), true, {});
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().text, QString("Error opening document"));
    // A string's spaces at either end are marked, one "~" for each end.
    const std::pair<QString, QString> marks[] = {
        {"  ", "~~"}, {"   ", "~ ~"}, {"  Y", "~ Y"}, {"a b", "a b"}, {"", ""}};
    for (const auto& [value, marked] : marks) EXPECT_EQ(MarkSpaces(value), marked);
}

}  // namespace
}  // namespace cfg
