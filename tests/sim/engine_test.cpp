#include "sim/engine.h"

#include <gtest/gtest.h>

#include <QSet>

#include "core/protocol/tools.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg::sim {
namespace {

using simtest::Request;
using simtest::SmallNetwork;
using simtest::Undo;

// Logical reply header for a request to the system or to a scale.
QByteArray Head(int d1 = 0, int d2 = 0) {
    return Bytes({0x02, 0x7E, d1, d2, 0x0D, 0, 0, 0, 0, 0x08});
}

QByteArray Ask(Engine& engine, const QByteArray& request) {
    return Undo(engine.HandleRequest(request));
}

QByteArray Paged(int d1, int d2, int function, int cursor, int last) {
    return Request(d1, d2, function) + Bytes({cursor & 0xFF, cursor >> 8, last, 0});
}
QByteArray Structure(int d1, int d2, int cursor) {
    return Paged(d1, d2, 0x02, cursor, 0);
}
QByteArray Values(int d1, int d2, int cursor) {
    return Paged(d1, d2, 0x00, cursor, 0).left(14);
}
QByteArray MenuRead(int d1, int d2, int menu) {
    return Paged(d1, d2, 0x00, menu, 1).left(14);
}

EngineOptions PageSize(int size) {
    EngineOptions options;
    options.pageSize = size;
    options.seed = 7;
    return options;
}

// The system's records as the wire carries them, one by one.
const QByteArrayList kSystemRecords = {
    Bytes({0x07, 0x00, 0x08, 0x00, 0x05, 0x03}) + "Ver",
    Bytes({0x01, 0x00, 0xC9, 0x00, 0x00, 0x03}) + "Gen",
    Bytes({0x0D, 0x00, 0x05, 0x01, 0x02, 0x02}) + "Id" + Bytes({0x02}) + "No" +
        Bytes({0x02, 'S', 0xA1}),
    Bytes({0x02, 0x00, 0x07, 0x02, 0x03, 0x04}) + "Tara",
    Bytes({0x03, 0x00, 0x08, 0x03, 0x04, 0x03}) + "Nom",
    Bytes({0x04, 0x00, 0x09, 0x04, 0x08, 0x05}) + "Fecha",
    Bytes({0x05, 0x00, 0x07, 0x78, 0x03, 0x02}) + "RO",
    Bytes({0x06, 0x00, 0x05, 0x05, 0x00, 0x04}) + "Modo",
    Bytes({0x02, 0x00, 0xC8, 0x00, 0x00, 0x01}) + "B",
    Bytes({0x08, 0x00, 0x07, 0x01, 0x02, 0x01}) + "X",
};

// The system's values in structure order.
const QByteArrayList kSystemValues = {
    Bytes({0x07, 0x00, 0x08, 0x02, 'a', 'b'}),
    Bytes({0x0D, 0x00, 0x05, 0x01}),
    Bytes({0x02, 0x00, 0x07, 0xD2, 0x04, 0x00, 0x00, '2'}),
    Bytes({0x03, 0x00, 0x08, 0x04, 'P', 'e', 0xA4, 'a'}),
    Bytes({0x04, 0x00, 0x09, 0x06}) + "311299",
    Bytes({0x05, 0x00, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}),
    Bytes({0x06, 0x00, 0x05, 0x00}),
    Bytes({0x08, 0x00, 0x07, 0x0D, 0x00, 0x00, 0x00, 0x00}),
};

// The little-endian 16-bit number at `at`.
int Word(const QByteArray& bytes, int at) {
    return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
}

// Every page of a paged read of the system, from cursor 0 to the page whose cursor is 0 again.
QList<QByteArray> AllPages(Engine& engine, bool values) {
    QList<QByteArray> pages;
    int cursor = 0;
    do {
        const QByteArray wire =
            engine.HandleRequest(values ? Values(0, 0, cursor) : Structure(0, 0, cursor));
        EXPECT_LE(wire.size(), 65535);
        pages << Undo(wire);
        if (pages.last().size() < 14) {
            ADD_FAILURE() << "page too short: " << pages.last().toHex(' ').toStdString();
            break;
        }
        cursor = Word(pages.last(), 12);
    } while (cursor != 0 && pages.size() < 20);
    return pages;
}

TEST(SimEngine, RepliesShorterThanTheirMinimumArePadded) {
    Network empty;
    Engine engine(empty, PageSize(8));
    struct Case {
        QByteArray request;
        QByteArray reply;
    };
    const Case cases[] = {
        {Request(0, 0, 0x03) + Bytes({0}), Head() + Bytes({0, 0, 0, 0, 0})},
        {Structure(0, 0, 0), Head() + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {Structure(0x20, 0, 0), Head(0x20) + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {Values(0, 0, 0), Head() + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {MenuRead(0, 0, 1), Head() + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        // The write reply is 14 bytes by itself: no entries, nothing accepted, "No hay datos".
        {Request(0, 0, 0x01) + Bytes({0, 0}), Head() + Bytes({0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(engine, c.request), c.reply) << c.request.toHex(' ').toStdString();
    }
}

TEST(SimEngine, RepliesOfTheAddressedOwner) {
    const QByteArray sharedStart = Bytes({0x01, 0x00, 0xC8, 0x00, 0x00, 0x03}) + "Bal" +
                                   Bytes({0x98, 0x00, 0x08, 0x01, 0x04, 0x02}) + "L1";
    struct Case {
        const char* name;
        int pageSize;
        QByteArray request;
        QByteArray reply;
    };
    const Case cases[] = {
        {"network", 8, Request(0, 0, 0x03) + Bytes({0}),
         Head() + Bytes({0x02, 0x05, 0x02, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x09, 0x00, 0x01,
                         0x02, 0x03, 0x04, 0x05, 0x06})},
        {"shared structure", 2, Structure(0x20, 0, 0),
         Head(0x20) + Bytes({2, 0, 2, 0}) + sharedStart},
        {"shared structure by scale number", 2, Structure(0x02, 9, 0),
         Head(0x02, 9) + Bytes({2, 0, 2, 0}) + sharedStart},
        {"shared structure, last page", 2, Structure(0x20, 0, 8),
         Head(0x20) + Bytes({2, 0, 0, 0}) + Bytes({0x03, 0x00, 0xCA, 0x00, 0x00, 0x02}) + "Hw" +
             Bytes({0x0D, 0x00, 0x05, 0x01, 0x02, 0x02}) + "Id" + Bytes({0x02}) + "No" +
             Bytes({0x02, 'S', 0xA1})},
        // Scale 9 has its own values for 152 and 13; the rest are the shared defaults.
        {"values of scale 9", 100, Values(0x02, 9, 0),
         Head(0x02, 9) + Bytes({8, 0, 0, 0}) + Bytes({0x98, 0x00, 0x08, 0x02, 'z', 'z'}) +
             Bytes({0x99, 0x00, 0x08, 0x01, 'b'}) + Bytes({0x9A, 0x00, 0x08, 0x01, 'c'}) +
             Bytes({0x9B, 0x00, 0x08, 0x01, 'd'}) + Bytes({0x9C, 0x00, 0x08, 0x01, 'e'}) +
             Bytes({0x9D, 0x00, 0x08, 0x01, 'f'}) +
             Bytes({0x14, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}) +
             Bytes({0x0D, 0x00, 0x05, 0x01})},
        // A menu is not paged, whatever the page size.
        {"system menu", 1, MenuRead(0, 0, 1),
         Head() + Bytes({6, 0, 0, 0}) + kSystemValues.mid(1, 6).join()},
        // The scale menu inside the system's structure is still the system's menu.
        {"scale menu of the system", 1, MenuRead(0, 0, 2),
         Head() + Bytes({1, 0, 0, 0}) + kSystemValues[7]},
        {"a scale's menu asked of the system", 1, MenuRead(0, 0, 3),
         Head() + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"menu of scale 5", 1, MenuRead(0x02, 5, 3),
         Head(0x02, 5) + Bytes({1, 0, 0, 0, 0x0D, 0x00, 0x05, 0x00, 0, 0})},
        {"menu of scale 9", 1, MenuRead(0x02, 9, 3),
         Head(0x02, 9) + Bytes({1, 0, 0, 0, 0x0D, 0x00, 0x05, 0x01, 0, 0})},
    };
    for (const Case& c : cases) {
        Engine engine(SmallNetwork(), PageSize(c.pageSize));
        EXPECT_EQ(Ask(engine, c.request), c.reply) << c.name;
    }
}

TEST(SimEngine, PagesFollowTheCursorToTheEnd) {
    struct Case {
        const char* name;
        bool values;
        int pageSize;
        QList<int> counts;
    };
    const Case cases[] = {
        {"structure by 1", false, 1, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"structure by 3", false, 3, {3, 3, 3, 1}},
        {"structure in one page", false, 10, {10}},
        {"structure, largest page", false, 65535, {10}},
        {"values by 3", true, 3, {3, 3, 2}},
        {"values in one page", true, 100, {8}},
    };
    for (const Case& c : cases) {
        Engine engine(SmallNetwork(), PageSize(c.pageSize));
        const QList<QByteArray> pages = AllPages(engine, c.values);
        ASSERT_EQ(pages.size(), c.counts.size()) << c.name;
        const QByteArrayList& items = c.values ? kSystemValues : kSystemRecords;
        int done = 0;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const int cursor = i + 1 < pages.size() ? done + c.counts[i] : 0;
            QByteArray expected = Head() + Bytes({c.counts[i], 0, cursor, 0});
            for (int k = 0; k < c.counts[i]; ++k) expected += items[done++];
            EXPECT_EQ(pages[i], expected) << c.name << ", page " << i;
        }
        EXPECT_EQ(done, items.size()) << c.name;
    }
    // A cursor past the end: an empty last page.
    Engine engine(SmallNetwork(), PageSize(3));
    EXPECT_EQ(Ask(engine, Values(0, 0, 40)), Head() + Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SimEngine, ErrorRepliesCarryTheCodeAndAreTooShortForAnyRead) {
    Engine engine(SmallNetwork(), PageSize(8));
    struct Case {
        QByteArray request;
        int code;
    };
    const Case cases[] = {
        {Request(0, 0, 0x44) + Bytes({0}), 102},  // unknown function
        {Values(0x02, 6, 0), 100},                // no scale 6
        {Structure(0x02, 6, 0), 100},
        {MenuRead(0x02, 0, 1), 100},
        {Values(0x20, 0, 0), 100},                      // the structure has no values
        {Request(0x02, 5, 0x03) + Bytes({0}), 100},     // the network is the system's
        {Request(0x05, 0, 0x01) + Bytes({0, 0}), 100},  // no such destination
        {Request(0x20, 0, 0x01) + Bytes({0, 0}), 100},
        {Paged(0, 0, 0x00, 0, 2).left(14), 103},  // neither values nor menu
        {Request(0, 0, 0x00) + Bytes({0}), 103},  // parameters cut short
        {Request(0, 0, 0x02), 103},
        {Bytes({0x02, 0x7E, 0, 0, 0}), 101},                       // no function at all
        {Bytes({0x03, 0x7E, 0, 0, 0, 0, 0, 0, 0, 8, 3, 0}), 101},  // not a request
    };
    for (const Case& c : cases) {
        const QByteArray reply = Ask(engine, c.request);
        ASSERT_EQ(reply.size(), 14) << c.request.toHex(' ').toStdString();
        EXPECT_EQ(reply.mid(10), Bytes({0, 0, c.code, 0})) << c.request.toHex(' ').toStdString();
    }
}

// Write requests: entry helpers.
QByteArray Entry(int id, int type, const QByteArray& value) {
    return Bytes({id & 0xFF, id >> 8, type}) + value;
}
QByteArray Num(int id, std::int32_t n) {
    const auto u = static_cast<std::uint32_t>(n);
    return Entry(id, 7,
                 Bytes({static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                        static_cast<int>((u >> 16) & 0xFF), static_cast<int>(u >> 24), 0}));
}
QByteArray Str(int id, int type, const QByteArray& text) {
    return Entry(id, type, Bytes({static_cast<int>(text.size())}) + text);
}
QByteArray WriteTo(int d1, int d2, const QList<QByteArray>& entries) {
    QByteArray r = Request(d1, d2, 0x01) + Bytes({static_cast<int>(entries.size() & 0xFF),
                                                  static_cast<int>(entries.size() >> 8)});
    for (const QByteArray& e : entries) r += e;
    return r;
}
QList<int> Outcome(const QByteArray& reply) {
    return {Word(reply, 10), Word(reply, 12)};
}

TEST(SimEngine, WriteValidation) {
    struct Case {
        const char* what;
        QByteArray request;
        int accepted;
        int code;
        QSet<int> refused = {};
    };
    const Case cases[] = {
        {"enumeration index", WriteTo(0, 0, {Entry(13, 5, Bytes({0}))}), 1, 0},
        {"index = option count", WriteTo(0, 0, {Entry(13, 5, Bytes({2}))}), 0, 103},
        {"index 0xFF", WriteTo(0, 0, {Entry(13, 5, Bytes({0xFF}))}), 0, 103},
        {"enumeration without options, its value", WriteTo(0, 0, {Entry(6, 5, Bytes({0}))}), 1, 0},
        {"enumeration without options, another", WriteTo(0, 0, {Entry(6, 5, Bytes({1}))}), 0, 103},
        {"number of length digits", WriteTo(0, 0, {Num(2, 999)}), 1, 0},
        {"number one digit too long", WriteTo(0, 0, {Num(2, 1000)}), 0, 103},
        {"negative number not allowed", WriteTo(0, 0, {Num(2, -5)}), 0, 103},
        {"negative allowed", WriteTo(0x02, 5, {Num(20, -99)}), 1, 0},
        {"negative too long", WriteTo(0x02, 5, {Num(20, -100)}), 0, 103},
        {"string at its length", WriteTo(0, 0, {Str(3, 8, "abcd")}), 1, 0},
        {"empty string", WriteTo(0, 0, {Str(3, 8, "")}), 1, 0},
        {"string too long", WriteTo(0, 0, {Str(3, 8, "abcde")}), 0, 103},
        {"date", WriteTo(0, 0, {Str(4, 9, "310299")}), 1, 0},
        {"date of 5", WriteTo(0, 0, {Str(4, 9, "31029")}), 0, 103},
        {"date with separators", WriteTo(0, 0, {Str(4, 9, "1/2/03")}), 0, 103},
        {"unknown ID", WriteTo(0, 0, {Num(999, 1)}), 0, 103},
        {"ID of the other owner", WriteTo(0, 0, {Num(20, 1)}), 0, 103},
        {"type differs from the item's", WriteTo(0, 0, {Str(2, 8, "1")}), 0, 103},
        {"read-only item", WriteTo(0, 0, {Num(5, 1)}), 0, 98},
        {"item skipped by readers is still the system's", WriteTo(0, 0, {Num(8, 12)}), 1, 0},
        {"entry cut short", WriteTo(0, 0, {Num(2, 1).left(5)}), 0, 103},
        {"fewer entries than announced", WriteTo(0, 0, {Num(2, 1)}).replace(11, 1, Bytes({2})), 1,
         103},
        {"first refusal gives the code",
         WriteTo(0, 0, {Num(2, 1), Num(5, 1), Num(999, 1), Entry(13, 5, Bytes({1}))}), 2, 98},
        {"no scale 6", WriteTo(0x02, 6, {Num(20, 1)}), 0, 100},
        {"refused ID, valid value", WriteTo(0, 0, {Str(3, 8, "ok")}), 0, 98, {3, 20}},
        {"refused ID of a scale", WriteTo(0x02, 9, {Num(20, 1)}), 0, 98, {3, 20}},
        {"ID not refused", WriteTo(0, 0, {Num(2, 1)}), 1, 0, {3, 20}},
    };
    for (const Case& c : cases) {
        EngineOptions options = PageSize(8);
        options.faults.refusedIds = c.refused;
        Engine engine(SmallNetwork(), options);
        const QByteArray reply = Ask(engine, c.request);
        ASSERT_EQ(reply.size(), 14) << c.what;
        EXPECT_EQ(Outcome(reply), (QList<int>{c.accepted, c.code})) << c.what;
    }
}

TEST(SimEngine, AcceptedWritesAreReadBack) {
    Engine engine(SmallNetwork(), PageSize(100));
    ASSERT_EQ(Outcome(Ask(engine, WriteTo(0, 0,
                                          {Num(2, 617), Str(3, 8, "\xA4u"), Str(4, 9, "010203"),
                                           Entry(13, 5, Bytes({0}))}))),
              (QList<int>{4, 0}));
    // The number is kept times its divisor, so a reader dividing by it sees 617 again.
    EXPECT_EQ(Ask(engine, MenuRead(0, 0, 1)),
              Head() + Bytes({6, 0, 0, 0}) + Bytes({0x0D, 0x00, 0x05, 0x00}) +
                  Bytes({0x02, 0x00, 0x07, 0xD2, 0x04, 0x00, 0x00, '2'}) +
                  Bytes({0x03, 0x00, 0x08, 0x02, 0xA4, 'u'}) + Bytes({0x04, 0x00, 0x09, 0x06}) +
                  "010203" + kSystemValues[5] + kSystemValues[6]);
    // One scale's write leaves the other scale and the system alone.
    ASSERT_EQ(Outcome(Ask(engine, WriteTo(0x02, 5, {Num(20, -7), Entry(13, 5, Bytes({1}))}))),
              (QList<int>{2, 0}));
    EXPECT_EQ(Ask(engine, MenuRead(0x02, 5, 3)).mid(14, 4), Bytes({0x0D, 0x00, 0x05, 0x01}));
    // After the six one-character lines (5 bytes each), item 20.
    EXPECT_EQ(Ask(engine, Values(0x02, 5, 0)).mid(44, 8),
              Bytes({0x14, 0x00, 0x07, 0xF9, 0xFF, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(Ask(engine, Values(0x02, 9, 0)).mid(45, 8),
              Bytes({0x14, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(engine.network().system[2].value.number, 0);
    // A number whose value times the divisor leaves 32 bits is refused, not wrapped.
    Network big = SmallNetwork();
    big.system[3].length = 10;
    Engine wide(big, PageSize(8));
    EXPECT_EQ(Outcome(Ask(wide, WriteTo(0, 0, {Num(2, 2000000000)}))), (QList<int>{0, 103}));
    EXPECT_EQ(Outcome(Ask(wide, WriteTo(0, 0, {Num(2, 1000000000)}))), (QList<int>{1, 0}));
}

// The second of two identical writes in a row takes a part of the group: how the tool sends
// the group items one by one.
TEST(SimEngine, GroupItemsAloneTakeOnlyWhenWrittenTwice) {
    Engine engine(SmallNetwork(), PageSize(100));
    const QByteArray write = WriteTo(0x02, 5, {Str(154, 8, "X")});
    EXPECT_EQ(Outcome(Ask(engine, write)), (QList<int>{0, 98}));
    EXPECT_EQ(Outcome(Ask(engine, write)), (QList<int>{1, 0}));
    EXPECT_EQ(Ask(engine, MenuRead(0x02, 5, 1)).mid(14 + 14, 1), QByteArray("X"));
    // A third time is the first of a new pair.
    EXPECT_EQ(Outcome(Ask(engine, write)), (QList<int>{0, 98}));
    // Another write between the two breaks the pair.
    const QByteArray other = WriteTo(0x02, 5, {Str(154, 8, "Y")});
    EXPECT_EQ(Outcome(Ask(engine, other)), (QList<int>{0, 98}));
    Ask(engine, write);
    EXPECT_EQ(Outcome(Ask(engine, other)), (QList<int>{0, 98}));
}

TEST(SimEngine, GroupItemsOnlyAsAWhole) {
    const auto lines = [](const QByteArray& third) {
        QList<QByteArray> entries;
        for (int i = 0; i < 6; ++i)
            entries << Str(152 + i, 8, i == 2 ? third : QByteArray(1, static_cast<char>('A' + i)));
        return entries;
    };
    struct Case {
        const char* what;
        QList<QByteArray> entries;
        int accepted;
        int code;
        QByteArray line3After;
    };
    const QList<QByteArray> six = lines("X");
    const Case cases[] = {
        {"one alone", {Str(154, 8, "X")}, 0, 98, "c"},
        {"five of six", six.mid(0, 5), 0, 98, "c"},
        {"all six", six, 6, 0, "X"},
        {"all six and another item", six + QList{Num(20, 3)}, 7, 0, "X"},
        {"all six in another order", {six[5], six[0], six[3], six[2], six[1], six[4]}, 6, 0, "X"},
        {"one of six bad: none stored", lines("XXXXX"), 0, 103, "c"},
        {"five of six and another item", six.mid(1) + QList{Num(20, 3)}, 1, 98, "c"},
        // The code names the entry wrong in itself, even after the group's refusals.
        {"five of six and an unknown item", six.mid(1) + QList{Num(999, 3)}, 0, 103, "c"},
    };
    for (const Case& c : cases) {
        Engine engine(SmallNetwork(), PageSize(100));
        EXPECT_EQ(Outcome(Ask(engine, WriteTo(0x02, 5, c.entries))),
                  (QList<int>{c.accepted, c.code}))
            << c.what;
        const QByteArray values = Ask(engine, MenuRead(0x02, 5, 1));
        // Lines 1 and 2 come first, each 5 bytes when one character long.
        EXPECT_EQ(values.mid(14 + 10, 4),
                  Bytes({0x9A, 0x00, 0x08, static_cast<int>(c.line3After.size())}))
            << c.what;
        EXPECT_EQ(values.mid(14 + 14, c.line3After.size()), c.line3After) << c.what;
    }
}

TEST(SimEngine, ShortRepliesAreCutBelowTheirMinimum) {
    EngineOptions options = PageSize(100);
    options.faults.shortReplies = true;
    Engine engine(SmallNetwork(), options);
    struct Case {
        QByteArray request;
        qsizetype size;
    };
    const Case cases[] = {
        {Request(0, 0, 0x03) + Bytes({0}), 14},
        {Structure(0, 0, 0), 19},
        {Values(0, 0, 0), 19},
        {MenuRead(0, 0, 3), 14},  // an empty menu is not padded up
        {WriteTo(0, 0, {Num(2, 1)}), 13},
        {Request(0, 0, 0x44), 13},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(engine, c.request).size(), c.size) << c.request.toHex(' ').toStdString();
    }
    // The write still happened: only its reply is cut.
    EXPECT_EQ(engine.network().system[3].value.number, 2);
}

TEST(SimEngine, StandInIsAbsentFromTheReplyOrCr) {
    // A string value holding every byte value except 'A' and CR: the stand-in can only be 'A'
    // or CR, and both must turn up over enough replies.
    Network n;
    Record text;
    text.id = 1;
    text.code = kString;
    text.length = 255;
    for (int b = 0; b < 256; ++b) {
        if (b != 'A' && b != 0x0D && text.value.bytes.size() < 255)
            text.value.bytes.append(static_cast<char>(b));
    }
    Record cr = text;
    cr.id = 2;
    cr.value.bytes = Bytes({0x0D, 0x0D, 'x', 0x0D});
    n.system = {text, cr};
    Engine engine(n, PageSize(100));
    QSet<char> standIns;
    for (int i = 0; i < 64; ++i) {
        const QByteArray wire = engine.HandleRequest(Values(0, 0, 0));
        standIns.insert(wire[4]);
        EXPECT_EQ(Undo(wire).mid(14), Bytes({1, 0, 8, 254}) + text.value.bytes.left(254) +
                                          Bytes({2, 0, 8, 4, 0x0D, 0x0D, 'x', 0x0D}));
    }
    EXPECT_EQ(standIns, (QSet<char>{'A', '\r'}));

    // Every value present: CR is the only choice left.
    n.system[0].value.bytes.append('A');
    n.system[0].value.bytes.remove(0, 1);  // drops 0x00, which the header carries anyway
    Engine full(n, PageSize(100));
    EXPECT_EQ(full.HandleRequest(Values(0, 0, 0))[4], '\r');

    // Small replies: the stand-in changes from reply to reply.
    Engine small(SmallNetwork(), EngineOptions{});
    QSet<char> seen;
    for (int i = 0; i < 32; ++i) {
        const QByteArray wire = small.HandleRequest(Values(0, 0, 0));
        seen.insert(wire[4]);
        EXPECT_EQ(Undo(wire), Head() + Bytes({8, 0, 0, 0}) + kSystemValues.join());
    }
    EXPECT_GT(seen.size(), 4);
}

TEST(SimEngine, RecordsEveryRequest) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("requests.txt"));
    Engine engine(SmallNetwork(), PageSize(8));
    ASSERT_TRUE(engine.OpenRecordFile(path, nullptr));
    engine.HandleRequest(Request(0, 0, 0x03) + Bytes({0}));
    engine.RecordRequest(Bytes({0x02, 0x7E, 0xAB}));
    EXPECT_EQ(engine.Requests(),
              (QList<QByteArray>{Request(0, 0, 0x03) + Bytes({0}), Bytes({0x02, 0x7E, 0xAB})}));
    EXPECT_EQ(cfgtest::ReadAll(path),
              QByteArray("02 7E 00 00 00 00 00 00 00 08 03 00\n02 7E AB\n"));
    // Appends to what the file held.
    Engine second(SmallNetwork(), PageSize(8));
    ASSERT_TRUE(second.OpenRecordFile(path, nullptr));
    second.RecordRequest(Bytes({0x01}));
    EXPECT_TRUE(cfgtest::ReadAll(path).endsWith("02 7E AB\n01\n"));
    EXPECT_FALSE(second.OpenRecordFile(dir.filePath(QStringLiteral("no/such/dir/x")), nullptr));
}

TEST(SimEngine, LargePagesStayWithinOneFrame) {
    Network n;
    for (int i = 0; i < 600; ++i) {
        Record r;
        r.id = i;
        r.code = kString;
        r.length = 255;
        r.text = QByteArray(250, 'T');
        r.value.bytes = QByteArray(250, 'v');
        n.system.append(r);
    }
    Engine engine(n, PageSize(65535));
    for (const bool values : {false, true}) {
        int total = 0;
        for (const QByteArray& page : AllPages(engine, values)) {
            const int count = Word(page, 10);
            EXPECT_EQ(page.size(), 14 + count * (values ? 254 : 256));
            total += count;
            EXPECT_EQ(Word(page, 12), total == 600 ? 0 : total);
        }
        EXPECT_EQ(total, 600);
    }
}

}  // namespace
}  // namespace cfg::sim
