#include <gtest/gtest.h>

#include "core/editing/editor.h"
#include "core/model/configmodel.h"
#include "support/itemrows.h"
#include "support/testsupport.h"

namespace cfg {
namespace {

// A scale's item when the key is a scale item key, else the system's.
ItemRow Item(const QString& key, int type, int order, int length, const QString& value,
             const QStringList& options = {}) {
    return cfgtest::Row(key.startsWith(u'b') ? 3 : 0, 40, type, length, order, value, {}, options,
                        key);
}

TEST(EditorTest, NodesThatAreNotEditableItemsShowNothing) {
    ConfigModel model;
    model.AppendItem(Item("b0030001", kNumber, 100, 3, "5"));
    model.AppendItem(Item("s0002", kNumber, 1, 3, "5"));
    for (const char* key :
         {"Red", "Balanza", "Sistema", "bal003", "ms0001", "mb0030001", "b0030001", "s9999", ""}) {
        SCOPED_TRACE(key);
        const EditorState state = EditorFor(model, QString::fromLatin1(key));
        EXPECT_FALSE(state.buttonShown);
        EXPECT_EQ(state.editor, EditorKind::None);
        EXPECT_FALSE(state.hintShown);
        EXPECT_FALSE(state.selection.has_value());
    }
}

TEST(EditorTest, EachTypeGetsItsEditorHintAndSelection) {
    struct Case {
        ItemRow row;
        EditorKind editor;
        bool enabled;
        QString hint;  // empty: none shown
        int selected;
        int maxLength;
    };
    const QStringList yesNo{"NO", "SI"};
    const Case cases[] = {
        {Item("s0001", kEnumeration, 5, 1, "1", yesNo), EditorKind::Enumeration, true, {}, 1, 0},
        {Item("s0001", kEnumeration, 5, 1, "2", yesNo), EditorKind::Enumeration, true, {}, -1, 0},
        {Item("s0001", kEnumeration, 5, 1, "0"), EditorKind::Enumeration, false, {}, -1, 0},
        {Item("b0030007", kNumber, 99, 3, "12"), EditorKind::Number, true, "Max. 999", -1, 0},
        {Item("b0030007", kNumber, 1, 0, "0"), EditorKind::Number, true, "Max. 0", -1, 0},
        {Item("b0030007", kNumber, 1, 12, "0"), EditorKind::Number, true, "Max. 999999999999", -1,
         0},
        {Item("b0030007", kString, 1, 20, "ABC"), EditorKind::Text, true, "Max. 20 cars.", -1, 20},
        {Item("b0030007", kDate, 1, 8, "31/12/99"), EditorKind::Date, true, {}, -1, 0},
        {Item("b0030007", 4, 1, 8, "?"), EditorKind::None, false, {}, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("type %1 value %2").arg(c.row.type).arg(c.row.value).toStdString());
        ConfigModel model;
        model.AppendItem(c.row);
        const EditorState state = EditorFor(model, c.row.key);
        EXPECT_TRUE(state.buttonShown);
        EXPECT_EQ(state.buttonEnabled, c.enabled);
        EXPECT_EQ(state.editor, c.editor);
        EXPECT_EQ(state.hintShown, !c.hint.isEmpty());
        EXPECT_EQ(state.hint, c.hint);
        EXPECT_EQ(state.selectedOption, c.selected);
        EXPECT_EQ(state.maxLength, c.maxLength);
        if (c.editor == EditorKind::Enumeration) {
            EXPECT_EQ(state.options, c.row.options);
        } else if (c.editor != EditorKind::None) {
            EXPECT_EQ(state.text, c.row.value);
        }
        ASSERT_TRUE(state.selection.has_value());
        const Selection& s = *state.selection;
        EXPECT_EQ(std::tie(s.owner, s.id, s.type, s.length),
                  std::tie(c.row.owner, c.row.id, c.row.type, c.row.length));
    }
}

TEST(EditorTest, OnlyDesplVerticalTakesNegativeNumbers) {
    for (const auto& [text, allowed] : {std::pair{"Despl vertical", true},
                                        {"DESPL VERTICAL", true},
                                        {"Despl vertical ", false},
                                        {"Despl horizontal", false}}) {
        ConfigModel model;
        ItemRow row = Item("s0001", kNumber, 1, 3, "0");
        row.text = QString::fromLatin1(text);
        model.AppendItem(row);
        EXPECT_EQ(EditorFor(model, "s0001").permiteNegativo, allowed) << text;
    }
}

TEST(EditorTest, FirstRowWithTheKeyIsEdited) {
    ConfigModel model;
    model.AppendItem(Item("s0001", kNumber, 1, 2, "1"));
    model.AppendItem(Item("s0001", kNumber, 1, 5, "2"));
    EXPECT_EQ(EditorFor(model, "s0001").text, "1");
}

TEST(EditorTest, NumberKeyFilter) {
    for (int code = 0; code < 256; ++code) {
        int expected = 0;
        if ((code >= 48 && code <= 59) || code == 8 || code == 46) expected = code;
        if (code == 44) expected = 46;
        EXPECT_EQ(FiltraTeclaNumero(code, false), expected) << code;
        EXPECT_EQ(FiltraTeclaNumero(code, true), code == 45 ? 45 : expected) << code;
        const int connection = (code >= 48 && code <= 59) || code == 8 || code == 46 ? code : 0;
        EXPECT_EQ(FiltraTeclaConexion(code), connection) << code;
    }
}

}  // namespace
}  // namespace cfg
