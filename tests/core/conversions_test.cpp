#include <gtest/gtest.h>

#include <climits>

#include "core/common/basic.h"
#include "core/protocol/tools.h"
#include "core/startup/ipcheck.h"
#include "support/testsupport.h"

using cfgtest::Bytes;

namespace cfg {
namespace {

TEST(Numbers, LeadingNumberWholeTextNumericAndWholeNumbers) {
    // The text, its leading number, whether it is numeric as a whole.
    const std::tuple<QString, double, bool> cases[] = {
        {"6000", 6000, true}, {"60:00", 60, false}, {"", 0, false},      {" 12 ", 12, true},
        {"1 2", 12, false},   {"-5", -5, true},     {"1E+2", 100, true}, {"2D1", 20, true},
        {"1e", 1, false},     {".5", 0.5, true},    {".", 0, false},     {"0x10", 0, false},
        {"\t8\t", 8, true},   {"- 5", -5, false},   {"1e400", 0, true},  {"+-1", 0, false},
    };
    for (const auto& [text, value, numeric] : cases) {
        EXPECT_EQ(LeadingNumber(text), value) << text.toStdString();
        EXPECT_EQ(IsNumeric(text), numeric) << text.toStdString();
    }
    // Whole numbers round half to even and saturate.
    const std::pair<double, int> wholes[] = {{2.5, 2},       {3.5, 4},        {-2.5, -2},
                                             {6000.5, 6000}, {1e20, INT_MAX}, {-1e20, INT_MIN}};
    for (const auto& [number, whole] : wholes) EXPECT_EQ(ToWholeNumber(number), whole) << number;
    EXPECT_EQ(TrimSpaces("\t a b  "), QString("\t a b"));  // spaces only
}

TEST(Frames, NumbersAreLittleEndianTwosComplement) {
    // The number, the width, the bytes.
    const std::tuple<double, int, QByteArray> cases[] = {
        // clang-format off
        {-1, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})}, {258, 2, Bytes({0x02, 0x01})},
        {-1234, 4, Bytes({0x2E, 0xFB, 0xFF, 0xFF})}, {-2147483648.0, 4, Bytes({0x00, 0x00, 0x00, 0x80})},
        {256, 1, Bytes({0x00})}, {2.5, 1, Bytes({0x02})}, {3.5, 1, Bytes({0x04})}, {-2.5, 2, Bytes({0xFE, 0xFF})},
        // clang-format on
    };
    for (const auto& [number, width, bytes] : cases)
        EXPECT_EQ(Numero_A_Bytes(number, width), bytes) << number;
    EXPECT_EQ(Bytes_A_Numero(Bytes({0xFF, 0xFF, 0xFF, 0xFF})), 4294967295.0);
    EXPECT_EQ(std::pair(Bytes_A_Numero_Signo(Bytes({0x00, 0x80})),
                        Bytes_A_Numero_Signo(Bytes({0xFF, 0x7F}))),
              std::pair(-32768.0, 32767.0));
    EXPECT_EQ(Rellena_Ceros("FF", 4) + Rellena_Ceros("ABCDE", 4), QString("00FFABCDE"));
}

// A reply's stand-in byte becomes CR. Code page 850 both ways; what the scale's texts cannot hold
// arrives as a space and leaves as "?", and a text never changes length.
TEST(Frames, StandInsBecomeCrTextsTravelInCodePage850) {
    EXPECT_EQ(Desescapa_Respuesta("AbcdAfA"), QByteArray("\rbcd\rf\r"));
    EXPECT_EQ(Desescapa_Respuesta(Bytes({1, 2, 3, 4, 13, 5})), Bytes({1, 2, 3, 4, 13, 5}));
    EXPECT_EQ(
        Convierte_Texto(Bytes({'P', '-', '1', '.', 160, 164, 165, 0, 179, '/', ';', '<', 255})),
        QString("P 1 áñÑ |/;  "));
    EXPECT_EQ(Convierte_Texto_Balanza(QString("Año ÊÈ²¦ (1.5)")),
              Bytes({'A', 0xA4, 'o', ' ', 210, 212, 167, 179, ' ', '(', '1', '.', '5', ')'}));
    EXPECT_EQ(Convierte_Texto_Balanza(QString("ß€")), Bytes({223, '?'}));
}

// A search ignores case and accents, and wants every word somewhere in the text.
TEST(Search, FoldedTextsHoldEveryWord) {
    // The text, what is typed, whether it is found.
    const std::tuple<QString, QString, bool> rows[] = {{"Básculas Ñandú", "basculas nandu", true},
                                                       {"PRECIO = 12", "precio 12", true},
                                                       {"Precio = 12", "12 precio", true},
                                                       {"Precio = 12", "precio 13", false},
                                                       {"Menú Sistema", "MENU", true},
                                                       {"Tara", "", true}};
    for (const auto& [text, typed, holds] : rows)
        EXPECT_EQ(HoldsEveryWord(FoldedForSearch(text),
                                 FoldedForSearch(typed).split(u' ', Qt::SkipEmptyParts)),
                  holds)
            << text.toStdString() << " / " << typed.toStdString();
}

TEST(IpCheck, AcceptsRefusesAndRewrites) {
    // What is typed, whether it is valid, the text after.
    const std::tuple<QString, bool, QString> cases[] = {
        // clang-format off
        {"10.0.0.5", true, "010.000.000.005"},    {"0255.0.0.1", true, "255.000.000.001"},
        {"255.255.255.255", true, "255.255.255.255"}, {"10.0.5", false, "10.0.5"},
        {"10.0.0.256", false, "10.0.0.256"},      {"10..0.5", false, "10..0.5"},
        {" 1.2.3.4", false, " 1.2.3.4"},          {"", false, ""},
        {"1.2.3.4.5", false, "001.002.003.004"},  // four valid groups are rewritten anyway
        {"00000000000000000000001.2.3.4", true, "001.002.003.004"},
        {"99999999999999999999.2.3.4", false, "99999999999999999999.2.3.4"},
        // clang-format on
    };
    for (const auto& [input, valid, after] : cases) {
        QString text = input;
        EXPECT_EQ(GeneraTextoIP(text), valid) << input.toStdString();
        EXPECT_EQ(text, after) << input.toStdString();
    }
}

}  // namespace
}  // namespace cfg
