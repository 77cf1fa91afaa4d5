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

TEST(Model, TreeKeepsOrderRefusesDuplicatesAndFindsFirstRows) {
    ConfigModel model;
    EXPECT_TRUE(model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root));
    EXPECT_TRUE(model.AddNode("Red", "Balanza", "B", "balanza", NodeKind::ScalesBranch));
    EXPECT_TRUE(model.AddNode("Red", "Sistema", "S", "sistema", NodeKind::SystemBranch));
    EXPECT_FALSE(model.AddNode("Red", "Sistema", "again", "sistema", NodeKind::SystemBranch));
    EXPECT_FALSE(model.AddNode("nowhere", "x", "x", "valor", NodeKind::SystemItem));
    EXPECT_EQ(model.Node(0).children, (std::vector<int>{1, 2}));
    for (int owner : {3, 0, 3}) model.AppendItem(Item(owner ? "b1" : "s1", kNumber, 1, 1, "0"));
    EXPECT_EQ(model.FindItem(3, 40), 0);
    EXPECT_EQ(model.FindItem(0, 40), 1);
    EXPECT_EQ(model.FindItem(2, 40), -1);
    EXPECT_EQ(model.FindItemByKey("b1"), 0);
    model.Clear();
    EXPECT_EQ(model.FindNode("Red"), -1);
    EXPECT_EQ(model.FindItemByKey("b1"), -1);
    model.AppendItem(Item("s1", kNumber, 1, 1, "0"));
    EXPECT_EQ(model.FindItemByKey("s1"), 0);  // the rows after a Clear are found anew
}

// Item keys in the reading's own form are found by their serial: every other spelling, and
// another scale's item of the same serial, stays a key of its own, before and after a Clear.
TEST(Model, ItemKeysAreFoundExactlyAsWritten) {
    const char* const keys[] = {"s0001",       "s00001",  "s1",       "b0010001", "b0020001",
                                "b00100001",   "b001001", "s12345",   "s012345",  "s999999999",
                                "s1000000000", "bal001",  "b1a20001", "Sistema"};
    ConfigModel model;
    for (int serial = 0; serial < 3; ++serial) model.NextSystemItemSerial();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root));
        for (const char* key : keys)
            EXPECT_TRUE(model.AddNode("Red", key, key, "valor", NodeKind::SystemItem)) << key;
        for (const char* key : keys) {
            EXPECT_FALSE(model.AddNode("Red", key, "again", "valor", NodeKind::SystemItem)) << key;
            const int node = model.FindNode(key);
            ASSERT_GE(node, 0) << key;
            EXPECT_EQ(model.Node(node).key, QString(key));
            EXPECT_EQ(model.Node(node).parent, 0) << key;
        }
        for (const char* absent : {"s0002", "s0004", "b0030001", "b0010002", "s01", "b001"})
            EXPECT_EQ(model.FindNode(absent), -1) << absent;
        model.Clear();  // serials go on counting from 3: the slots start there
    }
}

}  // namespace
}  // namespace cfg
