#include "sim/engine.h"

#include <QSet>

#include "sim/simtestsupport.h"

namespace cfg::sim {
namespace {

using cfgtest::Entry;
using simtest::Bytes;
using simtest::Request;
using simtest::Undo;

QByteArray Num(int id, int n) {
    return Entry(id, 7, cfg::Numero_A_Bytes(n, 4) + '\0');
}
QByteArray Str(int id, int type, const QByteArray& text) {
    return Entry(id, type, cfgtest::Text(text));
}
QByteArray WriteTo(int d1, int d2, const QList<QByteArray>& entries) {
    return Request(d1, d2, 0x01) + Bytes({static_cast<int>(entries.size()), 0}) + entries.join();
}
Engine MakeEngine(int pageSize, QSet<int> refused = {}, Network n = simtest::SmallNetwork()) {
    return Engine(std::move(n), {pageSize, {.refusedIds = std::move(refused)}, 7});
}

struct WriteCase {
    const char* name;
    QByteArray request;
    int accepted;
    int code;
    QSet<int> refused = {};
    QByteArray line154 = {};  // what scale 5 then holds for item 154 ("" unchanged)
};

// Write replies, and error replies to any request, have the write reply's layout: too short for
// any read.
TEST(SimWrite, AcceptsWhatFitsAGroupItemWrittenTwiceAndNamesTheFirstRefusal) {
    const QList<QByteArray> six = {Str(152, 8, "A"), Str(153, 8, "B"), Str(154, 8, "X"),
                                   Str(155, 8, "D"), Str(156, 8, "E"), Str(157, 8, "F")};
    const WriteCase cases[] = {
        {"last option", WriteTo(0, 0, {Entry(13, 5, Bytes({1}))}), 1, 0},
        {"option count", WriteTo(0, 0, {Entry(13, 5, Bytes({2}))}), 0, 103},
        {"length digits", WriteTo(0, 0, {Num(2, 999)}), 1, 0},
        {"a digit more", WriteTo(0, 0, {Num(2, 1000)}), 0, 103},
        {"negative refused", WriteTo(0, 0, {Num(2, -5)}), 0, 103},
        {"negative allowed", WriteTo(2, 5, {Num(20, -99)}), 1, 0},
        {"string of its length", WriteTo(0, 0, {Str(3, 8, "abcd")}), 1, 0},
        {"string too long", WriteTo(0, 0, {Str(3, 8, "abcde")}), 0, 103},
        {"date", WriteTo(0, 0, {Str(4, 9, "310299")}), 1, 0},
        {"unknown ID", WriteTo(0, 0, {Num(999, 1)}), 0, 103},
        {"other type", WriteTo(0, 0, {Str(2, 8, "1")}), 0, 103},
        {"read-only", WriteTo(0, 0, {Num(5, 1)}), 0, 98},
        {"first refusal", WriteTo(0, 0, {Num(2, 1), Num(5, 1), Num(999, 1), Num(2, 2)}), 2, 98},
        {"no such scale", WriteTo(2, 6, {Num(20, 1)}), 0, 100},
        {"refused ID", WriteTo(0, 0, {Str(3, 8, "ok")}), 0, 98, {3}},
        {"one of the group", WriteTo(2, 5, {six[2]}), 0, 98},
        {"the whole group", WriteTo(2, 5, six), 6, 0, {}, "X"},
        {"group and more", WriteTo(2, 5, six + QList{Num(20, 3)}), 7, 0, {}, "X"},
        {"part of the group and more", WriteTo(2, 5, six.mid(1) + QList{Num(20, 3)}), 1, 98},
        {"unknown function", Request(0, 0, 0x44) + Bytes({0}), 0, 102},
        {"the network is the system's", Request(2, 5, 3) + Bytes({0}), 0, 100},
        {"parameters cut short", Request(0, 0, 0) + Bytes({0}), 0, 103},
    };
    for (const WriteCase& c : cases) {
        Engine engine = MakeEngine(8, c.refused);
        EXPECT_EQ(Undo(engine.HandleRequest(c.request)),
                  cfgtest::ReplyHeader(0x0D, uchar(c.request[2]) << 8 | uchar(c.request[3])) +
                      Bytes({c.accepted, 0, c.code, 0}))
            << c.name;
        EXPECT_EQ(engine.network().scales[0].values.value(154).bytes, c.line154) << c.name;
    }
    // How the tool sends the group items one by one: only the second of two equal writes in a
    // row takes, and a third starts a new pair.
    Engine engine = MakeEngine(100);
    const QByteArray write = WriteTo(2, 5, {Str(154, 8, "X")});
    const QByteArray other = WriteTo(2, 5, {Str(154, 8, "Y")});
    const QList<std::pair<QByteArray, int>> steps = {{write, 0}, {write, 1}, {write, 0},
                                                     {other, 0}, {write, 0}, {other, 0}};
    for (const auto& [request, accepted] : steps)
        EXPECT_EQ(Undo(engine.HandleRequest(request))[10], accepted);
    EXPECT_EQ(engine.network().scales[0].values.value(154).bytes, "X");
}

TEST(SimEngine, StandInIsAbsentFromTheReplyOrCr) {
    // A value holding every byte but 'A', 'B' and CR, and a 'B' last: the stand-in can only be
    // 'A' or CR.
    Network n;
    n.system = {{1, kString, 0, 255, "", {}, 0, false, {}},
                {2, kString, 0, 9, "", {}, 0, false, {0, "\r\rxB"}}};
    for (int b = 1; b < 256; ++b)
        if (b != 'A' && b != 'B' && b != '\r') n.system[0].value.bytes.append(static_cast<char>(b));
    Engine engine(n, {100, {}, 3});
    QSet<char> standIns;
    for (int i = 0; i < 48; ++i) {  // the system's values, their first page
        const QByteArray wire = engine.HandleRequest(Request(0, 0, 0x00) + Bytes({0, 0, 0}));
        standIns.insert(wire[4]);
        EXPECT_EQ(Undo(wire).mid(14),
                  Bytes({1, 0, 8, 252}) + n.system[0].value.bytes + Bytes({2, 0, 8, 4}) + "\r\rxB");
    }
    EXPECT_EQ(standIns, (QSet<char>{'A', '\r'}));
}

}  // namespace
}  // namespace cfg::sim
