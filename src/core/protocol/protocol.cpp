#include "core/protocol/protocol.h"

#include <algorithm>
#include <charconv>

#include "core/common/basic.h"
#include "core/link/scalelink.h"
#include "core/protocol/tools.h"

namespace cfg {

QString ItemTypeName(int type) {
    switch (type) {
        case kEnumeration:
            return QStringLiteral("enum");
        case kNumber:
            return QStringLiteral("number");
        case kString:
            return QStringLiteral("string");
        case kDate:
            return QStringLiteral("date");
        default:
            return {};
    }
}

}  // namespace cfg

namespace cfg::protocol {

namespace {

// Byte at `pos` (0-based) of `data`; 0 past the end, as a cut-short record reads.
int ByteAt(QByteArrayView data, qsizetype pos) {
    return pos < data.size() ? static_cast<unsigned char>(data[pos]) : 0;
}

// The number in the `count` (at most 4) bytes from `pos`, those past the end read as 0.
double NumberAt(QByteArrayView data, qsizetype pos, int count, bool isSigned = false) {
    char bytes[4];
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>(ByteAt(data, pos + i));
    const QByteArrayView number(bytes, count);
    return isSigned ? Bytes_A_Numero_Signo(number) : Bytes_A_Numero(number);
}

// Up to `count` bytes from `pos`, as many as there are.
QByteArrayView TextAt(QByteArrayView data, qsizetype pos, qsizetype count) {
    return pos < data.size() ? data.sliced(pos, std::min(count, data.size() - pos))
                             : QByteArrayView();
}

}  // namespace

QByteArray RequestStart(Destination destination, Function function) {
    QByteArray frame;
    frame.reserve(32);
    frame.append('\x02').append('\x7E');
    frame.append(static_cast<char>(destination.first))
        .append(static_cast<char>(destination.second));
    frame.append(3, '\0').append(2, '\0').append('\x08');
    frame.append(static_cast<char>(function));
    return frame;
}

QByteArray NetworkRequest() {
    return RequestStart(Destination::System(), kReadNetwork) + QByteArray(1, '\0');
}

QByteArray StructureRequest(int owner, int cursor) {
    const Destination destination = owner == 0 ? Destination::System() : Destination::Structure();
    return RequestStart(destination, kReadStructure) + Numero_A_Bytes(cursor, 2) +
           QByteArray(2, '\0');
}

QByteArray ValuesRequest(int owner, int cursor) {
    return RequestStart(Destination::Owner(owner), kReadValues) + Numero_A_Bytes(cursor, 2) +
           QByteArray(1, '\0');
}

QByteArray MenuRequest(Destination destination, int menuId) {
    return RequestStart(destination, kReadValues) + Numero_A_Bytes(menuId, 2) +
           QByteArray(1, '\x01');
}

QByteArray ItemEntry(int id, int type, const QString& stored, const QByteArray* asRead) {
    QByteArray entry = Numero_A_Bytes(id, 2) + Numero_A_Bytes(type, 1);
    switch (type) {
        case kEnumeration:
            entry += Numero_A_Bytes(LeadingNumber(stored), 1);
            break;
        case kNumber:
            entry += Numero_A_Bytes(LeadingNumber(stored), 4) + QByteArray(1, '\0');
            break;
        case kString: {
            const QByteArray text = asRead ? *asRead : Convierte_Texto_Balanza(stored);
            entry += Numero_A_Bytes(static_cast<double>(text.size()), 1) + text;
            break;
        }
        case kDate:
            entry += '\x06' +
                     Convierte_Texto_Balanza(stored.left(2) + stored.mid(3, 2) + stored.right(2));
            break;
        default:
            break;
    }
    return entry;
}

QByteArray WriteRequest(int owner, const QList<QByteArray>& entries) {
    QByteArray request = RequestStart(Destination::Owner(owner), kWriteItems) +
                         Numero_A_Bytes(static_cast<double>(entries.size()), 2);
    for (const QByteArray& entry : entries) request += entry;
    return request;
}

std::vector<ScaleEntry> NetworkScales(QByteArrayView reply) {
    std::vector<ScaleEntry> scales;
    const int count = ByteAt(reply, 10);
    scales.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 11 + 8 * i;
        ScaleEntry scale;
        scale.number = ByteAt(reply, entry);
        scale.mostrador = ByteAt(reply, entry + 1);
        for (int b = 2; b < 8; ++b)
            scale.mac += QString::number(ByteAt(reply, entry + b), 16).toUpper();
        scales.push_back(scale);
    }
    return scales;
}

Page PageOf(QByteArrayView reply) {
    return {static_cast<int>(NumberAt(reply, 10, 2)), static_cast<int>(NumberAt(reply, 12, 2)),
            reply.size() > 14 ? reply.sliced(14) : QByteArrayView()};
}

qsizetype LastNonSpace(QByteArrayView data) {
    qsizetype last = data.size() - 1;
    while (last >= 0 && data[last] == ' ') --last;
    return last;
}

StructureRecord DecodeStructureRecord(QByteArrayView data, qsizetype pos, qsizetype lastNonSpace) {
    StructureRecord record;
    record.id = static_cast<int>(NumberAt(data, pos, 2));
    record.code = ByteAt(data, pos + 2);
    record.order = ByteAt(data, pos + 3);
    record.length = ByteAt(data, pos + 4);
    const int textLength = ByteAt(data, pos + 5);
    record.text = Convierte_Texto(TextAt(data, pos + 6, textLength));
    record.next = pos + 6 + textLength;
    // An enumeration's options follow its text when anything but spaces does; an option whose
    // length runs past the data ends the list.
    if (record.code == kEnumeration && data.size() - pos > textLength + 7 &&
        record.next <= lastNonSpace) {
        qsizetype at = record.next;
        // Each option takes a byte at least: what is left bounds the list.
        record.options.reserve(std::min<qsizetype>(record.length, data.size() - at));
        for (int o = 0; o < record.length; ++o) {
            const int n = ByteAt(data, at);
            record.options.append(TrimSpaces(Convierte_Texto(TextAt(data, at + 1, n))));
            const qsizetype left = data.size() - at;
            at += 1 + n;
            if (n + 2 > left) break;
        }
        record.next = std::min<qsizetype>(at, data.size());
    }
    return record;
}

ValueEntry DecodeValueEntry(QByteArrayView data, qsizetype pos) {
    ValueEntry entry;
    entry.id = static_cast<int>(NumberAt(data, pos, 2));
    entry.type = ByteAt(data, pos + 2);
    switch (entry.type) {
        case kEnumeration:
            entry.value = QString::number(ByteAt(data, pos + 3));
            entry.length = 4;
            break;
        case kNumber:
            entry.value = NumberText(NumberAt(data, pos + 3, 4, true), ByteAt(data, pos + 7));
            entry.length = 8;
            break;
        case kString:
        case kDate: {
            const int n = ByteAt(data, pos + 3);
            entry.bytes = TextAt(data, pos + 4, n).toByteArray();
            entry.value = Convierte_Texto_Valor(entry.bytes);
            entry.length = 4 + n;
            break;
        }
        default:
            entry.length = 0;
    }
    return entry;
}

QString NumberText(double number, int divisorByte) {
    // The divisor travels as a digit character; anything else means none.
    const int divisor = divisorByte >= '1' && divisorByte <= '9' ? divisorByte - '0' : 0;
    const double value = divisor > 0 ? number / divisor : number;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

WriteAnswer ParseWriteReply(QByteArrayView reply) {
    return {static_cast<int>(NumberAt(reply, 10, 2)), static_cast<int>(NumberAt(reply, 12, 2))};
}

QString RefusalReason(int errorCode) {
    switch (errorCode) {
        case 0:
            return QStringLiteral("No hay datos");
        case 98:
            return QStringLiteral("No se puede programar");
        case 99:
            return QStringLiteral("No se puede consultar");
        case 100:
            return QStringLiteral("Destino incorrecto");
        case 101:
            return QStringLiteral("Error no identificado");
        case 102:
            return QStringLiteral("Función no reconocida");
        case 103:
            return QStringLiteral("Datos erróneos");
        case 104:
            return QStringLiteral("Identificador de función desconocido");
        case 105:
            return QStringLiteral("Timeout");
        case 112:
            return QStringLiteral("Balanza ocupada");
        default:
            return QStringLiteral("(Desconocido)");
    }
}

namespace {
Reply Checked(int code, const QByteArray& received, int minimum) {
    Reply reply;
    reply.code = code;
    reply.bytes = Desescapa_Respuesta(received);
    reply.ok = code == 0 && reply.bytes.size() >= minimum;
    return reply;
}
}  // namespace

Reply Exchange(ScaleLink& link, const QByteArray& request, int minimum) {
    QByteArray received;
    const int code = link.Transact(request, received);
    return Checked(code, received, minimum);
}

Reply ReceiveReply(ScaleLink& link, int minimum) {
    QByteArray received;
    const int code = link.Receive(received);
    return Checked(code, received, minimum);
}

Reply ExchangeRead(ScaleLink& link, const QByteArray& request, int minimum) {
    // A send that failed leaves no reply awaited: the receive fails at once, and the retry goes.
    link.Send(request);
    return ReceiveRead(link, request, minimum);
}

Reply ReceiveRead(ScaleLink& link, const QByteArray& request, int minimum) {
    const Reply first = ReceiveReply(link, minimum);
    if (first.ok) return first;
    return Exchange(link, request, minimum);
}

}  // namespace cfg::protocol
