#include "core/network/networkreader.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QSet>

#include "core/history/historystore.h"
#include "support/testsupport.h"

using namespace cfgtest;

namespace cfg {
namespace {

QByteArray Record(int id, int code, int order, int length, const QByteArray& text,
                  const QList<QByteArray>& options = {}) {
    QByteArray r = Numero_A_Bytes(id, 2) + Bytes({code, order, length}) + Text(text);
    for (const QByteArray& o : options) r += Text(o);
    return r;
}
QByteArray Menu(int id, int code, const QByteArray& text) {
    return Record(id, code, 0, 0, text);
}

constexpr int kSystem = 0x0000, kStructure = 0x2000, kScale = 0x0200;  // + the scale's number

// Pages of structure and values per destination word (bytes 3 and 4); page i is asked for with
// cursor i and points to i + 1, the last one to 0, or back to `cycleTo`.
struct FakeNetwork {
    QByteArray network = ReplyHeader() + QByteArray(5, 0);  // no scales
    QMap<int, QList<QByteArray>> structure, values;
    QSet<QByteArray> failing;              // requests whose exchange fails
    mutable QSet<QByteArray> failingOnce;  // requests whose first exchange fails
    int cycleTo = 0;

    ScriptedLink::Answer operator()(const QByteArray& request) const {
        const int function = request[10];
        const int destination = uchar(request[2]) * 256 + uchar(request[3]);
        if (failing.contains(request) || failingOnce.remove(request)) return {3, {}};
        if (function == 0x03) return {0, network};
        const int cursor = int(Bytes_A_Numero(request.mid(11, 2)));
        const QList<QByteArray> pages = (function == 0x02 ? structure : values).value(destination);
        if (cursor >= pages.size()) return {0, ReplyHeader()};  // too short
        QByteArray page = pages[cursor];
        return {0, page.replace(
                       12, 2, Numero_A_Bytes(cursor + 1 < pages.size() ? cursor + 1 : cycleTo, 2))};
    }
};

class NetworkReaderTest : public ::testing::Test {
  protected:
    // "" when read, else the Error's text (its code when it has none).
    QString Read(const FakeNetwork& network) {
        fake = network;
        link.requests.clear();
        op.captions.clear();
        const Status read = reader.Lee_Datos(op);
        if (read) return {};
        return read.error().text.isEmpty() ? QString::number(read.error().code) : read.error().text;
    }
    QStringList Tree(int from = 0) const {
        QStringList tree;
        for (const TreeNode& node : model.Nodes())
            tree.append(node.key + " " + node.image + " " + node.text);
        return tree.mid(from);
    }
    // The parts not read, as owner:part.
    QString Failures() const {
        QStringList said;
        for (const ReadFailure& f : model.ReadFailures())
            said.append(QString("%1:%2").arg(f.owner).arg(int(f.part)));
        return said.join(' ');
    }
    FakeNetwork fake;
    ScriptedLink link{[this](const QByteArray& r) { return fake(r); }};
    ConfigModel model;
    NetworkReader reader{link, model};
    cfgtest::RecordingOperation op;
};

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
    ASSERT_EQ(Read(net), "");
    EXPECT_EQ(link.requests.mid(1, 2),
              (QList<QByteArray>{Request(kSystem, Bytes({2, 0, 0, 0, 0})),
                                 Request(kSystem, Bytes({2, 1, 0, 0, 0}))}));
    EXPECT_EQ(Tree(3),
              (QStringList{"ms0001 menu Menu 3", "s0001 valor Precio", "s0002 valor Activo",
                           "ms0002 menu Menu 5", "s0003 valorno Fecha"}));
    ASSERT_EQ(model.Items().size(), 4u);
    EXPECT_EQ(model.Items()[0].key + model.Items()[0].menuKey + model.Items()[0].text, "Suelto");
    EXPECT_EQ(model.Items()[2].options, (QStringList{"NO", "SI"}));
    EXPECT_EQ(model.Menus()[1].id, 5);
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
        PagedAnswer(6, 0, Entry(1, 7, Numero_A_Bytes(1234, 4) + "2") + Entry(2, 7, Numero_A_Bytes(-1235, 4) + "2") +
            Entry(3, 7, Numero_A_Bytes(1, 4) + "3") + Entry(4, 9, Text("311299")) + Entry(5, 9, Text("31129")) +
            Entry(6, 8, Text(""))),
        PagedAnswer(6, 0, Entry(7, 5, Bytes({1})) + Entry(8, 5, Bytes({0})) + Entry(7, 5, Bytes({0})) +
            Entry(9, 5, Bytes({1})) + Entry(1, 6, Text("X")) + Entry(2, 8, Text("X")))};
    // clang-format on
    ASSERT_EQ(Read(net), "");
    EXPECT_EQ(link.requests.last(), Request(kSystem, Bytes({0, 1, 0, 0})));
    EXPECT_EQ(Tree(4), (QStringList{"s0001 valor Precio = 617", "s0002 valor Tara = -617.5",
                                    "s0003 valor Despl = 0.3333333333333333",
                                    "s0004 valor Fecha = 31/12/99", "s0005 valor Corta = 01/01/03",
                                    "s0006 valor Vacio = ", "s0007 valor Modo = SI = NO",
                                    "s0008 valor Fijo = (No seleccionable)", "s0009 valor "}));
    EXPECT_EQ(model.Items()[4].value + "|" + model.Items()[6].value, QString("01/01/03|0"));
}

// A page is handled whatever becomes of the request for the next, and a cursor that comes back
// fails the read.
TEST_F(NetworkReaderTest, PagesAreReadUntilTheCursorIsZero) {
    // The Send that fails (-1: none), the page the last one points to, the read, the pages handled.
    const std::tuple<int, int, bool, size_t> cases[] = {
        {-1, 0, true, 3}, {1, 0, false, 1}, {2, 0, false, 2}, {-1, 1, false, 3}};
    for (const auto& [failingSend, cycleTo, ok, handled] : cases) {
        model.Clear();
        model.AddNode({}, keys::kSystem, "S", "sistema", NodeKind::SystemBranch);
        fake.structure[kSystem] = {PagedAnswer(1, 0, Menu(1, 201, "General")),
                                   PagedAnswer(1, 0, Record(1, 7, 1, 4, "Precio")),
                                   PagedAnswer(1, 0, Record(2, 7, 1, 4, "Tara"))};
        fake.cycleTo = cycleTo;
        link.requests.clear();
        link.failingSend = failingSend;
        EXPECT_EQ(reader.Lee_Estructura(0), ok) << failingSend;
        EXPECT_EQ(model.Nodes().size(), 1 + handled) << failingSend;
    }
}

// Every scale shares one structure, of which it keeps its own menus (200 and 202), and has
// values of its own.
FakeNetwork TwoScales() {
    FakeNetwork net;
    net.network = ReplyHeader() + Bytes({2, 1, 4, 0, 0, 0, 0, 0, 0x0F, 2, 5, 1, 2, 3, 4, 5, 6});
    // clang-format off
    net.structure[kSystem] = {PagedAnswer(2, 0, Menu(1, 201, "General") + Record(1, 7, 1, 4, "Precio"))};
    net.values[kSystem] = {PagedAnswer(1, 0, Entry(1, 7, Numero_A_Bytes(10, 5)))};
    net.structure[kStructure] = {PagedAnswer(6, 0, Menu(2, 200, "Bal") + Record(1, 8, 1, 9, "Nombre") +
        Menu(3, 201, "De sistema") + Record(5, 7, 1, 4, "Oculto") + Menu(4, 202, "Hard") +
        Record(6, 5, 1, 2, "Modo", {"A", "B"}))};
    net.values[kScale + 1] = {PagedAnswer(2, 0, Entry(1, 8, Text("Uno")) + Entry(6, 5, Bytes({0})))};
    net.values[kScale + 2] = {PagedAnswer(2, 0, Entry(1, 8, Text("Dos")) + Entry(6, 5, Bytes({1})))};
    // clang-format on
    return net;
}

TEST_F(NetworkReaderTest, ReadsTheWholeNetworkIntoTheTree) {
    ASSERT_EQ(Read(TwoScales()), "");
    EXPECT_EQ(link.requests.at(0), Request(kSystem, Bytes({0x03, 0x00})));
    // clang-format off
    EXPECT_EQ(Tree(), (QStringList{"Red mundo Red", "Balanza balanza Operativa Balanzas",
        "Sistema sistema Datos Comunes", "bal001 g386 Balanza 1.Mostrador : 4.MAC : 00000F",
        "bal002 g386 Balanza 2.Mostrador : 5.MAC : 123456", "ms0001 menu General",
        "s0001 valor Precio = 10", "mb0010001 menu Bal", "b0010001 valor Nombre = Uno",
        "mb0010002 hard Hard", "b0010002 valor Modo = A", "mb0020001 menu Bal",
        "b0020003 valor Nombre = Dos", "mb0020002 hard Hard", "b0020004 valor Modo = B"}));
    // clang-format on
    EXPECT_TRUE(link.requests.contains(Request(kStructure, Bytes({2, 0, 0, 0, 0}))));
    EXPECT_TRUE(link.requests.contains(Request(kScale + 1, Bytes({0, 0, 0, 0}))));
    EXPECT_EQ(op.captions,
              (QStringList{"begin Leyendo Estructura de Red", "Leyendo Datos Generales",
                           "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", "end"}));
    EXPECT_EQ(op.progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    // Read again into the same model (new item keys): the history keeps the one snapshot.
    HistoryStore store;
    const auto record = [&] {
        const Result<qint64> id =
            store.Record(SnapshotCause::Read, "c", model, HeldByNetwork(model));
        return id ? *id : 0;
    };
    QTemporaryDir dir;
    ASSERT_TRUE(store.Open(dir.filePath("h")) && record() == 1 && Read(TwoScales()).isEmpty());
    EXPECT_EQ(record(), 1);
}

// Stopped after the exchange under way: before the system's structure there is nothing to work
// on, and nothing to say; after it, a read in part whose owner under way and those after it
// count as not read (scale:part).
TEST_F(NetworkReaderTest, ACancelledReadStopsAfterTheExchangeUnderWay) {
    const std::tuple<int, bool, QString> cases[] = {
        {1, false, ""}, {2, true, "0:0 1:3 2:3"}, {4, true, "1:2 2:3"}, {6, true, "2:2"}};
    for (const auto& [exchanges, read, failures] : cases) {
        op.cancel = [&, n = exchanges] { return link.requests.size() >= n; };
        EXPECT_EQ(Read(TwoScales()), read ? "" : QString::number(Error::Cancelled)) << exchanges;
        EXPECT_EQ(link.requests.size(), exchanges);
        EXPECT_TRUE(op.TakeShown().isEmpty());
        EXPECT_EQ(Failures(), failures) << exchanges;
    }
}

// Without the network or the system's structure there is nothing to configure; any later
// failure keeps what was read, and which parts failed (scale:part) is recorded.
TEST_F(NetworkReaderTest, FailuresEndTheProgramOrKeepWhatWasRead) {
    const QString general = "Leyendo Datos Generales", end = "end";
    const QStringList both{general, "Leyendo Datos Equipo 1", "Leyendo Datos Equipo 2", end};
    const struct {
        std::function<void(FakeNetwork&)> change;
        bool ends;
        QStringList captions;  // after the first
        size_t scales;         // nodes under "Balanza"
        QStringList values;    // of every item, "?" when unknown
        QString failures;
    } cases[] = {
        // clang-format off
        {[](FakeNetwork& n) { n.network = ReplyHeader() + Bytes({1, 2, 3, 4}); }, true, {end}, 0, {}, ""},
        {[](FakeNetwork& n) { n.failing = {Request(kSystem, Bytes({3, 0}))}; }, true, {end}, 0, {}, ""},
        {[](FakeNetwork& n) { n.structure[kSystem].clear(); }, true, {general, end}, 2, {}, ""},
        {[](FakeNetwork& n) { n.failing = {Request(kSystem, Bytes({0, 0, 0, 0}))}; }, false,
         {general, end}, 2, {"?"}, "0:0 1:3 2:3"},
        {[](FakeNetwork& n) { n.failing = {Request(kScale + 1, Bytes({0, 0, 0, 0}))}; }, false,
         both, 2, {"10", "?", "?", "Dos", "1"}, "1:2"},
        {[](FakeNetwork& n) { n.failing = {Request(kStructure, Bytes({2, 0, 0, 0, 0}))}; }, false,
         both, 2, {"10"}, "1:1 2:1"},
        {[](FakeNetwork& n) { n.network = FakeNetwork().network; }, false, {general, end}, 0, {"10"}, ""},
        // A read that fails once is sent once more, and all is read.
        {[](FakeNetwork& n) { n.failingOnce = {Request(kSystem, Bytes({3, 0})),
             Request(kStructure, Bytes({2, 0, 0, 0, 0})), Request(kScale + 2, Bytes({0, 0, 0, 0}))}; },
         false, both, 2, {"10", "Uno", "0", "Dos", "1"}, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeNetwork net = TwoScales();
        c.change(net);
        EXPECT_EQ(Read(net), c.ends ? "Error de comunicaciones" : "");
        EXPECT_TRUE(op.TakeShown().isEmpty());  // the front end says it
        EXPECT_EQ(op.captions.mid(1), c.captions);
        EXPECT_EQ(model.Node(model.FindNode("Balanza")).children.size(), c.scales);
        QStringList values;
        for (const ItemRow& item : model.Items()) values.append(item.known ? item.value : "?");
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(Failures(), c.failures);
        // A failing read goes twice, never a third time; the structure every scale shares is
        // asked for by each of the two.
        for (const QByteArray& failing : net.failing)
            EXPECT_EQ(link.requests.count(failing), failing[2] == 0x20 ? 4 : 2);
    }
}

}  // namespace
}  // namespace cfg
