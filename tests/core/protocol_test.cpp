// The reply decoders alone, at the edges a scale's reply can have: entries cut short, options
// with nothing after them, types whose layout is unknown, divisors, signs.
#include "core/protocol/protocol.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfg::protocol {
namespace {

using cfgtest::Bytes;

TEST(Protocol, NetworkScalesReadMissingBytesAsZeroPagesLittleEndian) {
    // Three announced, two and a half sent.
    const QByteArray reply =
        cfgtest::ReplyHeader() +
        Bytes({3, 7, 2, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 200, 0, 0xFF, 1, 2, 3, 4, 5, 9, 1});
    QStringList scales;
    for (const ScaleEntry& e : NetworkScales(reply))
        scales.append(QString("%1 %2 %3").arg(e.number).arg(e.mostrador).arg(e.mac));
    EXPECT_EQ(scales, (QStringList{"7 2 0A1B2C3D4E", "200 0 FF12345", "9 1 000000"}));
    // A page: count and cursor little-endian, then its data.
    // The page views the reply, which must outlive it.
    const QByteArray pageReply = cfgtest::ReplyHeader() + Bytes({0x34, 0x12, 0x02, 0x01, 9, 8});
    const Page page = PageOf(pageReply);
    EXPECT_EQ(page.count, 0x1234);
    EXPECT_EQ(page.cursor, 0x0102);
    EXPECT_EQ(page.data.toByteArray(), Bytes({9, 8}));
    EXPECT_TRUE(PageOf(cfgtest::ReplyHeader() + Bytes({1, 0, 0, 0})).data.isEmpty());
}

// A record: ID, code, order, length, text; an enumeration's options only when something but
// spaces follows its text, and never past the data.
TEST(Protocol, StructureRecordsAndTheirOptions) {
    const QByteArray options = Bytes({2, 'N', 'O', 3, ' ', 'S', 'I'});
    const std::tuple<const char*, QByteArray, QStringList, int> cases[] = {
        {"menu", Bytes({3, 0, 201, 0, 0, 2, 'M', 'x'}), {}, 8},
        {"options", Bytes({10, 0, 5, 1, 2, 1, 'A'}) + options, {"NO", "SI"}, 14},
        {"options then the next record",
         Bytes({10, 0, 5, 1, 2, 1, 'A'}) + options + "\x0B",
         {"NO", "SI"},
         14},
        {"only spaces after", Bytes({10, 0, 5, 1, 2, 1, 'A'}) + "   ", {}, 7},
        {"an option past the end",
         Bytes({10, 0, 5, 1, 2, 1, 'A', 2, 'N', 'O', 9, 'S'}),
         {"NO", "S"},
         12},
        {"cut short", Bytes({10, 0, 7, 1}), {}, 6},
    };
    for (const auto& [name, data, expected, next] : cases) {
        const StructureRecord r = DecodeStructureRecord(data, 0, LastNonSpace(data));
        EXPECT_EQ(r.options, expected) << name;
        EXPECT_EQ(r.next, next) << name;
    }
    const StructureRecord menu = DecodeStructureRecord(std::get<1>(cases[0]), 0, 7);
    EXPECT_EQ(std::tie(menu.id, menu.code, menu.order, menu.length, menu.text),
              std::make_tuple(3, 201, 0, 0, QStringLiteral("Mx")));
}

// Each type's layout and length; a type of unknown layout takes nothing. A number is divided as
// its divisor digit says, and only then.
TEST(Protocol, ValueEntriesByTheirTypeNumbersByTheirDivisor) {
    const std::tuple<QByteArray, QString, int> cases[] = {
        {Bytes({1, 0, 5, 3}), "3", 4},
        {Bytes({2, 0, 7, 0xD2, 0x04, 0, 0, '2'}), "617", 8},
        {Bytes({2, 0, 7, 0xFD, 0xFF, 0xFF, 0xFF, 0}), "-3", 8},
        {Bytes({2, 0, 7, 5, 0, 0, 0, '2'}), "2.5", 8},
        {Bytes({3, 0, 8, 0}), "", 4},
        {Bytes({3, 0, 8, 2, 'a', 'b'}), "ab", 6},
        {Bytes({4, 0, 9, 6, '3', '1', '1', '2', '9', '9'}), "311299", 10},
        {Bytes({5, 0, 4, 1, 2, 3}), "", 0},
    };
    for (const auto& [data, value, length] : cases) {
        const ValueEntry e = DecodeValueEntry(data, 0);
        EXPECT_EQ(e.value, value) << data.toHex().constData();
        EXPECT_EQ(e.length, length) << data.toHex().constData();
    }
    EXPECT_EQ(DecodeValueEntry(std::get<0>(cases[6]), 0).bytes, "311299");
    const std::tuple<double, int, QString> numbers[] = {
        {1234, '2', "617"}, {1, '3', "0.3333333333333333"},        {7, '0', "7"}, {7, 0, "7"},
        {-10, '4', "-2.5"}, {2147483647, '9', "238609294.1111111"}};
    for (const auto& [number, divisor, text] : numbers)
        EXPECT_EQ(NumberText(number, divisor), text) << number << " " << divisor;
}

TEST(Protocol, WriteRepliesAndTheirReasons) {
    const WriteAnswer a = ParseWriteReply(cfgtest::WriteAnswer(0x0102, 0x0067));
    EXPECT_EQ(std::tie(a.accepted, a.errorCode), std::make_tuple(0x0102, 0x0067));
    EXPECT_EQ(ParseWriteReply(cfgtest::ReplyHeader()).accepted, 0);
    const std::pair<int, const char*> reasons[] = {
        {0, "No hay datos"},      {98, "No se puede programar"}, {103, "Datos erróneos"},
        {112, "Balanza ocupada"}, {106, "(Desconocido)"},        {-1, "(Desconocido)"}};
    for (const auto& [code, text] : reasons) EXPECT_EQ(RefusalReason(code), text) << code;
}

}  // namespace
}  // namespace cfg::protocol
