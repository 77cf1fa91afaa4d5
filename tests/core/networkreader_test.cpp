#include "core/network/networkreader.h"

#include <gtest/gtest.h>

#include <QMap>

#include "core/model/configmodel.h"
#include "core/protocol/tools.h"
#include "support/scriptedlink.h"
#include "support/testsupport.h"

using cfgtest::Bytes;
using cfgtest::PagedAnswer;
using cfgtest::ReplyHeader;
using cfgtest::ScriptedLink;

namespace cfg {
namespace {

QByteArray Le16(int v) {
    return Numero_A_Bytes(v, 2);
}
QByteArray Record(int id, int code, int order, int length, const QByteArray& text,
                  const QList<QByteArray>& options = {}) {
    QByteArray r = Le16(id) + Bytes({code, order, length, int(text.size())}) + text;
    for (const QByteArray& o : options) r += Bytes({int(o.size())}) + o;
    return r;
}
QByteArray Menu(int id, int code, const QByteArray& text) {
    return Record(id, code, 0, 0, text);
}
QByteArray Value(int id, int type, const QByteArray& bytes) {
    return Le16(id) + Bytes({type}) + bytes;
}
QByteArray Text(const QByteArray& text) {
    return Bytes({int(text.size())}) + text;
}

constexpr int kSystem = 0x0000, kStructure = 0x2000, kScale = 0x0200;  // + the scale's number

// Pages of structure and values per destination word (bytes 3 and 4); page i is asked for with
// cursor i and points to i + 1, the last one to 0.
struct FakeNetwork {
    QByteArray network = ReplyHeader() + QByteArray(5, 0);  // no scales
    QMap<int, QList<QByteArray>> structure, values;
    QMap<int, int> failValuesOf;  // destination -> page whose exchange fails

    ScriptedLink::Answer operator()(const QByteArray& request) const {
        const int function = request[10];
        const int destination = uchar(request[2]) * 256 + uchar(request[3]);
        if (function == 0x03) return {0, network};
        const int cursor = int(Bytes_A_Numero(request.mid(11, 2)));
        if (function == 0x00 && failValuesOf.value(destination, -1) == cursor) return {3, {}};
        const QList<QByteArray> pages = (function == 0x02 ? structure : values).value(destination);
        if (cursor >= pages.size()) return {0, ReplyHeader()};  // too short
        QByteArray page = pages[cursor];
        return {0, page.replace(12, 2, Le16(cursor + 1 < pages.size() ? cursor + 1 : 0))};
    }
};

class NetworkReaderTest : public ::testing::Test {
  protected:
    bool Read(const FakeNetwork& network) {
        fake = network;
        link.SetResponder([this](const QByteArray& r) { return fake(r); });
        link.requests.clear();
        op.captions.clear();
        op.shown.clear();
        return reader.Lee_Datos(op);
    }
    QStringList Tree(int from = 0) const {
        QStringList tree;
        for (const TreeNode& node : model.Nodes())
            tree.append(node.key + " " + node.image + " " + node.text);
        return tree.mid(from);
    }
    FakeNetwork fake;
    ScriptedLink link;
    ConfigModel model;
    NetworkReader reader{link, model};
    cfgtest::RecordingOperation op;
};

TEST_F(NetworkReaderTest, NetworkReplyGivesTheScaleList) {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({3, 7, 2, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 1, 0, 5, 5, 5,
                                         5, 5, 0x05, 9, 1});  // the last entry cut short
    Read(net);
    EXPECT_EQ(link.requests.at(0), Bytes({0x02, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 0x03, 0x00}));
    QStringList scales;
    for (const ScaleEntry& e : model.Scales())
        scales.append(QString("%1 %2 %3").arg(e.number).arg(e.mostrador).arg(e.mac));
    EXPECT_EQ(scales, (QStringList{"7 2 0A1B2C3D4E", "1 0 555555", "9 1 000000"}));
    fake.network = ReplyHeader() + Bytes({1, 2, 3, 4});  // 14 bytes
    EXPECT_FALSE(reader.Lee_Red());
    link.SetResponder([](const QByteArray&) { return ScriptedLink::Answer{2, QByteArray(40, 0)}; });
    EXPECT_FALSE(reader.Lee_Red());
}

// The system keeps the system's menus (201) and leaves the rest; a record reading "Paq  igur"
// ends the reply, and an item before any menu has a row but no node.
TEST_F(NetworkReaderTest, SystemStructureSkipsScaleMenusAndStopsAtTheMarker) {
    FakeNetwork net;
    // clang-format off
    net.structure[kSystem] = {
        PagedAnswer(6, 0, Record(90, 7, 1, 4, "Suelto") + Menu(3, 201, "Menu 3") +
            Record(12, 7, 4, 6, "Precio") + Record(15, 5, 5, 2, "Activo", {" NO ", "SI"}) +
            Menu(4, 200, "De balanza") + Record(16, 8, 1, 10, "Oculto")),
        PagedAnswer(5, 0, Record(17, 8, 1, 10, "Oculto") + Menu(5, 201, "Menu 5") +
            Record(18, 9, 100, 6, "Fecha") + Record(1, 8, 1, 1, "Paq  igur") + Record(19, 8, 1, 1, "Tras"))};
    // clang-format on
    ASSERT_TRUE(Read(net));
    EXPECT_EQ(link.requests.mid(1, 2),
              (QList<QByteArray>{Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0, 0}),
                                 Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 2, 1, 0, 0, 0})}));
    EXPECT_EQ(Tree(3),
              (QStringList{"ms0001 menu Menu 3", "s0001 valor Precio", "s0002 valor Activo",
                           "ms0002 menu Menu 5", "s0003 valorno Fecha"}));
    ASSERT_EQ(model.Items().size(), 4u);
    EXPECT_EQ(model.Items()[0].key + model.Items()[0].menuKey + model.Items()[0].text, "Suelto");
    EXPECT_EQ(model.Items()[2].options, (QStringList{"NO", "SI"}));
    EXPECT_EQ(model.Menus()[1].id, 5);
}

TEST_F(NetworkReaderTest, OptionListsEndWithTheirData) {
    const QByteArray menu = Menu(1, 201, "M");
    const struct {
        QByteArray data;
        QStringList options;
        int records;
    } cases[] = {
        {menu + Record(5, 5, 1, 3, "E") + Bytes({1, 'X', 9, 'Y'}), {"X", "Y"}, 2},
        {menu + Record(5, 5, 1, 1, "E", {"Uno", "Dos"}), {"Uno"}, 3},
        {menu + Record(5, 5, 1, 2, "E") + "    ", {}, 2},
        {menu + Record(5, 5, 1, 1, "E", {"  S\xa0 "}), {QString("S\u00e1")}, 2},
    };
    for (const auto& c : cases) {
        FakeNetwork net;
        net.structure[kSystem] = {PagedAnswer(c.records, 0, c.data)};
        ASSERT_TRUE(Read(net));
        EXPECT_EQ(model.Items().at(0).options, c.options) << c.data.toHex().constData();
    }
}

// Numbers with their divisor digit, dates from six digits, enumerations by option; an ID sent
// twice shows both values, an index with no option empties the node, and an unknown type ends
// the entries.
TEST_F(NetworkReaderTest, ValuesAreDecodedStoredAndShown) {
    FakeNetwork net;
    // clang-format off
    net.structure[kSystem] = {PagedAnswer(10, 0, Menu(1, 201, "M") + Record(1, 7, 1, 6, "Precio") +
        Record(2, 7, 1, 6, "Tara") + Record(3, 7, 1, 6, "Despl") + Record(4, 9, 1, 6, "Fecha") +
        Record(5, 9, 1, 6, "Corta") + Record(6, 8, 1, 6, "Vacio") + Record(7, 5, 1, 2, "Modo", {"NO", "SI"}) +
        Record(8, 5, 1, 0, "Fijo") + Record(9, 5, 1, 1, "Otro", {"A"}))};
    net.values[kSystem] = {
        PagedAnswer(6, 0, Value(1, 7, Numero_A_Bytes(1234, 4) + "2") + Value(2, 7, Numero_A_Bytes(-1235, 4) + "2") +
            Value(3, 7, Numero_A_Bytes(1, 4) + "3") + Value(4, 9, Text("311299")) + Value(5, 9, Text("31129")) +
            Value(6, 8, Text(""))),
        PagedAnswer(6, 0, Value(7, 5, Bytes({1})) + Value(8, 5, Bytes({0})) + Value(7, 5, Bytes({0})) +
            Value(9, 5, Bytes({1})) + Value(1, 6, Text("X")) + Value(2, 8, Text("X")))};
    // clang-format on
    ASSERT_TRUE(Read(net));
    EXPECT_EQ(link.requests.last(), Bytes({2, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 0, 1, 0, 0}));
    EXPECT_EQ(Tree(4), (QStringList{"s0001 valor Precio = 617", "s0002 valor Tara = -617.5",
                                    "s0003 valor Despl = 0.3333333333333333",
                                    "s0004 valor Fecha = 31/12/99", "s0005 valor Corta = 01/01/03",
                                    "s0006 valor Vacio = ", "s0007 valor Modo = SI = NO",
                                    "s0008 valor Fijo = (No seleccionable)", "s0009 valor "}));
    EXPECT_EQ(model.Items()[4].value + "|" + model.Items()[6].value, QString("01/01/03|0"));
}

// Counts the requests sent by the time each node is added.
class RequestsAtEachNode : public ModelObserver {
  public:
    explicit RequestsAtEachNode(const ScriptedLink& link) : link_(link) {}
    void NodeAdded(int) override { counts.append(int(link_.requests.size())); }
    QList<int> counts;

  private:
    const ScriptedLink& link_;
};

// The next page is asked for before a page is handled, so that the scale prepares it; a page
// is handled whatever becomes of that request, and a cursor that comes back fails the read.
TEST_F(NetworkReaderTest, PagesAreReadUntilTheCursorIsZero) {
    const struct {
        int failingSend;
        bool cycles;  // page 2 points back to page 1
        bool ok;
        QList<int> requestsAtNodes;
    } cases[] = {{-1, false, true, {2, 3, 3}},
                 {1, false, false, {1}},
                 {2, false, false, {2, 2}},
                 {-1, true, false, {2, 3, 3}}};
    for (const auto& c : cases) {
        model.Clear();
        model.AddNode({}, keys::kSystem, "S", "sistema", NodeKind::SystemGroup);
        fake.structure[kSystem] = {PagedAnswer(1, 0, Menu(1, 201, "General")),
                                   PagedAnswer(1, 0, Record(1, 7, 1, 4, "Precio")),
                                   PagedAnswer(1, 0, Record(2, 7, 1, 4, "Tara"))};
        link.SetResponder([&](const QByteArray& r) {
            ScriptedLink::Answer answer = fake(r);
            if (c.cycles && Bytes_A_Numero(r.mid(11, 2)) == 2) answer.reply.replace(12, 2, Le16(1));
            return answer;
        });
        link.requests.clear();
        link.failingSend = c.failingSend;
        RequestsAtEachNode observer(link);
        model.AddObserver(&observer);
        EXPECT_EQ(reader.Lee_Estructura(0), c.ok) << c.failingSend;
        model.RemoveObserver(&observer);
        EXPECT_EQ(observer.counts, c.requestsAtNodes) << c.failingSend;
    }
}

// Every scale shares one structure, of which it keeps its own menus (200 and 202), and has
// values of its own.
FakeNetwork TwoScales() {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({2, 1, 4, 0, 0, 0, 0, 0, 0x0F, 2, 5, 1, 2, 3, 4, 5, 6});
    // clang-format off
    net.structure[kSystem] = {PagedAnswer(2, 0, Menu(1, 201, "General") + Record(1, 7, 1, 4, "Precio"))};
    net.values[kSystem] = {PagedAnswer(1, 0, Value(1, 7, Numero_A_Bytes(10, 5)))};
    net.structure[kStructure] = {PagedAnswer(6, 0, Menu(2, 200, "Bal") + Record(1, 8, 1, 9, "Nombre") +
        Menu(3, 201, "De sistema") + Record(5, 7, 1, 4, "Oculto") + Menu(4, 202, "Hard") +
        Record(6, 5, 1, 2, "Modo", {"A", "B"}))};
    net.values[kScale + 1] = {PagedAnswer(2, 0, Value(1, 8, Text("Uno")) + Value(6, 5, Bytes({0})))};
    net.values[kScale + 2] = {PagedAnswer(2, 0, Value(1, 8, Text("Dos")) + Value(6, 5, Bytes({1})))};
    // clang-format on
    return net;
}

TEST_F(NetworkReaderTest, ReadsTheWholeNetworkIntoTheTree) {
    ASSERT_TRUE(Read(TwoScales()));
    // clang-format off
    EXPECT_EQ(Tree(), (QStringList{"Red mundo Red", "Balanza balanza Operativa Balanzas",
        "Sistema sistema Datos Comunes", "bal001 g386 Balanza 1.Mostrador : 4.MAC : 00000F",
        "bal002 g386 Balanza 2.Mostrador : 5.MAC : 123456", "ms0001 menu General",
        "s0001 valor Precio = 10", "mb0010001 menu Bal", "b0010001 valor Nombre = Uno",
        "mb0010002 hard Hard", "b0010002 valor Modo = A", "mb0020001 menu Bal",
        "b0020003 valor Nombre = Dos", "mb0020002 hard Hard", "b0020004 valor Modo = B"}));
    // clang-format on
    EXPECT_TRUE(link.requests.contains(Bytes({2, 0x7E, 0x20, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0, 0})));
    EXPECT_TRUE(link.requests.contains(Bytes({2, 0x7E, 2, 1, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0})));
    EXPECT_EQ(op.captions,
              (QStringList{"begin Leyendo Estructura de Red", "Leyendo Datos Generales",
                           "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", "end"}));
    // A second reading: menu keys repeat, item keys never do.
    ASSERT_TRUE(reader.Lee_Datos(op));
    EXPECT_EQ(model.Menus()[1].key + model.Items()[0].key + model.Items()[4].key,
              QString("mb0010001s0002b0020008"));
}

// Without the network or the system's structure there is nothing to configure; any later
// failure keeps what was read.
TEST_F(NetworkReaderTest, FailuresEndTheProgramOrKeepWhatWasRead) {
    const QString general = "Leyendo Datos Generales", end = "end";
    const struct {
        std::function<void(FakeNetwork&)> change;
        bool ends;
        QStringList captions;  // after the first
        size_t scales;         // nodes under "Balanza"
        QStringList values;    // of every item, "?" when unknown
    } cases[] = {
        // clang-format off
        {[](FakeNetwork& n) { n.network = ReplyHeader(); }, true, {end}, 0, {}},
        {[](FakeNetwork& n) { n.structure[kSystem].clear(); }, true, {general, end}, 2, {}},
        {[](FakeNetwork& n) { n.failValuesOf[kSystem] = 0; }, false, {general, end}, 2, {"?"}},
        {[](FakeNetwork& n) { n.failValuesOf[kScale + 1] = 0; }, false,
         {general, "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", end}, 2, {"10", "?", "?", "Dos", "1"}},
        {[](FakeNetwork& n) { n.network = FakeNetwork().network; }, false, {general, end}, 0, {"10"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeNetwork net = TwoScales();
        c.change(net);
        EXPECT_EQ(Read(net), !c.ends);
        ASSERT_EQ(op.shown.size(), c.ends ? 1u : 0u);
        if (c.ends) {
            EXPECT_EQ(op.shown[0].text, QString("Error de comunicaciones"));
            EXPECT_EQ(op.shown[0].icon, Icon::Critical);
        }
        EXPECT_EQ(op.captions.mid(1), c.captions);
        EXPECT_EQ(model.Node(model.FindNode("Balanza")).children.size(), c.scales);
        QStringList values;
        for (const ItemRow& item : model.Items()) values.append(item.known ? item.value : "?");
        EXPECT_EQ(values, c.values);
    }
}

}  // namespace
}  // namespace cfg
