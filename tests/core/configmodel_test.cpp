#include "core/model/configmodel.h"

#include <gtest/gtest.h>

#include <random>

#include "support/testsupport.h"

namespace cfg {
namespace {

TEST(Keys, WiderThanThePatternAreNotCut) {
    EXPECT_EQ(keys::SystemItem(10000), QString("s10000"));  // wider than the pattern: not cut
}

TEST(ShownValue, EnumerationsDatesAndOthers) {
    ItemRow item;
    item.type = kEnumeration;
    EXPECT_EQ(ShownValue(item), QString("(No seleccionable)"));
    item.options = {"NO", "SI"};
    item.value = "1";
    EXPECT_EQ(ShownValue(item), QString("SI"));
    for (const char* bad : {"2", "-1", "", "x", "1.5"}) {
        item.value = bad;
        EXPECT_EQ(ShownValue(item), std::nullopt) << bad;
    }

    EXPECT_EQ(DateValue("311299"), QString("31/12/99"));
    EXPECT_EQ(DateValue(" 311299 "), QString("31/12/99"));
    EXPECT_EQ(DateValue("31129"), QString("01/01/03"));
    EXPECT_EQ(DateValue(""), QString("01/01/03"));
}

class RecordingObserver : public ModelObserver {
  public:
    void TreeCleared() override { events.push_back("clear"); }
    void NodeAdded(int n) override { events.push_back("add " + std::to_string(n)); }
    void NodeTextChanged(int n) override { events.push_back("text " + std::to_string(n)); }
    void NodeExpanded(int n) override { events.push_back("expand " + std::to_string(n)); }
    std::vector<std::string> events;
};

TEST(ConfigModel, TreeKeepsOrderRefusesDuplicatesAndTellsObservers) {
    ConfigModel model;
    RecordingObserver observer;
    model.AddObserver(&observer);
    EXPECT_TRUE(model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root));
    EXPECT_TRUE(
        model.AddNode("Red", "Balanza", "Operativa Balanzas", "balanza", NodeKind::ScalesGroup));
    EXPECT_TRUE(model.AddNode("Red", "Sistema", "Datos Comunes", "sistema", NodeKind::SystemGroup));
    EXPECT_FALSE(model.AddNode("Red", "Sistema", "again", "sistema", NodeKind::SystemGroup));
    EXPECT_FALSE(model.AddNode("nowhere", "x", "x", "valor", NodeKind::SystemItem));
    model.ExpandNode("Red");
    model.SetNodeText(model.FindNode("Sistema"), "Datos Comunes = 1");
    model.SetNodeText(model.FindNode("absent"), "ignored");

    ASSERT_EQ(model.Nodes().size(), 3u);
    EXPECT_EQ(model.Node(0).children, (std::vector<int>{1, 2}));
    EXPECT_EQ(model.Node(2).parent, 0);
    EXPECT_EQ(model.NodeText("Sistema"), QString("Datos Comunes = 1"));
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"add 0", "add 1", "add 2", "expand 0", "text 2"}));
    model.Clear();
    EXPECT_EQ(model.FindNode("Red"), -1);
    EXPECT_EQ(observer.events.back(), "clear");
    model.RemoveObserver(&observer);
    model.AddNode({}, "Red", "Red", "mundo", NodeKind::Root);
    EXPECT_EQ(observer.events.back(), "clear");
}

// Every index answers as a scan of the table from its first row would.
TEST(ConfigModel, LookupsMatchFirstRowScans) {
    ConfigModel model;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> owner(0, 4), id(1, 40), menu(0, 9);
    for (int m = 0; m < 10; ++m) model.AppendMenu({m % 3, m, "menu", keys::SystemMenu(m % 7)});
    for (int i = 0; i < 500; ++i) {
        ItemRow row;
        row.owner = owner(random);
        row.id = id(random);
        row.key = i % 5 == 0 ? QString() : keys::ScaleItem(row.owner, i);
        row.menuKey = keys::SystemMenu(menu(random));
        model.AppendItem(row);
    }
    const auto& items = model.Items();
    for (int o = 0; o <= 5; ++o) {
        for (int i = 0; i <= 41; ++i) {
            int expected = -1;
            for (size_t r = 0; r < items.size() && expected < 0; ++r)
                if (items[r].owner == o && items[r].id == i) expected = static_cast<int>(r);
            EXPECT_EQ(model.FindItem(o, i), expected);
        }
    }
    for (int m = 0; m < 11; ++m) {
        const QString key = keys::SystemMenu(m);
        std::vector<int> expected;
        for (size_t r = 0; r < items.size(); ++r)
            if (items[r].menuKey == key) expected.push_back(static_cast<int>(r));
        EXPECT_EQ(model.ItemsOfMenu(key), expected);
        int firstMenu = -1;
        for (size_t r = 0; r < model.Menus().size() && firstMenu < 0; ++r)
            if (model.Menus()[r].key == key) firstMenu = static_cast<int>(r);
        EXPECT_EQ(model.FindMenuByKey(key), firstMenu);
    }
    EXPECT_EQ(model.FindItemByKey(items[1].key), 1);
    EXPECT_EQ(model.FindItemByKey(QString()), -1);
}

}  // namespace
}  // namespace cfg
