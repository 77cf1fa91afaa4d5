#include "network/networkreader.h"

#include <QByteArrayView>
#include <QHash>
#include <algorithm>
#include <bitset>
#include <charconv>
#include <utility>

#include "common/basic.h"
#include "common/messages.h"
#include "common/progress.h"
#include "link/scalelink.h"
#include "link/tools.h"
#include "model/configmodel.h"

namespace cfg {

namespace {

constexpr int kNetworkReplyMinimum = 15;
constexpr int kPagedReplyMinimum = 20;

constexpr int kScaleMenu = 200;
constexpr int kSystemMenu = 201;
constexpr int kScaleMenuHard = 202;

const QString kCommError = QStringLiteral("Error de comunicaciones");

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

QString ReadFailureName(const ReadFailure& failure) {
    switch (failure.part) {
        case ReadFailure::SystemValues:
            return QStringLiteral("valores del sistema");
        case ReadFailure::ScaleStructure:
            return QStringLiteral("balanza %1 (estructura)").arg(failure.owner);
        case ReadFailure::ScaleValues:
            return QStringLiteral("balanza %1 (valores)").arg(failure.owner);
        case ReadFailure::ScaleNotRead:
            return QStringLiteral("balanza %1").arg(failure.owner);
        case ReadFailure::ScaleRefused:
            break;
    }
    return QStringLiteral("balanza 0 (número no válido)");
}

QString ReadFailureList(const std::vector<ReadFailure>& failures) {
    QStringList names;
    for (const ReadFailure& failure : failures) names.append(ReadFailureName(failure));
    return names.join(QStringLiteral("; "));
}

NetworkReader::NetworkReader(ScaleLink& link, ConfigModel& model) : link_(link), model_(model) {}

bool NetworkReader::Lee_Datos(Progress& progress, Messages& messages, ProgramControl& program) {
    model_.Clear();
    progress.Begin(QStringLiteral("Leyendo Estructura de Red"));
    model_.AddNode({}, keys::kRoot, QStringLiteral("Red"), QStringLiteral("mundo"));
    model_.AddNode(keys::kRoot, keys::kScales, QStringLiteral("Operativa Balanzas"),
                   QStringLiteral("balanza"));
    model_.AddNode(keys::kRoot, keys::kSystem, QStringLiteral("Datos Comunes"),
                   QStringLiteral("sistema"));
    for (const QString& key : {keys::kRoot, keys::kScales, keys::kSystem}) model_.ExpandNode(key);

    const auto fail = [&] {
        progress.End();
        messages.Show(kCommError, Icon::Critical);
        program.EndProgram();
        return false;
    };
    if (!Lee_Red()) return fail();

    std::vector<ReadFailure> failures;
    // A scale the network reports twice is read once: its keys are already taken. One numbered
    // 0 would be addressed and stored as the system: it is not read.
    std::vector<int> readable;
    for (const ScaleEntry& scale : model_.Scales()) {
        if (scale.number == 0) {
            failures.push_back({0, ReadFailure::ScaleRefused});
            continue;
        }
        const QString text = QStringLiteral("Balanza %1.Mostrador : %2.MAC : %3")
                                 .arg(scale.number)
                                 .arg(scale.mostrador)
                                 .arg(scale.mac);
        if (model_.AddNode(keys::kScales, keys::Scale(scale.number), text, QStringLiteral("g386")))
            readable.push_back(scale.number);
    }

    progress.Caption(QStringLiteral("Leyendo Datos Generales"));
    if (!Lee_Estructura(0)) return fail();
    if (Lee_Valores(0)) {
        for (int scale : readable) {
            progress.Caption(QStringLiteral("Leyendo Datos Equipo %1").arg(scale));
            if (!Lee_Estructura(scale)) {
                failures.push_back({scale, ReadFailure::ScaleStructure});
            } else if (!Lee_Valores(scale)) {
                failures.push_back({scale, ReadFailure::ScaleValues});
            }
        }
    } else {
        failures.push_back({0, ReadFailure::SystemValues});
        for (int scale : readable) failures.push_back({scale, ReadFailure::ScaleNotRead});
    }
    model_.SetReadFailures(std::move(failures));
    progress.End();
    return true;
}

bool NetworkReader::Lee_Red() {
    model_.Scales().clear();
    QByteArray request = RequestStart(Destination::System(), 0x03);
    request.append('\0');
    QByteArray reply;
    const int result = link_.Transact(request, reply);
    reply = Desescapa_Respuesta(reply);
    if (result != 0 || reply.size() < kNetworkReplyMinimum) return false;

    const int count = ByteAt(reply, 10);
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 11 + 8 * i;
        ScaleEntry scale;
        scale.number = ByteAt(reply, entry);
        scale.mostrador = ByteAt(reply, entry + 1);
        for (int b = 2; b < 8; ++b)
            scale.mac += QString::number(ByteAt(reply, entry + b), 16).toUpper();
        model_.Scales().push_back(scale);
    }
    return true;
}

bool NetworkReader::ReadPages(const std::function<QByteArray(int)>& request,
                              const std::function<void(int, QByteArrayView)>& handle) {
    // A cursor that comes back a second time would repeat the same pages for ever: a scale
    // in that state counts as failed instead of hanging the tool. So a read takes at most
    // 65,536 pages.
    std::bitset<65536> sent;
    sent.set(0);
    if (link_.Send(request(0)) != 0) return false;
    for (;;) {
        QByteArray reply;
        const int result = link_.Receive(reply);
        reply = Desescapa_Respuesta(reply);
        if (result != 0 || reply.size() < kPagedReplyMinimum) return false;
        const int count = static_cast<int>(NumberAt(reply, 10, 2));
        const int cursor = static_cast<int>(NumberAt(reply, 12, 2));
        // The next page is asked for before this one is handled, so that the scale prepares it
        // meanwhile. This page is handled whatever happens to that request.
        const bool fresh = cursor != 0 && !sent.test(static_cast<std::size_t>(cursor));
        if (fresh) sent.set(static_cast<std::size_t>(cursor));
        const bool asked = fresh && link_.Send(request(cursor)) == 0;
        handle(count, QByteArrayView(reply).sliced(14));
        if (cursor == 0) return true;
        if (!asked) return false;
    }
}

bool NetworkReader::Lee_Estructura(int scale) {
    const Destination destination = scale == 0 ? Destination::System() : Destination::Structure();
    QString currentMenu;
    bool skipping = false;
    int menuSerial = 0;

    const auto request = [&](int cursor) {
        return RequestStart(destination, 0x02) + Numero_A_Bytes(cursor, 2) + QByteArray(2, '\0');
    };
    const auto handle = [&](int count, QByteArrayView data) {
        // Options are read only when something but spaces follows: known once for the page.
        qsizetype lastNonSpace = data.size() - 1;
        while (lastNonSpace >= 0 && data[lastNonSpace] == ' ') --lastNonSpace;
        qsizetype pos = 0;
        for (int r = 0; r < count && pos < data.size(); ++r) {
            const int id = static_cast<int>(NumberAt(data, pos, 2));
            const int code = ByteAt(data, pos + 2);
            const int order = ByteAt(data, pos + 3);
            const int length = ByteAt(data, pos + 4);
            const int textLength = ByteAt(data, pos + 5);
            const QString text = Convierte_Texto(TextAt(data, pos + 6, textLength));
            // This marker ends what the reply has to say.
            if (text.contains(QStringLiteral("Paq  igur"))) return;

            QStringList options;
            qsizetype next = pos + 6 + textLength;
            if (code == kEnumeration && data.size() - pos > textLength + 7) {
                qsizetype at = next;
                if (at <= lastNonSpace) {
                    for (int o = 0; o < length; ++o) {
                        const int n = ByteAt(data, at);
                        options.append(TrimSpaces(Convierte_Texto(TextAt(data, at + 1, n))));
                        const qsizetype left = data.size() - at;
                        at += 1 + n;
                        if (n + 2 > left) break;
                    }
                    next = std::min<qsizetype>(at, data.size());
                }
            }
            pos = next;

            if (code == kScaleMenu || code == kScaleMenuHard || code == kSystemMenu) {
                const bool ours = (code == kSystemMenu) == (scale == 0);
                skipping = !ours;
                if (!ours) continue;
                ++menuSerial;
                const QString key =
                    scale == 0 ? keys::SystemMenu(menuSerial) : keys::ScaleMenu(scale, menuSerial);
                const QString parent = scale == 0 ? keys::kSystem : keys::Scale(scale);
                const QString image =
                    code == kScaleMenuHard ? QStringLiteral("hard") : QStringLiteral("menu");
                model_.AddNode(parent, key, text, image);
                currentMenu = key;
                model_.AppendMenu({scale, id, text, key});
                continue;
            }
            if (skipping) continue;

            ItemRow item;
            item.owner = scale;
            item.id = id;
            item.type = code;
            item.order = order;
            item.length = length;
            item.text = text;
            item.options = options;
            item.menuKey = currentMenu;
            if (currentMenu.startsWith(u"mb")) {
                item.key = keys::ScaleItem(scale, model_.NextScaleItemSerial());
            } else if (currentMenu.startsWith(u"ms")) {
                item.key = keys::SystemItem(model_.NextSystemItemSerial());
            }
            if (!item.key.isEmpty()) {
                model_.AddNode(currentMenu, item.key, text,
                               order < kFirstReadOnlyOrder ? QStringLiteral("valor")
                                                           : QStringLiteral("valorno"));
            }
            model_.AppendItem(std::move(item));
        }
    };
    return ReadPages(request, handle);
}

NetworkReader::ValueEntry NetworkReader::DecodeValueEntry(QByteArrayView data, qsizetype pos) {
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

QString NetworkReader::NumberText(double number, int divisorByte) {
    // The divisor travels as a digit character; anything else means none.
    const int divisor = divisorByte >= '1' && divisorByte <= '9' ? divisorByte - '0' : 0;
    const double value = divisor > 0 ? number / divisor : number;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

bool NetworkReader::Lee_Valores(int scale) {
    const Destination destination = scale == 0 ? Destination::System() : Destination::Scale(scale);
    const auto request = [&](int cursor) {
        return RequestStart(destination, 0x00) + Numero_A_Bytes(cursor, 2) + QByteArray(1, '\0');
    };
    // An item's node text grows with each of its entries (an ID sent twice shows both values).
    // The texts are built here and set once when the read ends, so that entries a scale repeats
    // cost no more than their bytes.
    std::vector<std::pair<int, QString>> texts;  // node, text, in the order first touched
    QHash<int, std::size_t> textOf;
    const auto handle = [&](int count, QByteArrayView data) {
        qsizetype pos = 0;
        for (int e = 0; e < count && pos < data.size(); ++e) {
            const ValueEntry entry = DecodeValueEntry(data, pos);
            // Without a known layout the entries after this one cannot be found.
            if (entry.length == 0) return;
            pos += entry.length;

            const int row = model_.FindItem(scale, entry.id);
            if (row < 0) continue;
            ItemRow& item = model_.Item(row);
            StoreRead(item, entry.value, entry.bytes);
            const int node = model_.FindNode(item.key);
            if (node < 0) continue;
            auto slot = textOf.constFind(node);
            if (slot == textOf.cend()) {
                slot = textOf.insert(node, texts.size());
                texts.emplace_back(node, model_.Node(node).text);
            }
            QString& text = texts[*slot].second;
            if (const std::optional<QString> shown = ShownValue(item)) {
                text.append(QStringLiteral(" = ")).append(*shown);
            } else {
                text.clear();
            }
        }
    };
    const bool ok = ReadPages(request, handle);
    for (auto& [node, text] : texts) model_.SetNodeText(node, std::move(text));
    return ok;
}

}  // namespace cfg
