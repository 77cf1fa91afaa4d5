#include "sim/networkfile.h"

#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>

#include "core/protocol/protocol.h"
#include "core/protocol/tools.h"

namespace cfg::sim {

namespace {

bool Printable(char16_t c) {
    return (c >= 0x20 && c < 0x7F) || (c > 0xA0 && c <= 0xFF && c != 0xAD);
}

std::uint8_t ByteOf(char16_t c) {
    return static_cast<std::uint8_t>(Convierte_Texto_Balanza(QString(QChar(c)))[0]);
}

// For every byte, the character that a technician types for it (the one the tool shows when
// there is one), or 0 when only an escape can stand for it. Built once, read-only.
const std::array<char16_t, 256>& CharacterOfByte() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<std::uint8_t>(b);
            const char16_t shown =
                Convierte_Texto(QByteArray(1, static_cast<char>(b)))[0].unicode();
            if (Printable(shown) && ByteOf(shown) == byte) {
                t[b] = shown;
                continue;
            }
            for (char16_t c = 0x20; c <= 0xFF; ++c) {
                if (Printable(c) && ByteOf(c) == byte) {
                    t[b] = c;
                    break;
                }
            }
        }
        return t;
    }();
    return table;
}

int HexDigit(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

QString TypeName(int code) {
    const QString name = ItemTypeName(code);
    return name.isEmpty() ? QString::number(code) : name;
}

QString ValueText(const Record& item, const Value& value) {
    if (item.code == kString || item.code == kDate) return FileText(value.bytes);
    return QString::number(value.number);
}

QString MacText(const QByteArray& mac) {
    return QString::fromLatin1(mac.toHex(':').toUpper());
}

void WriteRecords(QXmlStreamWriter& w, const QList<Record>& records) {
    bool inMenu = false;
    for (const Record& r : records) {
        if (r.IsMenu()) {
            if (inMenu) w.writeEndElement();
            w.writeStartElement(QStringLiteral("MENU"));
            w.writeAttribute(QStringLiteral("id"), QString::number(r.id));
            w.writeAttribute(QStringLiteral("code"), QString::number(r.code));
            if (r.order != 0) w.writeAttribute(QStringLiteral("order"), QString::number(r.order));
            if (r.length != 0)
                w.writeAttribute(QStringLiteral("length"), QString::number(r.length));
            w.writeAttribute(QStringLiteral("text"), FileText(r.text));
            inMenu = true;
            continue;
        }
        w.writeStartElement(QStringLiteral("OPTION"));
        w.writeAttribute(QStringLiteral("id"), QString::number(r.id));
        w.writeAttribute(QStringLiteral("type"), TypeName(r.code));
        w.writeAttribute(QStringLiteral("order"), QString::number(r.order));
        if (r.code != kEnumeration)
            w.writeAttribute(QStringLiteral("length"), QString::number(r.length));
        if (r.divisor != 0)
            w.writeAttribute(QStringLiteral("divisor"), QString(QLatin1Char(r.divisor)));
        if (r.allowNegative) w.writeAttribute(QStringLiteral("signed"), QStringLiteral("yes"));
        w.writeAttribute(QStringLiteral("text"), FileText(r.text));
        if (r.HasValue()) w.writeAttribute(QStringLiteral("value"), ValueText(r, r.value));
        for (const QByteArray& option : r.options) {
            w.writeEmptyElement(QStringLiteral("ITEM"));
            w.writeAttribute(QStringLiteral("text"), FileText(option));
        }
        w.writeEndElement();
    }
    if (inMenu) w.writeEndElement();
}

// Reading: one pass over the elements, errors carry the line.
class Reader {
  public:
    explicit Reader(const QByteArray& xml) : xml_(xml) {}

    std::optional<Network> Read(QString* error) {
        Network network;
        if (!xml_.readNextStartElement() || xml_.name() != QStringLiteral("NETWORK")) {
            Fail(QStringLiteral("the root element is not NETWORK"));
        }
        while (ok() && xml_.readNextStartElement()) {
            const QStringView name = xml_.name();
            if (name == QStringLiteral("SYSTEM"))
                network.system.append(ReadRecords());
            else if (name == QStringLiteral("STRUCTURE"))
                network.shared.append(ReadRecords());
            else if (name == QStringLiteral("SCALE"))
                network.scales.append(ReadScale());
            else
                Unexpected();
        }
        if (ok()) ResolveScaleValues(network);
        if (ok() && xml_.hasError()) Fail(xml_.errorString());
        if (ok()) {
            const QString problem = Validate(network);
            if (!problem.isEmpty()) problem_ = problem;
        }
        if (!ok()) {
            if (error != nullptr) *error = problem_;
            return std::nullopt;
        }
        return network;
    }

  private:
    struct PendingValue {
        int scale;
        int id;
        QString text;
        qint64 line;
    };

    bool ok() const { return problem_.isEmpty(); }

    void Fail(const QString& what, qint64 line = -1) {
        if (!ok()) return;
        problem_ =
            QStringLiteral("line %1: %2").arg(line >= 0 ? line : xml_.lineNumber()).arg(what);
    }

    void Unexpected() { Fail(QStringLiteral("unexpected element %1").arg(xml_.name().toString())); }

    int Number(const QString& name, bool required, qint64 low, qint64 high) {
        const QXmlStreamAttributes attributes = xml_.attributes();
        if (!attributes.hasAttribute(name)) {
            if (required) Fail(QStringLiteral("%1 has no %2").arg(xml_.name().toString(), name));
            return 0;
        }
        bool parsed = false;
        const qint64 value = attributes.value(name).trimmed().toLongLong(&parsed);
        if (!parsed || value < low || value > high) {
            Fail(QStringLiteral("%1 is not a number from %2 to %3").arg(name).arg(low).arg(high));
            return 0;
        }
        return static_cast<int>(value);
    }

    QByteArray Bytes(const QString& name) {
        const std::optional<QByteArray> bytes =
            ScaleBytes(xml_.attributes().value(name).toString());
        if (!bytes) Fail(QStringLiteral("%1 holds a bad escape or character").arg(name));
        return bytes.value_or(QByteArray());
    }

    int TypeCode() {
        const QString type = xml_.attributes().value(QStringLiteral("type")).toString();
        if (type == QStringLiteral("enum")) return kEnumeration;
        if (type == QStringLiteral("number")) return kNumber;
        if (type == QStringLiteral("string")) return kString;
        if (type == QStringLiteral("date")) return kDate;
        bool parsed = false;
        const int code = type.toInt(&parsed);
        if (!parsed || code < 0 || code > 255 || IsMenuCode(code))
            Fail(QStringLiteral("type \"%1\" is not an item type").arg(type));
        return code;
    }

    std::optional<Value> ParseValue(const Record& item, const QString& text) {
        Value value;
        if (item.code == kString || item.code == kDate) {
            const std::optional<QByteArray> bytes = ScaleBytes(text);
            if (!bytes) return std::nullopt;
            value.bytes = *bytes;
            return value;
        }
        if (text.trimmed().isEmpty()) return value;
        bool parsed = false;
        const qint64 number = text.trimmed().toLongLong(&parsed);
        if (!parsed || number < INT32_MIN || number > INT32_MAX) return std::nullopt;
        value.number = static_cast<std::int32_t>(number);
        return value;
    }

    QList<Record> ReadRecords() {
        QList<Record> records;
        while (ok() && xml_.readNextStartElement()) {
            if (xml_.name() == QStringLiteral("MENU")) {
                Record menu;
                menu.id = Number(QStringLiteral("id"), true, 0, 0xFFFF);
                menu.code = Number(QStringLiteral("code"), true, 0, 255);
                menu.order = Number(QStringLiteral("order"), false, 0, 255);
                menu.length = Number(QStringLiteral("length"), false, 0, 255);
                menu.text = Bytes(QStringLiteral("text"));
                if (ok() && !menu.IsMenu())
                    Fail(QStringLiteral("menu code is not 200, 201 or 202"));
                records.append(menu);
                while (ok() && xml_.readNextStartElement()) {
                    if (xml_.name() == QStringLiteral("OPTION"))
                        records.append(ReadItem());
                    else
                        Unexpected();
                }
            } else if (xml_.name() == QStringLiteral("OPTION")) {
                records.append(ReadItem());
            } else {
                Unexpected();
            }
        }
        return records;
    }

    Record ReadItem() {
        Record item;
        item.id = Number(QStringLiteral("id"), true, 0, 0xFFFF);
        item.code = TypeCode();
        item.order = Number(QStringLiteral("order"), false, 0, 255);
        item.length = Number(QStringLiteral("length"), false, 0, 255);
        item.text = Bytes(QStringLiteral("text"));
        const QXmlStreamAttributes attributes = xml_.attributes();
        if (attributes.hasAttribute(QStringLiteral("divisor"))) {
            item.divisor = static_cast<char>('0' + Number(QStringLiteral("divisor"), true, 1, 9));
        }
        const QString negative = attributes.value(QStringLiteral("signed")).toString();
        item.allowNegative = negative == QStringLiteral("yes") || negative == QStringLiteral("1") ||
                             negative == QStringLiteral("true");
        const QString valueText = attributes.value(QStringLiteral("value")).toString();
        const qint64 line = xml_.lineNumber();
        while (ok() && xml_.readNextStartElement()) {
            if (xml_.name() == QStringLiteral("ITEM") && item.code == kEnumeration) {
                item.options.append(Bytes(QStringLiteral("text")));
                xml_.skipCurrentElement();
            } else {
                Unexpected();
            }
        }
        if (item.code == kEnumeration) item.length = static_cast<int>(item.options.size());
        if (ok() && item.HasValue()) {
            const std::optional<Value> value = ParseValue(item, valueText);
            if (!value)
                Fail(QStringLiteral("bad value \"%1\" of item %2").arg(valueText).arg(item.id),
                     line);
            item.value = value.value_or(Value{});
        }
        return item;
    }

    Scale ReadScale() {
        Scale scale;
        scale.number = Number(QStringLiteral("number"), true, 1, 255);
        scale.mostrador = Number(QStringLiteral("mostrador"), false, 0, 255);
        const QString mac = xml_.attributes().value(QStringLiteral("mac")).toString();
        scale.mac = QByteArray::fromHex(mac.toLatin1());
        QString digits = mac;
        digits.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
        const bool hex = std::all_of(digits.cbegin(), digits.cend(),
                                     [](QChar c) { return HexDigit(c.unicode()) >= 0; });
        if (ok() && (!hex || digits.size() != 12))
            Fail(QStringLiteral("mac \"%1\" is not six hexadecimal bytes").arg(mac));
        while (ok() && xml_.readNextStartElement()) {
            if (xml_.name() == QStringLiteral("VALUE")) {
                const int id = Number(QStringLiteral("id"), true, 0, 0xFFFF);
                pending_.append({scale.number, id,
                                 xml_.attributes().value(QStringLiteral("value")).toString(),
                                 xml_.lineNumber()});
                xml_.skipCurrentElement();
            } else {
                Unexpected();
            }
        }
        return scale;
    }

    // Scale values are read by their item's type, which the STRUCTURE (before or after)
    // gives.
    void ResolveScaleValues(Network& network) {
        QHash<int, const Record*> items;
        for (const Record& r : network.shared) {
            if (!r.IsMenu() && !items.contains(r.id)) items.insert(r.id, &r);
        }
        QHash<int, Scale*> scales;
        for (Scale& s : network.scales) scales.insert(s.number, &s);
        for (const PendingValue& p : pending_) {
            const Record* item = items.value(p.id, nullptr);
            if (item == nullptr || !item->HasValue()) {
                Fail(QStringLiteral("no item %1 with a value in STRUCTURE").arg(p.id), p.line);
                return;
            }
            const std::optional<Value> value = ParseValue(*item, p.text);
            if (!value) {
                Fail(QStringLiteral("bad value \"%1\" of item %2").arg(p.text).arg(p.id), p.line);
                return;
            }
            Scale* scale = scales.value(p.scale, nullptr);
            if (scale == nullptr) continue;
            if (*value == item->value)
                scale->values.remove(p.id);
            else
                scale->values.insert(p.id, *value);
        }
    }

    QXmlStreamReader xml_;
    QString problem_;
    QList<PendingValue> pending_;
};

}  // namespace

QString FileText(const QByteArray& bytes) {
    const std::array<char16_t, 256>& table = CharacterOfByte();
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b == '\\')
            text += QStringLiteral("\\\\");
        else if (table[b] != 0)
            text += QChar(table[b]);
        else
            text += QStringLiteral("\\x") +
                    QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return text;
}

std::optional<QByteArray> ScaleBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == '\\') {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\\')) {
                bytes.append('\\');
                ++i;
                continue;
            }
            if (i + 3 < text.size() && text[i + 1] == QLatin1Char('x')) {
                const int high = HexDigit(text[i + 2].unicode());
                const int low = HexDigit(text[i + 3].unicode());
                if (high >= 0 && low >= 0) {
                    bytes.append(static_cast<char>(high * 16 + low));
                    i += 3;
                    continue;
                }
            }
            return std::nullopt;
        }
        if (c > 0xFF) return std::nullopt;
        bytes.append(static_cast<char>(ByteOf(c)));
    }
    return bytes;
}

QByteArray WriteNetworkXml(const Network& network) {
    QString text;
    QXmlStreamWriter w(&text);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(4);
    w.writeComment(QStringLiteral(
        " Simulated scale network. Values: option index, number as stored (before the divisor),"
        " text, date ddmmyy. \\xHH is a byte with no character. "));
    w.writeStartElement(QStringLiteral("NETWORK"));
    w.writeStartElement(QStringLiteral("SYSTEM"));
    WriteRecords(w, network.system);
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("STRUCTURE"));
    WriteRecords(w, network.shared);
    w.writeEndElement();
    for (const Scale& s : network.scales) {
        w.writeStartElement(QStringLiteral("SCALE"));
        w.writeAttribute(QStringLiteral("number"), QString::number(s.number));
        w.writeAttribute(QStringLiteral("mostrador"), QString::number(s.mostrador));
        w.writeAttribute(QStringLiteral("mac"), MacText(s.mac));
        // In structure order, so that the file does not depend on hashing.
        for (const Record& r : network.shared) {
            if (r.IsMenu() || !r.HasValue()) continue;
            const auto it = s.values.constFind(r.id);
            if (it == s.values.cend() || *it == r.value) continue;
            w.writeEmptyElement(QStringLiteral("VALUE"));
            w.writeAttribute(QStringLiteral("id"), QString::number(r.id));
            w.writeAttribute(QStringLiteral("value"), ValueText(r, *it));
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") + text.toLatin1() +
           '\n';
}

bool WriteNetworkFile(const Network& network, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(WriteNetworkXml(network)) < 0 ||
        !file.commit()) {
        if (error != nullptr) *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

std::optional<Network> ReadNetworkXml(const QByteArray& xml, QString* error) {
    return Reader(xml).Read(error);
}

std::optional<Network> ReadNetworkFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) *error = path + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    QString problem;
    std::optional<Network> network = ReadNetworkXml(file.readAll(), &problem);
    if (!network && error != nullptr) *error = path + QStringLiteral(": ") + problem;
    return network;
}

}  // namespace cfg::sim
