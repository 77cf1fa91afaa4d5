#include "editing/itemwrite.h"

#include <chrono>
#include <thread>

#include "common/basic.h"
#include "link/scalelink.h"
#include "link/tools.h"
#include "model/configmodel.h"

namespace cfg {

namespace {
constexpr int kWriteReplyMinimum = 14;
constexpr int kGroupPauseMs = 200;
}  // namespace

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

QByteArray ItemEntry(const ItemRow& item) {
    return ItemEntry(item.id, item.type, item.value, UnchangedBytes(item));
}

QByteArray WriteRequest(int owner, const QList<QByteArray>& entries) {
    const Destination destination = owner == 0 ? Destination::System() : Destination::Scale(owner);
    QByteArray request =
        RequestStart(destination, 0x01) + Numero_A_Bytes(static_cast<double>(entries.size()), 2);
    for (const QByteArray& entry : entries) request += entry;
    return request;
}

namespace {

WriteReply ExchangeOnce(ScaleLink& link, const QByteArray& request) {
    WriteReply result;
    const int code = link.Transact(request, result.reply);
    result.reply = Desescapa_Respuesta(result.reply);
    result.exchanged = code == 0;
    if (code != 0 || result.reply.size() < kWriteReplyMinimum) return result;
    result.answered = true;
    result.accepted = static_cast<int>(Bytes_A_Numero(result.reply.mid(10, 2)));
    result.errorCode = static_cast<int>(Bytes_A_Numero(result.reply.mid(12, 2)));
    return result;
}

}  // namespace

WriteReply ExchangeWrite(ScaleLink& link, const QByteArray& request, bool twice,
                         const Pause& pause) {
    if (!twice) return ExchangeOnce(link, request);
    const auto wait = [&](int ms) {
        if (pause) {
            pause(ms);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    };
    ExchangeOnce(link, request);
    wait(kGroupPauseMs);
    WriteReply second = ExchangeOnce(link, request);
    wait(kGroupPauseMs);
    return second;
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

}  // namespace cfg
