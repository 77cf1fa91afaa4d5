#include "core/editing/clone.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfg {
namespace {

// Scale 1 (menu 1: items 5 and 6; menu 2: items 7 to 9) onto 3 and 2, scale 3's rows before
// scale 2's in the table: only known editable values go, onto the editable rows the target has,
// and the changes come scale by scale in the scale list's order. A choice takes the items of its
// menus and its items; what the source lacks, or cannot give, is said.
TEST(CloneScale, CopiesTheChosenKnownEditableValuesAndListsTheChangesInScaleOrder) {
    ConfigModel m;
    m.Scales() = {{1, 1, "A"}, {2, 1, "B"}, {3, 1, "C"}};
    m.AppendMenu({1, 1, "Uno", "m1"});
    m.AppendMenu({1, 2, "Dos", "m2"});
    const struct {
        int owner, id, order;
        const char* value;
        bool known = true;
    } rows[] = {{0, 5, 1, "0"}, {1, 5, 1, "7"},   {1, 6, 1, "9", false}, {1, 7, 1, "1"},
                {1, 8, 1, "4"}, {1, 9, 120, "5"}, {3, 5, 1, "7"},        {3, 6, 1, "3"},
                {3, 8, 1, "0"}, {2, 5, 1, "1"},   {2, 6, 1, "2"},        {2, 7, 120, "0"},
                {2, 9, 1, "0"}};
    for (const auto& r : rows) {
        const QString menu = r.owner == 1 ? (r.id < 7 ? "m1" : "m2") : "";
        cfgtest::AddItem(m, cfgtest::Row(r.owner, r.id, kNumber, 3, r.order, r.value, menu));
        ItemRow& item = m.Item(static_cast<int>(m.Items().size()) - 1);
        if (r.known) StoreRead(item, r.value, {});
        item.known = r.known;
    }
    EXPECT_TRUE(CloneScale(m, 0, {2}).empty());  // the system is no scale

    const std::tuple<CloneChoice, QString, QStringList> cases[] = {
        {{}, "", {"2 5 1 7", "3 8 0 4"}},
        {{false, {2}, {}}, "", {"3 8 0 4"}},
        {{false, {}, {5}}, "", {"2 5 1 7"}},
        {{false, {2}, {5}}, "", {"2 5 1 7", "3 8 0 4"}},
        {{false, {}, {}}, "", {}},
        {{false, {3}, {5}}, "La balanza 1 no tiene el menú 3", {}},
        {{false, {1}, {4}}, "La balanza 1 no tiene el item 4", {}},
        {{false, {}, {8, 9}}, "El item 9 de la balanza 1 es de solo lectura", {}},
    };
    for (const auto& [choice, fault, changes] : cases) {
        ConfigModel copy = m;
        EXPECT_EQ(CloneChoiceFault(copy, 1, choice), fault);
        QStringList lines;
        for (const ValueChange& c : CloneScale(copy, 1, {3, 2}, choice))
            lines << QString("%1 %2 %3 %4").arg(c.owner).arg(c.id).arg(c.before, c.after);
        if (fault.isEmpty()) {
            EXPECT_EQ(lines, changes);
        }
    }
    CloneScale(m, 1, {3, 2});
    EXPECT_EQ(m.Items()[m.FindItem(2, 7)].value, "0");
    EXPECT_EQ(m.NodeText("k2_5"), "Opcion 5 = 7");
}

}  // namespace
}  // namespace cfg
