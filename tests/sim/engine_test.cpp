#include "sim/engine.h"

#include <QSet>

#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

using simtest::Bytes;
using simtest::Request;
using simtest::Undo;

QByteArray Head(int d1 = 0, int d2 = 0) {
    return Bytes({0x02, 0x7E, d1, d2, 0x0D, 0, 0, 0, 0, 0x08});
}
const QByteArray kEmptyPage = Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
QByteArray Structure(int d1, int d2, int cursor) {
    return Request(d1, d2, 0x02) + Bytes({cursor & 0xFF, cursor >> 8, 0, 0});
}
QByteArray Values(int d1, int d2, int cursor) {
    return Request(d1, d2, 0x00) + Bytes({cursor & 0xFF, cursor >> 8, 0});
}
QByteArray Menu(int d1, int d2, int menu) {
    return Request(d1, d2, 0x00) + Bytes({menu, 0, 1});
}
QByteArray Entry(int id, int type, const QByteArray& value) {
    return Bytes({id & 0xFF, id >> 8, type}) + value;
}
QByteArray Num(int id, std::int32_t n) {
    const auto u = static_cast<std::uint32_t>(n);
    return Entry(id, 7,
                 Bytes({int(u & 0xFF), int(u >> 8 & 0xFF), int(u >> 16 & 0xFF), int(u >> 24), 0}));
}
QByteArray Str(int id, int type, const QByteArray& text) {
    return Entry(id, type, Bytes({static_cast<int>(text.size())}) + text);
}
QByteArray WriteTo(int d1, int d2, const QList<QByteArray>& entries) {
    return Request(d1, d2, 0x01) + Bytes({static_cast<int>(entries.size()), 0}) + entries.join();
}
Engine MakeEngine(int pageSize, QSet<int> refused = {}, Network n = simtest::SmallNetwork()) {
    return Engine(std::move(n), {pageSize, {.refusedIds = std::move(refused)}, 7});
}

const QByteArray kSystemValues =
    Bytes({0x0D, 0, 5, 1, 2, 0, 7, 0xD2, 4, 0, 0, '2', 3, 0, 8, 2, 'a', 'b', 4, 0, 9, 6}) +
    "311299" + Bytes({5, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0, 6, 0, 5, 0});
QByteArray Lines(const QByteArray& first) {
    QByteArray out = Bytes({0x98, 0, 8, static_cast<int>(first.size())}) + first;
    for (int i = 1; i < 6; ++i) out += Bytes({0x98 + i, 0, 8, 1, 'a' + i});
    return out + Bytes({0x14, 0, 7, 0, 0, 0, 0, 0});
}

struct ReplyCase {
    const char* name;
    int pageSize;
    QByteArray request;
    QByteArray reply;
};
class SimReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(SimReply, IsTheAddressedOwnersBytesPaddedToTheMinimum) {
    Engine engine = MakeEngine(GetParam().pageSize);
    EXPECT_EQ(Undo(engine.HandleRequest(GetParam().request)), GetParam().reply);
}

const QByteArray kGen = Bytes({1, 0, 0xC9, 0, 0, 3}) + "Gen";
const QByteArray kId = Bytes({0x0D, 0, 5, 1, 2, 2, 'I', 'd', 2, 'N', 'o', 2, 'S', 0xA1});
INSTANTIATE_TEST_SUITE_P(
    Sim, SimReply,
    ::testing::Values(ReplyCase{"network", 8, Request(0, 0, 3) + Bytes({0}),
                                Head() + Bytes({2, 5, 2, 0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 9, 0, 1,
                                                2, 3, 4, 5, 6})},
                      ReplyCase{"first structure page", 3, Structure(0, 0, 0),
                                Head() + Bytes({3, 0, 3, 0}) + kGen + kId +
                                    Bytes({2, 0, 7, 2, 3, 4}) + "Tara"},
                      ReplyCase{"last structure page", 3, Structure(0, 0, 6),
                                Head() + Bytes({1, 0, 0, 0, 6, 0, 5, 5, 0, 4}) + "Modo"},
                      ReplyCase{"shared structure by scale", 2, Structure(2, 9, 0),
                                Head(2, 9) + Bytes({2, 0, 2, 0, 1, 0, 0xC8, 0, 0, 3}) + "Bal" +
                                    Bytes({0x98, 0, 8, 1, 4, 1, 'L'})},
                      ReplyCase{"a values page", 2, Values(0, 0, 0),
                                Head() + Bytes({2, 0, 2, 0}) + kSystemValues.left(12)},
                      ReplyCase{"own values and defaults", 100, Values(2, 9, 0),
                                Head(2, 9) + Bytes({7, 0, 0, 0}) + Lines("zz")},
                      ReplyCase{"a menu is never paged", 1, Menu(0, 0, 1),
                                Head() + Bytes({6, 0, 0, 0}) + kSystemValues},
                      ReplyCase{"menu of a scale", 1, Menu(2, 5, 1),
                                Head(2, 5) + Bytes({7, 0, 0, 0}) + Lines("a")},
                      ReplyCase{"unknown menu", 1, Menu(0, 0, 9), Head() + kEmptyPage},
                      ReplyCase{"cursor past the end", 3, Values(0, 0, 40), Head() + kEmptyPage},
                      ReplyCase{"empty write", 8, WriteTo(0, 0, {}), Head() + Bytes({0, 0, 0, 0})}),
    [](const auto& test) { return "case" + std::to_string(test.index); });

struct WriteCase {
    const char* name;
    QByteArray request;
    int accepted;
    int code;
    QSet<int> refused = {};
    QByteArray line154 = {};  // what scale 5 then holds for item 154 ("" unchanged)
    int tareLength = 3;
};
class SimWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(SimWrite, AcceptsWhatFitsAndNamesTheFirstRefusal) {
    const WriteCase& c = GetParam();
    Network n = simtest::SmallNetwork();
    n.system[2].length = c.tareLength;
    Engine engine = MakeEngine(8, c.refused, n);
    const QByteArray reply = Undo(engine.HandleRequest(c.request));
    EXPECT_EQ(reply.mid(10), Bytes({c.accepted, 0, c.code, 0})) << c.name;
    EXPECT_EQ(engine.network().scales[0].values.value(154).bytes, c.line154) << c.name;
}

const QList<QByteArray> kSix = {Str(152, 8, "A"), Str(153, 8, "B"), Str(154, 8, "X"),
                                Str(155, 8, "D"), Str(156, 8, "E"), Str(157, 8, "F")};
INSTANTIATE_TEST_SUITE_P(
    Sim, SimWrite,
    ::testing::Values(
        WriteCase{"last option", WriteTo(0, 0, {Entry(13, 5, Bytes({1}))}), 1, 0},
        WriteCase{"option count", WriteTo(0, 0, {Entry(13, 5, Bytes({2}))}), 0, 103},
        WriteCase{"no options, its value", WriteTo(0, 0, {Entry(6, 5, Bytes({0}))}), 1, 0},
        WriteCase{"no options, another", WriteTo(0, 0, {Entry(6, 5, Bytes({1}))}), 0, 103},
        WriteCase{"length digits", WriteTo(0, 0, {Num(2, 999)}), 1, 0},
        WriteCase{"a digit more", WriteTo(0, 0, {Num(2, 1000)}), 0, 103},
        WriteCase{"negative refused", WriteTo(0, 0, {Num(2, -5)}), 0, 103},
        WriteCase{"negative allowed", WriteTo(2, 5, {Num(20, -99)}), 1, 0},
        WriteCase{"negative too long", WriteTo(2, 5, {Num(20, -100)}), 0, 103},
        WriteCase{
            "times divisor in 32 bits", WriteTo(0, 0, {Num(2, 1000000000)}), 1, 0, {}, {}, 10},
        WriteCase{
            "times divisor past 32 bits", WriteTo(0, 0, {Num(2, 2000000000)}), 0, 103, {}, {}, 10},
        WriteCase{"string of its length", WriteTo(0, 0, {Str(3, 8, "abcd")}), 1, 0},
        WriteCase{"empty string", WriteTo(0, 0, {Str(3, 8, "")}), 1, 0},
        WriteCase{"string too long", WriteTo(0, 0, {Str(3, 8, "abcde")}), 0, 103},
        WriteCase{"date", WriteTo(0, 0, {Str(4, 9, "310299")}), 1, 0},
        WriteCase{"date of 5", WriteTo(0, 0, {Str(4, 9, "31029")}), 0, 103},
        WriteCase{"date with slashes", WriteTo(0, 0, {Str(4, 9, "1/2/03")}), 0, 103},
        WriteCase{"unknown ID", WriteTo(0, 0, {Num(999, 1)}), 0, 103},
        WriteCase{"other owner's ID", WriteTo(0, 0, {Num(20, 1)}), 0, 103},
        WriteCase{"other type", WriteTo(0, 0, {Str(2, 8, "1")}), 0, 103},
        WriteCase{"read-only", WriteTo(0, 0, {Num(5, 1)}), 0, 98},
        WriteCase{"entry cut short", WriteTo(0, 0, {Num(2, 1).left(5)}), 0, 103},
        WriteCase{"fewer entries than said", WriteTo(0, 0, {Num(2, 1)}).replace(11, 1, "\x02"), 1,
                  103},
        WriteCase{"first refusal", WriteTo(0, 0, {Num(2, 1), Num(5, 1), Num(999, 1), Num(2, 2)}), 2,
                  98},
        WriteCase{"no such scale", WriteTo(2, 6, {Num(20, 1)}), 0, 100},
        WriteCase{"refused ID", WriteTo(0, 0, {Str(3, 8, "ok")}), 0, 98, {3}},
        WriteCase{"refused on a scale", WriteTo(2, 9, {Num(20, 1)}), 0, 98, {20}},
        WriteCase{"one of the group", WriteTo(2, 5, {kSix[2]}), 0, 98},
        WriteCase{"five of the group", WriteTo(2, 5, kSix.mid(0, 5)), 0, 98},
        WriteCase{"the whole group", WriteTo(2, 5, kSix), 6, 0, {}, "X"},
        WriteCase{"the group in any order",
                  WriteTo(2, 5, {kSix[5], kSix[2], kSix[0], kSix[3], kSix[1], kSix[4]}),
                  6,
                  0,
                  {},
                  "X"},
        WriteCase{"group and more", WriteTo(2, 5, kSix + QList{Num(20, 3)}), 7, 0, {}, "X"},
        WriteCase{"group with a bad member",
                  WriteTo(2, 5, kSix.mid(1) + QList{Str(152, 8, "ABCDE")}), 0, 103},
        WriteCase{"part of the group and more", WriteTo(2, 5, kSix.mid(1) + QList{Num(20, 3)}), 1,
                  98},
        WriteCase{"part of the group, bad entry", WriteTo(2, 5, kSix.mid(1) + QList{Num(999, 3)}),
                  0, 103}),
    [](const auto& test) { return "case" + std::to_string(test.index); });

TEST(SimEngine, WrittenValuesAreReadBackInTheirOwnersUnits) {
    Engine engine = MakeEngine(100);
    engine.HandleRequest(WriteTo(0, 0, {Num(2, 600)}));
    engine.HandleRequest(WriteTo(2, 5, {Num(20, -7)}));
    EXPECT_EQ(Undo(engine.HandleRequest(Menu(0, 0, 1))).mid(18, 8),
              Bytes({2, 0, 7, 0xB0, 0x04, 0, 0, '2'}));
    EXPECT_EQ(Undo(engine.HandleRequest(Values(2, 5, 0))).right(8),
              Bytes({0x14, 0, 7, 0xF9, 0xFF, 0xFF, 0xFF, 0}));
    EXPECT_EQ(Undo(engine.HandleRequest(Values(2, 9, 0))).right(8),
              Bytes({0x14, 0, 7, 0, 0, 0, 0, 0}));
}

// How the tool sends the group items one by one: only the second of two equal writes in a row
// takes, and a third starts a new pair.
TEST(SimEngine, AGroupItemAloneTakesWhenWrittenTwiceInARow) {
    Engine engine = MakeEngine(100);
    const QByteArray write = WriteTo(2, 5, {Str(154, 8, "X")});
    const QByteArray other = WriteTo(2, 5, {Str(154, 8, "Y")});
    const QList<std::pair<QByteArray, int>> steps = {{write, 0}, {write, 1}, {write, 0},
                                                     {other, 0}, {write, 0}, {other, 0}};
    for (const auto& [request, accepted] : steps)
        EXPECT_EQ(Undo(engine.HandleRequest(request))[10], accepted);
    EXPECT_EQ(engine.network().scales[0].values.value(154).bytes, "X");
}

TEST(SimEngine, ShortRepliesAreCutBelowTheirMinimum) {
    Engine engine(simtest::SmallNetwork(), {100, {.shortReplies = true, .refusedIds = {}}, 7});
    const std::pair<QByteArray, qsizetype> cases[] = {{Request(0, 0, 3) + Bytes({0}), 14},
                                                      {Structure(0, 0, 0), 19},
                                                      {Values(0, 0, 0), 19},
                                                      {Menu(0, 0, 9), 14},
                                                      {WriteTo(0, 0, {Num(2, 1)}), 13},
                                                      {Request(0, 0, 0x44), 13}};
    for (const auto& [request, size] : cases) EXPECT_EQ(engine.HandleRequest(request).size(), size);
    EXPECT_EQ(engine.network().system[2].value.number, 2);  // the write itself happened
}

struct ErrorCase {
    QByteArray request;
    int code;
};
class SimError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SimError, ReplyCarriesTheCodeAndIsTooShortForAnyRead) {
    Engine engine = MakeEngine(8);
    const QByteArray reply = Undo(engine.HandleRequest(GetParam().request));
    EXPECT_EQ(reply.size(), 14);
    EXPECT_EQ(reply.mid(10), Bytes({0, 0, GetParam().code, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimError,
    ::testing::Values(
        ErrorCase{Request(0, 0, 0x44) + Bytes({0}), 102}, ErrorCase{Values(2, 6, 0), 100},
        ErrorCase{Structure(2, 6, 0), 100}, ErrorCase{Values(0x20, 0, 0), 100},
        ErrorCase{Request(2, 5, 3) + Bytes({0}), 100}, ErrorCase{WriteTo(5, 0, {}), 100},
        ErrorCase{Request(0, 0, 0) + Bytes({0, 0, 2}), 103},
        ErrorCase{Request(0, 0, 0) + Bytes({0}), 103}, ErrorCase{Request(0, 0, 2), 103},
        ErrorCase{Bytes({0x02, 0x7E, 0, 0, 0}), 101},
        ErrorCase{Bytes({0x03, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 3, 0}), 101}));

TEST(SimEngine, StandInIsAbsentFromTheReplyOrCr) {
    // A value holding every byte but 'A' and CR: the stand-in can only be one of those two.
    Network n;
    n.system = {simtest::Item(1, kString, 0, 255, "", {}),
                simtest::Item(2, kString, 0, 9, "", {0, "\r\rx\r"})};
    for (int b = 1; b < 256; ++b)
        if (b != 'A' && b != '\r') n.system[0].value.bytes.append(static_cast<char>(b));
    Engine engine(n, {100, {}, 3});
    QSet<char> standIns;
    for (int i = 0; i < 48; ++i) {
        const QByteArray wire = engine.HandleRequest(Values(0, 0, 0));
        standIns.insert(wire[4]);
        EXPECT_EQ(Undo(wire).mid(14), Bytes({1, 0, 8, 253}) + n.system[0].value.bytes +
                                          Bytes({2, 0, 8, 4}) + "\r\rx\r");
    }
    EXPECT_EQ(standIns, (QSet<char>{'A', '\r'}));
}

TEST(SimEngine, LargePagesStayWithinOneFrame) {
    Network n;
    for (int i = 0; i < 600; ++i) {
        n.system.append(simtest::Item(i, kString, 0, 255, "", {0, QByteArray(250, 'v')}));
        n.system.last().text = QByteArray(250, 'T');
    }
    Engine engine(n, {65535, {}, 1});
    for (const bool values : {false, true}) {
        int total = 0;
        for (int cursor = 0, pages = 0; pages == 0 || (cursor != 0 && pages < 10); ++pages) {
            const QByteArray page =
                Undo(engine.HandleRequest(values ? Values(0, 0, cursor) : Structure(0, 0, cursor)));
            const int count = uchar(page[10]) | uchar(page[11]) << 8;
            EXPECT_EQ(page.size(), 14 + count * (values ? 254 : 256));
            total += count;
            cursor = uchar(page[12]) | uchar(page[13]) << 8;
            EXPECT_EQ(cursor, total == 600 ? 0 : total);
        }
        EXPECT_EQ(total, 600);
    }
}

}  // namespace
}  // namespace cfg::sim
