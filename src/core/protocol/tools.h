#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

// Building and reading frames: numbers to and from little-endian bytes, the reply
// normalisation, and the character conversions between the scales' code page 850 and display
// text. Frames are QByteArrays, one element per byte; positions in comments count from 1.
namespace cfg {

// Replaces every occurrence of the reply's 5th byte (the peer's CR stand-in), the 5th included,
// by CR. Shorter replies come back unchanged. Any length.
QByteArray Desescapa_Respuesta(const QByteArray& reply);

// Unsigned little-endian value of the bytes; 0 for none.
double Bytes_A_Numero(QByteArrayView bytes);

// Signed (two's complement) little-endian value of the bytes; 0 for none.
double Bytes_A_Numero_Signo(QByteArrayView bytes);

// `width` bytes, little-endian, of the number rounded to the nearest integer (a half to the
// even neighbour); negatives in two's complement. Only the low `width` bytes are kept.
QByteArray Numero_A_Bytes(double number, int width);

// Left-pads `text` with "0" up to `width` characters (at most 8 added); never cuts.
QString Rellena_Ceros(const QString& text, int width);

// Scale bytes to display text, one character per byte.
QString Convierte_Texto(QByteArrayView bytes);

// Scale bytes to the text the tool holds for a value (what the item editor starts from and a
// configuration file stores), one character per byte: the display text, and also the printable
// ASCII characters that it turns into spaces, '<' aside, which would end a value in a file.
QString Convierte_Texto_Valor(QByteArrayView bytes);

// Display text to scale bytes, one byte per character. "|" goes out as byte 179, which is
// what that byte reads as.
QByteArray Convierte_Texto_Balanza(const QString& text);

// Whether code page 850 holds every character of `text` as one byte the outgoing conversion
// can send: ASCII and the printable ISO-8859-1 characters. Not the C1 controls, which the code
// page has no place for, nor any character above U+00FF, which the conversion has no byte for.
bool InCodePage(QStringView text);

// Rounds to the nearest integer, a half going to the even neighbour.
double RoundHalfEven(double value);

}  // namespace cfg
