#include "core/protocol/tools.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cfg {

namespace {

struct CodePair {
    std::uint8_t byte;
    char16_t ch;
};

// Code page 850 bytes and the characters they stand for; both directions use it.
constexpr std::array<CodePair, 39> kCodeTable{{
    {160, u'á'}, {130, u'é'}, {161, u'í'}, {162, u'ó'}, {163, u'ú'}, {181, u'Á'}, {144, u'É'},
    {214, u'Í'}, {224, u'Ó'}, {233, u'Ú'}, {131, u'â'}, {136, u'ê'}, {140, u'î'}, {147, u'ô'},
    {150, u'û'}, {165, u'Ñ'}, {164, u'ñ'}, {128, u'Ç'}, {135, u'ç'}, {132, u'ä'}, {137, u'ë'},
    {139, u'ï'}, {148, u'ö'}, {129, u'ü'}, {142, u'Ä'}, {168, u'¿'}, {173, u'¡'}, {167, u'º'},
    {166, u'ª'}, {170, u'¬'}, {237, u'Ý'}, {183, u'À'}, {227, u'Ò'}, {235, u'Ù'}, {96, u'`'},
    {33, u'!'},  {35, u'#'},  {126, u'~'}, {58, u':'},
}};

// Incoming: every byte's display character, built once from the rules.
constexpr std::array<char16_t, 256> MakeIncoming() {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const bool passes =
            b == 47 || (b >= 48 && b <= 59) || (b >= 65 && b <= 90) || (b >= 97 && b <= 122);
        table[b] = passes ? static_cast<char16_t>(b) : u' ';
    }
    table[179] = u'|';
    for (const auto& pair : kCodeTable) table[pair.byte] = pair.ch;
    return table;
}
constexpr std::array<char16_t, 256> kIncoming = MakeIncoming();

// Held values keep the printable ASCII characters the display drops.
constexpr std::array<char16_t, 256> MakeHeld() {
    std::array<char16_t, 256> table = MakeIncoming();
    for (int b = 32; b < 127; ++b)
        if (b != '<') table[b] = static_cast<char16_t>(b);
    return table;
}
constexpr std::array<char16_t, 256> kHeld = MakeHeld();

// Outgoing: display characters (all within Latin-1) to bytes; unlisted ones pass unchanged.
constexpr std::array<std::uint8_t, 256> MakeOutgoing() {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = static_cast<std::uint8_t>(c);
    for (const auto& pair : kCodeTable) table[pair.ch] = pair.byte;
    table[u'Ê'] = 210;
    table[u'È'] = 212;
    table[u'²'] = 167;
    table[u'¦'] = 179;
    table[u'|'] = 179;
    return table;
}
constexpr std::array<std::uint8_t, 256> kOutgoing = MakeOutgoing();

std::uint8_t ByteAt(QByteArrayView bytes, qsizetype i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

}  // namespace

QByteArray Desescapa_Respuesta(const QByteArray& reply) {
    if (reply.size() < 5) return reply;
    QByteArray out = reply;
    const char standIn = reply[4];
    for (char& c : out) {
        if (c == standIn) c = '\r';
    }
    return out;
}

double Bytes_A_Numero(QByteArrayView bytes) {
    double value = 0;
    double weight = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i, weight *= 256) value += ByteAt(bytes, i) * weight;
    return value;
}

double Bytes_A_Numero_Signo(QByteArrayView bytes) {
    if (bytes.isEmpty() || ByteAt(bytes, bytes.size() - 1) < 128) return Bytes_A_Numero(bytes);
    // Magnitude of the two's complement: one more than the complement of every byte.
    double complement = 0;
    double weight = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i, weight *= 256)
        complement += (255 - ByteAt(bytes, i)) * weight;
    return -(1 + complement);
}

double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

QByteArray Numero_A_Bytes(double number, int width) {
    QByteArray out(width < 0 ? 0 : width, '\0');
    if (!std::isfinite(number)) return out;
    // fmod keeps the low 64 bits of any magnitude exactly, so the conversions below are defined.
    const double whole = std::fmod(RoundHalfEven(number), 18446744073709551616.0);
    std::uint64_t bits;
    if (whole >= 0) {
        bits = static_cast<std::uint64_t>(whole);
    } else if (whole >= -9223372036854775808.0) {
        bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
    } else {
        bits = static_cast<std::uint64_t>(whole + 18446744073709551616.0);
    }
    for (int i = 0; i < width && i < 8; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    // A negative number is sign-extended past 8 bytes, as its two's complement form would be.
    for (int i = 8; i < width; ++i) out[i] = whole < 0 ? static_cast<char>(0xFF) : '\0';
    return out;
}

QString Rellena_Ceros(const QString& text, int width) {
    if (text.size() >= width) return text;
    return QString(QStringLiteral("00000000")).left(width - text.size()) + text;
}

namespace {
QString Convert(QByteArrayView bytes, const std::array<char16_t, 256>& table) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) out[i] = QChar(table[ByteAt(bytes, i)]);
    return text;
}
}  // namespace

QString Convierte_Texto(QByteArrayView bytes) {
    return Convert(bytes, kIncoming);
}

QString Convierte_Texto_Valor(QByteArrayView bytes) {
    return Convert(bytes, kHeld);
}

QByteArray Convierte_Texto_Balanza(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // Characters with no single byte cannot reach the scale as themselves.
        bytes[i] = static_cast<char>(c < 256 ? kOutgoing[c] : '?');
    }
    return bytes;
}

bool InCodePage(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF);
    });
}

}  // namespace cfg
