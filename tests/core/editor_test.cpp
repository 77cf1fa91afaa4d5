#include "core/editing/editor.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfg {
namespace {

// Item 40 of scale 3 when the key is a scale item's, else the system's; "Opcion 40" unless named.
ItemRow Item(const QString& key, int type, int order, int length, const QString& value,
             const QStringList& options = {}, const QString& text = {}) {
    ItemRow row = cfgtest::Row(key.startsWith(u'b') ? 3 : 0, 40, type, length, order, value, {},
                               options, key);
    if (!text.isEmpty()) row.text = text;
    return row;
}

TEST(Editor, OnlyEditableItemsAreEdited) {
    ConfigModel model;
    model.AppendItem(Item("b0030001", kNumber, 100, 3, "5"));
    model.AppendItem(Item("s0002", kNumber, 1, 3, "5"));
    model.AppendItem(Item("s0002", kNumber, 1, 5, "6"));
    for (const char* key : {"Red", "Sistema", "bal003", "ms0001", "mb0030001", "b0030001", ""}) {
        const EditorState state = EditorFor(model, key);
        EXPECT_FALSE(state.buttonShown || state.hintShown || state.selection) << key;
        EXPECT_EQ(state.editor, EditorKind::None) << key;
        // A read-only item is named and shown, never edited.
        EXPECT_EQ(state.row, key == QString("b0030001") ? 0 : -1) << key;
        EXPECT_EQ(state.readOnly, state.row == 0) << key;
        EXPECT_EQ(state.text, state.row == 0 ? "5" : "") << key;
    }
    EXPECT_EQ(EditorFor(model, "s0002").text, "5");  // the first row with the key
    EXPECT_EQ(EditorFor(model, "s0002").row, 1);
}

// Read as the editor, the button enabled or not, the hint | selected option, text limit, text,
// "-" when negative numbers are taken.
TEST(Editor, EachTypeGetsItsEditorHintAndSelection) {
    const QStringList yesNo{"NO", "SI"};
    const std::pair<ItemRow, const char*> cases[] = {
        // clang-format off
        {Item("s0001", kEnumeration, 99, 1, "1", yesNo), "enum on | 1 0 "},
        {Item("s0001", kEnumeration, 5, 1, "2", yesNo), "enum on | -1 0 "},
        {Item("s0001", kEnumeration, 5, 1, "0", {"A"}), "enum on | 0 0 "},
        {Item("s0001", kEnumeration, 5, 1, "0"), "enum off | -1 0 "},
        {Item("b0030007", kNumber, 1, 3, "12"), "number on Max. 999| -1 0 12"},
        {Item("b0030007", kNumber, 1, 0, "0"), "number on Max. 0| -1 0 0"},
        {Item("b0030007", kNumber, 1, 12, "0"), "number on Max. 999999999999| -1 0 0"},
        {Item("b0030007", kString, 1, 20, "ABC"), "text on Max. 20 cars.| -1 20 ABC"},
        {Item("b0030007", kDate, 1, 8, "31/12/99"), "date on | -1 0 31/12/99"},
        {Item("b0030007", 4, 1, 8, "?"), "none off | -1 0 "},
        // Only an item named "Despl vertical" takes negative numbers.
        {Item("s0001", kNumber, 1, 3, "0", {}, "Despl vertical"), "number on Max. 999| -1 0 0 -"},
        {Item("s0001", kNumber, 1, 3, "0", {}, "DESPL VERTICAL"), "number on Max. 999| -1 0 0 -"},
        {Item("s0001", kNumber, 1, 3, "0", {}, "Despl vertical "), "number on Max. 999| -1 0 0"},
        {Item("s0001", kNumber, 1, 3, "0", {}, "Despl horizontal"), "number on Max. 999| -1 0 0"},
        // clang-format on
    };
    const char* const editors[] = {"none", "enum", "number", "text", "date"};
    for (const auto& [row, read] : cases) {
        ConfigModel model;
        model.AppendItem(row);
        const EditorState s = EditorFor(model, row.key);
        EXPECT_EQ(
            QString::asprintf("%s %s %ls| %d %d %ls%s", editors[int(s.editor)],
                              s.buttonEnabled ? "on" : "off",
                              qUtf16Printable(s.hintShown ? s.hint : QString()), s.selectedOption,
                              s.maxLength, qUtf16Printable(s.text), s.permiteNegativo ? " -" : ""),
            read);
        ASSERT_TRUE(s.buttonShown && s.selection.has_value()) << read;
        EXPECT_EQ(
            std::tie(s.selection->owner, s.selection->id, s.selection->type, s.selection->length),
            std::tie(row.owner, row.id, row.type, row.length));
    }
}

TEST(Model, ShownValuesOfEnumerationsAndDates) {
    ItemRow item = Item("s0001", kEnumeration, 1, 1, "1", {"NO", "SI"});
    const std::pair<const char*, std::optional<QString>> shown[] = {
        {"1", "SI"}, {"0.6", "SI"}, {"2", std::nullopt}, {"-1", std::nullopt}, {"x", std::nullopt}};
    for (const auto& [value, text] : shown) {
        item.value = value;
        EXPECT_EQ(ShownValue(item), text) << value;
    }
    item.options.clear();
    EXPECT_EQ(ShownValue(item), QString("(No seleccionable)"));
    EXPECT_EQ(DateValue(" 311299 ") + DateValue("31129") + DateValue("3112999") + DateValue(""),
              QString("31/12/99 01/01/03 01/01/03 01/01/03").remove(' '));
    EXPECT_EQ(keys::SystemItem(10000), QString("s10000"));  // wider than the pattern: not cut
}

// Told without making the text, it must say what comparing with the text made would.
TEST(Model, ItemNodeTextIsToldAsItIsMade) {
    const std::tuple<const char*, const char*, std::optional<QString>> cases[] = {
        {"Precio = 5", "Precio", "5"},
        {"Precio = ", "Precio", std::nullopt},
        {"Precio = ", "Precio", ""},
        {"Precio = 55", "Precio", "5"},
        {"Precio = 6", "Precio", "5"},
        {"Precio - 5", "Precio", "5"},
        {"Precia = 5", "Precio", "5"},
        {"Precio =  5", "Precio", "5"},
        {"A = B = C", "A", "B = C"},
        {"A = B = C", "A = B", "C"},
        {" = ", "", ""},
        {"Precio", "Precio", std::nullopt},
        {"Precio = 5x", "Precio", "5"},
        {"xPrecio = 5", "Precio", "5"},
        {"AXYZ = ", "A", " = "},
    };
    for (const auto& [node, text, shown] : cases)
        EXPECT_EQ(IsItemNodeText(QString(node), QString(text), shown),
                  node == ItemNodeText(text, shown))
            << node << " | " << text;
}

TEST(Model, TreeKeepsOrderRefusesDuplicatesAndFindsFirstRows) {
    ConfigModel model;
    EXPECT_EQ(model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root), 0);
    EXPECT_EQ(model.AddNode("Red", "Balanza", "B", "balanza", NodeKind::ScalesBranch), 1);
    EXPECT_EQ(model.AddNode("Red", "Sistema", "S", "sistema", NodeKind::SystemBranch), 2);
    EXPECT_EQ(model.AddNode("Red", "Sistema", "again", "sistema", NodeKind::SystemBranch), -1);
    EXPECT_EQ(model.AddNode("nowhere", "x", "x", "valor", NodeKind::SystemItem), -1);
    EXPECT_EQ(model.FindNode("x"), -1);
    EXPECT_EQ(model.Node(0).children, (std::vector<int>{1, 2}));
    for (int owner : {3, 0, 3}) model.AppendItem(Item(owner ? "b1" : "s1", kNumber, 1, 1, "0"));
    EXPECT_EQ(model.FindItem(3, 40), 0);
    EXPECT_EQ(model.FindItem(0, 40), 1);
    EXPECT_EQ(model.FindItem(2, 40), -1);
    EXPECT_EQ(model.FindItemByKey("b1"), 0);
    model.Clear();
    EXPECT_EQ(model.FindNode("Red"), -1);
    EXPECT_EQ(model.FindItemByKey("b1"), -1);
    EXPECT_TRUE(model.ItemsOfMenu({}).empty());
    model.AppendItem(Item("s1", kNumber, 1, 1, "0"));
    EXPECT_EQ(model.FindItemByKey("s1"), 0);  // the rows after a Clear are found anew
}

// The first row of a key and the key's node of its kind hold each other's index, whichever
// was added first; the menu's rows are listed in table order, keyless ones included.
TEST(Model, RowsAndNodesHoldEachOthersIndex) {
    ConfigModel model;
    model.AppendMenu({0, 1, "M", "m1"});  // a menu row before its node
    ASSERT_EQ(model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root), 0);
    ASSERT_EQ(model.AddNode("Red", "m1", "M", "menu", NodeKind::SystemMenu), 1);
    model.AppendMenu({0, 2, "M again", "m1"});
    const auto row = [](const char* key, int id) {
        return cfgtest::Row(0, id, kNumber, 1, 1, "0", "m1", {}, key);
    };
    model.AppendItem(row("s2", 11));  // an item row before its node
    ASSERT_EQ(model.AddNode("m1", "s1", "a", "valor", NodeKind::SystemItem), 2);
    ASSERT_EQ(model.AddNode("m1", "s2", "b", "valor", NodeKind::SystemItem), 3);
    model.AppendItem(row("s1", 10));
    model.AppendItem(row("s1", 12));  // a second row of a key has no node
    model.AppendItem(row("", 13));
    model.AppendItem(row("m1", 14));      // a key whose node is a menu's: no node
    model.AppendMenu({0, 3, "N", "s1"});  // nor a menu row whose key's node is an item's
    EXPECT_EQ(model.FindMenuByKey("m1"), 0);
    EXPECT_EQ(model.FindMenuByKey("s1"), 2);
    EXPECT_EQ(model.FindItemByKey("s1"), 1);
    const std::vector<std::pair<int, int>> rowNode = {{0, 3}, {1, 2}, {2, -1}, {3, -1}, {4, -1}};
    for (const auto& [r, node] : rowNode) {
        EXPECT_EQ(model.Items()[r].node, node) << r;
        if (node >= 0) {
            EXPECT_EQ(model.Node(node).row, r) << r;
        }
    }
    for (const auto& [r, node] : std::vector<std::pair<int, int>>{{0, 1}, {1, -1}, {2, -1}})
        EXPECT_EQ(model.Menus()[r].node, node) << r;
    EXPECT_EQ(model.Node(1).row, 0);
    EXPECT_EQ(model.Node(0).row, -1);
    EXPECT_EQ(model.ItemsOfMenu("m1"), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(model.ItemsOfMenu("s1").empty());
    model.SetItemNodeText(2, QString("x"));  // no node: nothing written
    model.SetItemNodeText(1, QString("x"));
    EXPECT_EQ(model.Node(2).text, QString("Opcion 10 = x"));
    EXPECT_EQ(model.Node(3).text, QString("b"));
}

}  // namespace
}  // namespace cfg
