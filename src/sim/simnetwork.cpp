#include "sim/simnetwork.h"

#include <QSet>

#include "core/protocol/tools.h"

namespace cfg::sim {

namespace {

// Replies are at most 65535 bytes; a record must fit one with its 14-byte head.
constexpr qsizetype kMaxRecordBytes = 65535 - 14;

void AppendLe16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

QString CheckRecord(const Record& r) {
    const QString at = QStringLiteral("record %1 (code %2): ").arg(r.id).arg(r.code);
    if (r.id < 0 || r.id > 0xFFFF) return at + QStringLiteral("ID out of 0 to 65535");
    if (r.code < 0 || r.code > 255) return at + QStringLiteral("code out of 0 to 255");
    if (r.order < 0 || r.order > 255) return at + QStringLiteral("order out of 0 to 255");
    if (r.length < 0 || r.length > 255) return at + QStringLiteral("length out of 0 to 255");
    if (r.text.size() > 255) return at + QStringLiteral("text longer than 255 bytes");
    if (r.code != kEnumeration && !r.options.isEmpty())
        return at + QStringLiteral("options on an item that is not an enumeration");
    if (r.options.size() > 255) return at + QStringLiteral("more than 255 options");
    for (const QByteArray& option : r.options) {
        if (option.size() > 255) return at + QStringLiteral("option longer than 255 bytes");
    }
    if (r.divisor != 0 && (r.divisor < '1' || r.divisor > '9'))
        return at + QStringLiteral("divisor is not a digit 1 to 9");
    if (EncodeRecord(r).size() > kMaxRecordBytes)
        return at + QStringLiteral("too large for one reply");
    return {};
}

QString CheckValue(const Record& item, const Value& v) {
    const QString at = QStringLiteral("value of item %1: ").arg(item.id);
    switch (item.code) {
        case kEnumeration:
            if (v.number < 0 || v.number > 255) return at + QStringLiteral("index out of 0 to 255");
            break;
        case kString:
        case kDate:
            if (v.bytes.size() > 255) return at + QStringLiteral("longer than 255 bytes");
            break;
        default:
            break;
    }
    return {};
}

QString CheckStructure(const QList<Record>& records, const QString& name) {
    // Paging cursors are 16-bit record indices.
    if (records.size() > 0xFFFF) return name + QStringLiteral(": more than 65535 records");
    QSet<int> ids;
    for (const Record& r : records) {
        QString problem = CheckRecord(r);
        if (problem.isEmpty() && r.HasValue()) problem = CheckValue(r, r.value);
        if (problem.isEmpty() && !r.IsMenu()) {
            if (ids.contains(r.id)) problem = QStringLiteral("item ID %1 twice").arg(r.id);
            ids.insert(r.id);
        }
        if (!problem.isEmpty()) return name + QStringLiteral(": ") + problem;
    }
    return {};
}

}  // namespace

QString Validate(const Network& network) {
    QString problem = CheckStructure(network.system, QStringLiteral("system"));
    if (problem.isEmpty()) problem = CheckStructure(network.shared, QStringLiteral("structure"));
    if (!problem.isEmpty()) return problem;
    if (network.scales.size() > 255) return QStringLiteral("more than 255 scales");

    QHash<int, const Record*> sharedItems;
    for (const Record& r : network.shared) {
        if (!r.IsMenu()) sharedItems.insert(r.id, &r);
    }
    QSet<int> numbers;
    for (const Scale& s : network.scales) {
        const QString at = QStringLiteral("scale %1: ").arg(s.number);
        if (s.number < 1 || s.number > 255) return at + QStringLiteral("number out of 1 to 255");
        if (numbers.contains(s.number)) return at + QStringLiteral("number used twice");
        numbers.insert(s.number);
        if (s.mostrador < 0 || s.mostrador > 255)
            return at + QStringLiteral("Mostrador number out of 0 to 255");
        if (s.mac.size() != 6) return at + QStringLiteral("MAC is not 6 bytes");
        for (auto it = s.values.cbegin(); it != s.values.cend(); ++it) {
            const Record* item = sharedItems.value(it.key(), nullptr);
            if (item == nullptr || !item->HasValue())
                return at + QStringLiteral("value for item %1, which has no value").arg(it.key());
            problem = CheckValue(*item, it.value());
            if (!problem.isEmpty()) return at + problem;
        }
    }
    return {};
}

QByteArray ScaleText(const QString& text) {
    return Convierte_Texto_Balanza(text);
}

QByteArray EncodeRecord(const Record& record) {
    QByteArray out;
    AppendLe16(out, record.id);
    out.append(static_cast<char>(record.code));
    out.append(static_cast<char>(record.order));
    const bool isEnum = record.code == kEnumeration;
    out.append(static_cast<char>(isEnum ? record.options.size() : record.length));
    out.append(static_cast<char>(record.text.size()));
    out.append(record.text);
    if (isEnum) {
        for (const QByteArray& option : record.options) {
            out.append(static_cast<char>(option.size()));
            out.append(option);
        }
    }
    return out;
}

QByteArray EncodeValue(const Record& item, const Value& value) {
    QByteArray out;
    AppendLe16(out, item.id);
    out.append(static_cast<char>(item.code));
    switch (item.code) {
        case kEnumeration:
            out.append(static_cast<char>(value.number & 0xFF));
            break;
        case kNumber: {
            const auto bits = static_cast<std::uint32_t>(value.number);
            for (int i = 0; i < 4; ++i) out.append(static_cast<char>((bits >> (8 * i)) & 0xFF));
            out.append(item.divisor);
            break;
        }
        case kString:
        case kDate:
            out.append(static_cast<char>(value.bytes.size()));
            out.append(value.bytes);
            break;
        default:
            break;
    }
    return out;
}

}  // namespace cfg::sim
