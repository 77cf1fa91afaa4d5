#include "core/protocol/tools.h"
#include "core/protocol/protocol.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg {
namespace {

TEST(DesescapaRespuesta, ReplacesEveryStandInByCr) {
    EXPECT_EQ(Desescapa_Respuesta("AbcdAfAgA"), QByteArray("\rbcd\rf\rg\r"));
    // CR itself as the stand-in changes nothing.
    EXPECT_EQ(Desescapa_Respuesta(Bytes({1, 2, 3, 4, 13, 13, 5})), Bytes({1, 2, 3, 4, 13, 13, 5}));
    EXPECT_EQ(Desescapa_Respuesta("ABCD"), QByteArray("ABCD"));
    EXPECT_EQ(Desescapa_Respuesta(""), QByteArray(""));
}

TEST(DesescapaRespuesta, HandlesRepliesBeyond32767Bytes) {
    QByteArray reply(70000, 'x');
    reply[4] = '\x05';
    reply[69999] = '\x05';
    const QByteArray out = Desescapa_Respuesta(reply);
    ASSERT_EQ(out.size(), 70000);
    EXPECT_EQ(out[4], '\r');
    EXPECT_EQ(out[69999], '\r');
    EXPECT_EQ(out.count('\r'), 2);
}

TEST(NumeroABytes, LittleEndianTwosComplement) {
    struct Case {
        double number;
        int width;
        QByteArray bytes;
    };
    const Case cases[] = {
        {-1, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
        {258, 2, Bytes({0x02, 0x01})},
        {-2, 1, Bytes({0xFE})},
        {65535, 2, Bytes({0xFF, 0xFF})},
        {1234, 4, Bytes({0xD2, 0x04, 0x00, 0x00})},
        {-1234, 4, Bytes({0x2E, 0xFB, 0xFF, 0xFF})},
        {2147483647, 4, Bytes({0xFF, 0xFF, 0xFF, 0x7F})},
        {-2147483648.0, 4, Bytes({0x00, 0x00, 0x00, 0x80})},
        {256, 1, Bytes({0x00})},  // only the low byte
        {2.5, 1, Bytes({0x02})},  // a half goes to the even neighbour
        {3.5, 1, Bytes({0x04})},
        {-2.5, 2, Bytes({0xFE, 0xFF})},
        {0, 0, QByteArray()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Numero_A_Bytes(c.number, c.width), c.bytes) << c.number << " width " << c.width;
    }
}

TEST(BytesANumero, UnsignedAndSigned) {
    struct Case {
        QByteArray bytes;
        double unsignedValue;
        double signedValue;
    };
    const Case cases[] = {
        {QByteArray(), 0, 0},
        {Bytes({0x01, 0x02}), 513, 513},
        {Bytes({0x00, 0x00, 0x00, 0x80}), 2147483648.0, -2147483648.0},
        {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), 4294967295.0, -1},
        {Bytes({0x80}), 128, -128},
        {Bytes({0x00, 0x80}), 32768, -32768},
        {Bytes({0xFF, 0x7F}), 32767, 32767},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bytes_A_Numero(c.bytes), c.unsignedValue) << c.bytes.toHex().constData();
        EXPECT_EQ(Bytes_A_Numero_Signo(c.bytes), c.signedValue) << c.bytes.toHex().constData();
    }
}

TEST(RellenaCeros, PadsNeverCuts) {
    EXPECT_EQ(Rellena_Ceros("A", 4), QString("000A"));
    EXPECT_EQ(Rellena_Ceros("", 2), QString("00"));
    EXPECT_EQ(Rellena_Ceros("ABCDE", 4), QString("ABCDE"));
    EXPECT_EQ(Rellena_Ceros("FF", 8), QString("000000FF"));
}

// The code page table, pair by pair.
struct TablePair {
    int byte;
    char16_t ch;
};
const TablePair kTable[] = {
    {160, u'á'}, {130, u'é'}, {161, u'í'}, {162, u'ó'}, {163, u'ú'}, {181, u'Á'}, {144, u'É'},
    {214, u'Í'}, {224, u'Ó'}, {233, u'Ú'}, {131, u'â'}, {136, u'ê'}, {140, u'î'}, {147, u'ô'},
    {150, u'û'}, {165, u'Ñ'}, {164, u'ñ'}, {128, u'Ç'}, {135, u'ç'}, {132, u'ä'}, {137, u'ë'},
    {139, u'ï'}, {148, u'ö'}, {129, u'ü'}, {142, u'Ä'}, {168, u'¿'}, {173, u'¡'}, {167, u'º'},
    {166, u'ª'}, {170, u'¬'}, {237, u'Ý'}, {183, u'À'}, {227, u'Ò'}, {235, u'Ù'}, {96, u'`'},
    {33, u'!'},  {35, u'#'},  {126, u'~'}, {58, u':'},
};

TEST(ConvierteTexto, TableBothWays) {
    for (const TablePair& p : kTable) {
        const QString ch(QChar(p.ch));
        EXPECT_EQ(Convierte_Texto(Bytes({p.byte})), ch) << p.byte;
        EXPECT_EQ(Convierte_Texto_Balanza(ch), Bytes({p.byte})) << p.byte;
    }
}

TEST(ConvierteTexto, IncomingRules) {
    EXPECT_EQ(Convierte_Texto("PESO-1.5"), QString("PESO 1 5"));
    EXPECT_EQ(Convierte_Texto(Bytes({0, 179, 47, 59, 60, 64, 91, 123, 255, 200})),
              QString(" |/;      "));
    // Every byte outside the rules arrives as a space, and the length never changes.
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    const QString text = Convierte_Texto(all);
    ASSERT_EQ(text.size(), 256);
    int passed = 0;
    for (int b = 0; b < 256; ++b) {
        if (text[b] != u' ') ++passed;
    }
    // 39 table bytes, 179, "/", 48-59, A-Z, a-z; ":" is in both the table and the range.
    EXPECT_EQ(passed, 39 + 1 + 1 + 12 + 26 + 26 - 1);
}

TEST(ConvierteTextoBalanza, OutgoingRules) {
    EXPECT_EQ(Convierte_Texto_Balanza(QString("Año")), Bytes({0x41, 0xA4, 0x6F}));
    EXPECT_EQ(Convierte_Texto_Balanza(QString("ÊÈ²¦")), Bytes({210, 212, 167, 179}));
    EXPECT_EQ(Convierte_Texto_Balanza("Peso 1.5 (kg)"), QByteArray("Peso 1.5 (kg)"));
    EXPECT_EQ(Convierte_Texto_Balanza(QString("ß€")), Bytes({223, '?'}));
}

TEST(RequestStart, HeaderForEveryDestination) {
    EXPECT_EQ(protocol::RequestStart(protocol::Destination::Scale(3), protocol::kWriteItems),
              Bytes({0x02, 0x7E, 0x02, 0x03, 0, 0, 0, 0, 0, 0x08, 0x01}));
    EXPECT_EQ(protocol::RequestStart(protocol::Destination::System(), protocol::kReadValues),
              Bytes({0x02, 0x7E, 0x00, 0x00, 0, 0, 0, 0, 0, 0x08, 0x00}));
    EXPECT_EQ(protocol::RequestStart(protocol::Destination::Structure(), protocol::kReadStructure),
              Bytes({0x02, 0x7E, 0x20, 0x00, 0, 0, 0, 0, 0, 0x08, 0x02}));
}

}  // namespace
}  // namespace cfg
