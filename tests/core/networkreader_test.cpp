#include "core/network/networkreader.h"

#include <gtest/gtest.h>

#include <QMap>

#include "core/common/operation.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"
#include "core/protocol/tools.h"
#include "support/scriptedlink.h"
#include "support/testsupport.h"

using cfgtest::Bytes;
using cfgtest::RecordingOperation;
using cfgtest::ReplyHeader;
using cfgtest::ScriptedLink;

namespace cfg {
namespace {

QByteArray Le16(int v) {
    return Numero_A_Bytes(v, 2);
}

QByteArray Paged(int count, int cursor, const QByteArray& data) {
    QByteArray reply = ReplyHeader() + Le16(count) + Le16(cursor) + data;
    if (reply.size() < 20) reply.append(20 - reply.size(), '\0');
    return reply;
}

QByteArray Record(int id, int code, int order, int length, const QByteArray& text,
                  const QList<QByteArray>& options = {}) {
    QByteArray r = Le16(id) + Bytes({code, order, length, static_cast<int>(text.size())}) + text;
    for (const QByteArray& o : options) r += Bytes({static_cast<int>(o.size())}) + o;
    return r;
}
QByteArray Menu(int id, int code, const QByteArray& text) {
    return Record(id, code, 0, 0, text);
}

QByteArray EnumValue(int id, int index) {
    return Le16(id) + Bytes({5, index});
}
QByteArray NumberValue(int id, int value, int divisor = 0) {
    return Le16(id) + Bytes({7}) + Numero_A_Bytes(value, 4) + Bytes({divisor});
}
QByteArray TextValue(int id, int type, const QByteArray& text) {
    return Le16(id) + Bytes({type, static_cast<int>(text.size())}) + text;
}

// A scripted network: pages of structure and values per destination, answered by cursor
// (page i is asked for with cursor i and points to i + 1, the last one to 0).
struct FakeNetwork {
    QByteArray network;
    QMap<int, QList<QByteArray>> structure;  // key: destination word (byte 3 * 256 + byte 4)
    QMap<int, QList<QByteArray>> values;
    QMap<int, int> failValuesOf;  // destination word -> page index that fails

    ScriptedLink::Answer operator()(const QByteArray& request) const {
        const int function = static_cast<unsigned char>(request[10]);
        const int destination =
            static_cast<unsigned char>(request[2]) * 256 + static_cast<unsigned char>(request[3]);
        if (function == 0x03) return {0, network};
        const int cursor = static_cast<int>(Bytes_A_Numero(request.mid(11, 2)));
        const auto& table = function == 0x02 ? structure : values;
        if (function == 0x00 && failValuesOf.value(destination, -1) == cursor) return {3, {}};
        const QList<QByteArray> pages = table.value(destination);
        if (cursor >= pages.size()) return {0, ReplyHeader()};  // short: a failed exchange
        const int next = cursor + 1 < pages.size() ? cursor + 1 : 0;
        QByteArray page = pages[cursor];
        page.replace(12, 2, Le16(next));
        return {0, page};
    }
};

constexpr int kSystem = 0x0000;
constexpr int kStructure = 0x2000;
constexpr int kScale = 0x0200;  // plus the scale's number

class NetworkReaderTest : public ::testing::Test {
  protected:
    void Use(const FakeNetwork& network) {
        fake = network;
        link.SetResponder([this](const QByteArray& r) { return fake(r); });
    }
    // The three nodes a reading starts from, and the scale nodes.
    void Skeleton(std::initializer_list<int> scales = {}) {
        model.AddNode({}, keys::kRoot, "Red", "mundo", NodeKind::Root);
        model.AddNode(keys::kRoot, keys::kScales, "Operativa Balanzas", "balanza",
                      NodeKind::ScalesGroup);
        model.AddNode(keys::kRoot, keys::kSystem, "Datos Comunes", "sistema",
                      NodeKind::SystemGroup);
        for (int n : scales)
            model.AddNode(keys::kScales, keys::Scale(n), "Balanza", "g386", NodeKind::Scale, n);
    }
    QString Image(const QString& key) const {
        const int node = model.FindNode(key);
        return node < 0 ? QString("(no node)") : model.Node(node).image;
    }
    // The tree, one line per node, indented two spaces per level.
    QStringList Tree() const {
        QStringList lines;
        std::function<void(int, int)> walk = [&](int node, int depth) {
            lines.append(QString(depth * 2, ' ') + model.Node(node).key + " " +
                         model.Node(node).image + " " + model.Node(node).text);
            for (int child : model.Node(node).children) walk(child, depth + 1);
        };
        if (!model.Nodes().empty()) walk(0, 0);
        return lines;
    }

    FakeNetwork fake;
    ScriptedLink link;
    ConfigModel model;
    NetworkReader reader{link, model};
    RecordingOperation op;
};

TEST_F(NetworkReaderTest, NetworkReplyGivesTheScaleList) {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({3, 7, 2, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 1, 0, 5, 5, 5,
                                         5, 5, 0x05, 9, 1});  // last entry cut short
    Use(net);
    ASSERT_TRUE(reader.Lee_Red());
    EXPECT_EQ(link.requests.at(0), Bytes({0x02, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 0x03, 0x00}));
    QStringList scales;
    for (const ScaleEntry& e : model.Scales())
        scales.append(QString("%1 %2 %3").arg(e.number).arg(e.mostrador).arg(e.mac));
    EXPECT_EQ(scales, (QStringList{"7 2 0A1B2C3D4E", "1 0 555555", "9 1 000000"}));

    for (const QByteArray& bad : {ReplyHeader() + Bytes({1, 2, 3}), QByteArray()}) {
        net.network = bad;
        Use(net);
        EXPECT_FALSE(reader.Lee_Red());
    }
    link.SetResponder([](const QByteArray&) { return ScriptedLink::Answer{2, QByteArray(40, 0)}; });
    EXPECT_FALSE(reader.Lee_Red());
}

TEST_F(NetworkReaderTest, SystemStructureSkipsScaleMenusAndStopsAtTheMarker) {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({0});
    net.structure[kSystem] = {
        Paged(6, 0,
              Record(90, 7, 1, 4, "Suelto") +  // before any menu: a row without a node
                  Menu(3, 201, "Menu 3") + Record(12, 7, 4, 6, "Precio") +
                  Record(15, 5, 5, 2, "Activo", {" NO ", "SI"}) + Menu(4, 200, "De balanza") +
                  Record(16, 8, 1, 10, "Oculto")),
        Paged(5, 0,
              Record(17, 8, 1, 10, "Tambien oculto") + Menu(5, 201, "Menu 5") +
                  Record(18, 9, 100, 6, "Fecha") + Record(1, 8, 1, 1, "Paq  igur") +
                  Record(19, 8, 1, 1, "Tras la marca")),
        Paged(1, 0, Record(20, 5, 1, 0, "Sin opciones")),
    };
    Use(net);
    Skeleton();
    ASSERT_TRUE(reader.Lee_Estructura(0));
    // Requests carry the cursor in bytes 12-13 and end with two zero bytes.
    ASSERT_EQ(link.requests.size(), 3);
    EXPECT_EQ(link.requests[0], Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0, 0}));
    EXPECT_EQ(link.requests[1], Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 2, 1, 0, 0, 0}));

    ASSERT_EQ(model.Menus().size(), 2u);
    EXPECT_EQ(model.Menus()[1].key, QString("ms0002"));
    EXPECT_EQ(model.Menus()[1].id, 5);
    const auto& items = model.Items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].text, QString("Suelto"));
    EXPECT_TRUE(items[0].key.isEmpty());
    EXPECT_TRUE(items[0].menuKey.isEmpty());
    EXPECT_EQ(items[2].options, (QStringList{"NO", "SI"}));
    EXPECT_EQ(items[2].length, 2);
    EXPECT_EQ(items[3].id, 18);
    EXPECT_EQ(items[3].menuKey, QString("ms0002"));
    EXPECT_EQ(Image(items[3].key), QString("valorno"));
    EXPECT_EQ(items[4].text, QString("Sin opciones"));
    EXPECT_EQ(items[4].optionCount(), 0);
}

TEST_F(NetworkReaderTest, ScaleStructureIsSharedAndValuesAreTheScalesOwn) {
    FakeNetwork net;
    net.structure[kStructure] = {
        Paged(6, 0,
              Menu(1, 200, "Menu") + Record(40, 9, 1, 6, "Fecha") + Menu(2, 201, "De sistema") +
                  Record(41, 7, 1, 4, "Oculto") + Menu(3, 202, "Hardware") +
                  Record(42, 5, 1, 3, "Modo", {"A", "B", "C"}))};
    // An index with no option empties the node; an unknown type ends the reply's entries.
    net.values[kScale + 7] = {
        Paged(3, 0, EnumValue(42, 5) + Le16(40) + Bytes({6, 1, 'X'}) + TextValue(40, 9, "311299"))};
    Use(net);
    Skeleton({7});
    ASSERT_TRUE(reader.Lee_Estructura(7));
    EXPECT_EQ(link.requests[0].mid(2, 2), Bytes({0x20, 0x00}));
    ASSERT_EQ(model.Menus().size(), 2u);
    EXPECT_EQ(model.Menus()[1].key, QString("mb0070002"));
    EXPECT_EQ(Image("mb0070002"), QString("hard"));
    ASSERT_EQ(model.Items().size(), 2u);
    EXPECT_EQ(model.Items()[1].key, QString("b0070002"));
    EXPECT_EQ(model.Items()[1].options, (QStringList{"A", "B", "C"}));

    ASSERT_TRUE(reader.Lee_Valores(7));
    EXPECT_EQ(link.requests.last().mid(2, 2), Bytes({0x02, 0x07}));
    EXPECT_EQ(model.NodeText("b0070002"), QString(""));
    EXPECT_FALSE(model.Items()[0].known);
}

TEST_F(NetworkReaderTest, OptionListsEndWithTheirData) {
    struct Case {
        const char* name;
        QByteArray data;
        QStringList options;
        int items;
    };
    const QByteArray menu = Menu(1, 201, "M");
    const Case cases[] = {
        {"length past the data",
         menu + Record(5, 5, 1, 3, "E") + Bytes({1, 'X', 9, 'Y'}),
         {"X", "Y"},
         1},
        {"fewer than announced", menu + Record(5, 5, 1, 1, "E", {"Uno", "Dos"}), {"Uno"}, 2},
        {"only spaces", menu + Record(5, 5, 1, 2, "E") + "    ", {}, 1},
        {"trimmed, bytes kept",
         menu + Record(5, 5, 1, 1, "E", {"  S\xa0 "}),
         {QString("S\u00e1")},
         1},
    };
    for (const Case& c : cases) {
        FakeNetwork net;
        net.structure[kSystem] = {Paged(c.items + 1, 0, c.data)};
        Use(net);
        model.Clear();
        Skeleton();
        ASSERT_TRUE(reader.Lee_Estructura(0)) << c.name;
        ASSERT_GE(model.Items().size(), 1u) << c.name;
        EXPECT_EQ(model.Items()[0].options, c.options) << c.name;
    }
}

TEST_F(NetworkReaderTest, ValuesAreDecodedStoredAndShown) {
    FakeNetwork net;
    net.structure[kSystem] = {
        Paged(9, 0,
              Menu(1, 201, "M") + Record(1, 7, 1, 6, "Precio") + Record(2, 7, 1, 6, "Tara") +
                  Record(3, 7, 1, 6, "Despl vertical") + Record(4, 9, 1, 6, "Fecha") +
                  Record(5, 9, 1, 6, "Corta") + Record(6, 8, 1, 6, "Vacio") +
                  Record(7, 5, 1, 2, "Modo", {"NO", "SI"}) + Record(8, 5, 1, 0, "Fijo"))};
    net.values[kSystem] = {
        Paged(6, 0,
              NumberValue(1, 1234, '2') + NumberValue(2, 1235, '2') + NumberValue(3, -5, 0) +
                  TextValue(4, 9, "311299") + TextValue(5, 9, "31129") + TextValue(6, 8, "")),
        Paged(4, 0, EnumValue(7, 1) + EnumValue(8, 0) + EnumValue(7, 0) + NumberValue(99, 1)),
    };
    Use(net);
    Skeleton();
    ASSERT_TRUE(reader.Lee_Estructura(0));
    ASSERT_TRUE(reader.Lee_Valores(0));
    EXPECT_EQ(link.requests.last(), Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 0, 1, 0, 0}));
    const QStringList expected = {"617", "617.5", "-5", "31/12/99", "01/01/03", "", "0", "0"};
    const QStringList texts = {
        "Precio = 617",     "Tara = 617.5", "Despl vertical = -5", "Fecha = 31/12/99",
        "Corta = 01/01/03", "Vacio = ",     "Modo = SI = NO",      "Fijo = (No seleccionable)"};
    for (int i = 0; i < 8; ++i) {
        const ItemRow& item = model.Items()[i];
        EXPECT_EQ(item.value, expected[i]) << i;
        EXPECT_TRUE(item.known);
        EXPECT_EQ(model.NodeText(item.key), texts[i]) << i;
    }
}

TEST_F(NetworkReaderTest, PagesAreReadUntilTheCursorIsZero) {
    FakeNetwork net;
    net.structure[kSystem] = QList<QByteArray>(40, Paged(0, 0, {}));
    Use(net);
    EXPECT_TRUE(reader.Lee_Estructura(0));
    EXPECT_EQ(link.requests.size(), 40);
}

// Counts the requests sent by the time each node is added.
class RequestsAtEachNode : public ModelObserver {
  public:
    explicit RequestsAtEachNode(const ScriptedLink& link) : link_(link) {}
    void NodeAdded(int) override { counts.append(static_cast<int>(link_.requests.size())); }
    QList<int> counts;

  private:
    const ScriptedLink& link_;
};

// The next page is asked for before a page is handled, so the scale prepares it meanwhile; a
// page is handled whatever becomes of that request.
TEST_F(NetworkReaderTest, NextPageIsAskedForBeforeEachPageIsHandled) {
    const QList<QByteArray> pages = {Paged(1, 0, Menu(1, 201, "General")),
                                     Paged(1, 0, Record(1, 7, 1, 4, "Precio")),
                                     Paged(1, 0, Record(2, 7, 1, 4, "Tara"))};
    struct Case {
        const char* name;
        int failingSend;         // 0: none
        QList<int> cyclingPage;  // this page points back to page 1
        bool ok;
        QList<int> requestsAtNodes;
    };
    const Case cases[] = {
        {"three pages", -1, {}, true, {2, 3, 3}},
        {"second request not sent", 1, {}, false, {1}},
        {"third request not sent", 2, {}, false, {2, 2}},
        {"cursor comes back", -1, {2}, false, {2, 3, 3}},
    };
    for (const Case& c : cases) {
        model.Clear();
        Skeleton();
        FakeNetwork net;
        net.structure[kSystem] = pages;
        Use(net);
        if (!c.cyclingPage.isEmpty()) {
            link.SetResponder([&](const QByteArray& r) {
                ScriptedLink::Answer answer = fake(r);
                if (Bytes_A_Numero(r.mid(11, 2)) == c.cyclingPage[0])
                    answer.reply.replace(12, 2, Le16(1));
                return answer;
            });
        }
        link.requests.clear();
        link.failingSend = c.failingSend;
        RequestsAtEachNode observer(link);
        model.AddObserver(&observer);
        EXPECT_EQ(reader.Lee_Estructura(0), c.ok) << c.name;
        model.RemoveObserver(&observer);
        EXPECT_EQ(observer.counts, c.requestsAtNodes) << c.name;
    }
}

FakeNetwork TwoScales() {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({2, 1, 4, 0, 0, 0, 0, 0, 0x0F, 2, 5, 1, 2, 3, 4, 5, 6});
    net.structure[kSystem] = {Paged(2, 0, Menu(1, 201, "General") + Record(1, 7, 1, 4, "Precio"))};
    net.values[kSystem] = {Paged(1, 0, NumberValue(1, 10))};
    net.structure[kStructure] = {
        Paged(2, 0, Menu(2, 200, "Balanza") + Record(1, 8, 1, 9, "Nombre"))};
    net.values[kScale + 1] = {Paged(1, 0, TextValue(1, 8, "Uno"))};
    net.values[kScale + 2] = {Paged(1, 0, TextValue(1, 8, "Dos"))};
    return net;
}

TEST_F(NetworkReaderTest, ReadsTheWholeNetworkIntoTheTree) {
    Use(TwoScales());
    ASSERT_TRUE(reader.Lee_Datos(op));
    EXPECT_EQ(Tree(), (QStringList{
                          "Red mundo Red",
                          "  Balanza balanza Operativa Balanzas",
                          "    bal001 g386 Balanza 1.Mostrador : 4.MAC : 00000F",
                          "      mb0010001 menu Balanza",
                          "        b0010001 valor Nombre = Uno",
                          "    bal002 g386 Balanza 2.Mostrador : 5.MAC : 123456",
                          "      mb0020001 menu Balanza",
                          "        b0020002 valor Nombre = Dos",
                          "  Sistema sistema Datos Comunes",
                          "    ms0001 menu General",
                          "      s0001 valor Precio = 10",
                      }));
    EXPECT_EQ(op.captions,
              (QStringList{"begin Leyendo Estructura de Red", "Leyendo Datos Generales",
                           "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", "end"}));
    EXPECT_TRUE(op.shown.empty());

    // A second reading: menu keys repeat, item keys never do.
    ASSERT_TRUE(reader.Lee_Datos(op));
    EXPECT_EQ(model.Menus()[1].key, QString("mb0010001"));
    EXPECT_EQ(model.Items()[0].key, QString("s0002"));
    EXPECT_EQ(model.Items()[1].key, QString("b0010003"));
    EXPECT_EQ(model.Items()[2].key, QString("b0020004"));
}

// Without the network or the system's structure there is nothing to configure; any later
// failure keeps what was read.
TEST_F(NetworkReaderTest, FailuresEndTheProgramOrKeepWhatWasRead) {
    using Change = std::function<void(FakeNetwork&)>;
    struct Case {
        const char* name;
        Change change;
        bool ends;
        QStringList captions;  // after the first
        int scales;            // nodes under "Balanza"
        QStringList values;    // of every item, "?" when unknown
    };
    const Change noNetwork = [](FakeNetwork& n) { n.network = ReplyHeader(); };
    const Change noStructure = [](FakeNetwork& n) { n.structure[kSystem].clear(); };
    const Change noValues = [](FakeNetwork& n) { n.failValuesOf[kSystem] = 0; };
    const Change noScale1 = [](FakeNetwork& n) { n.failValuesOf[kScale + 1] = 0; };
    const Change noScales = [](FakeNetwork& n) { n.network = ReplyHeader() + QByteArray(5, 0); };
    const QString general = "Leyendo Datos Generales";
    const Case cases[] = {
        {"network", noNetwork, true, {"end"}, 0, {}},
        {"system structure", noStructure, true, {general, "end"}, 2, {}},
        {"system values", noValues, false, {general, "end"}, 2, {"?"}},
        {"scale 1 values",
         noScale1,
         false,
         {general, "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", "end"},
         2,
         {"10", "?", "Dos"}},
        {"no scales", noScales, false, {general, "end"}, 0, {"10"}},
    };
    for (const Case& c : cases) {
        FakeNetwork net = TwoScales();
        c.change(net);
        Use(net);
        op.captions.clear();
        op.shown.clear();
        EXPECT_EQ(reader.Lee_Datos(op), !c.ends) << c.name;
        ASSERT_EQ(op.shown.size(), c.ends ? 1u : 0u) << c.name;
        if (c.ends) {
            EXPECT_EQ(op.shown[0].text, QString("Error de comunicaciones")) << c.name;
            EXPECT_EQ(op.shown[0].icon, Icon::Critical) << c.name;
        }
        EXPECT_EQ(op.captions.mid(1), c.captions) << c.name;
        EXPECT_EQ(model.Node(model.FindNode("Balanza")).children.size(), size_t(c.scales))
            << c.name;
        QStringList values;
        for (const ItemRow& item : model.Items()) values.append(item.known ? item.value : "?");
        EXPECT_EQ(values, c.values) << c.name;
    }
}

TEST(NumberText, DivisorAndShortestDecimal) {
    struct Case {
        double number;
        int divisor;
        const char* text;
    };
    const Case cases[] = {
        {1234, 0, "1234"},
        {1234, '0', "1234"},
        {-1235, '2', "-617.5"},
        {1, '3', "0.3333333333333333"},
        {2147483647, 0, "2147483647"},
        {1000000, '1', "1000000"},
        {5, ' ', "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(protocol::NumberText(c.number, c.divisor), QString(c.text)) << c.text;
}

}  // namespace
}  // namespace cfg
