#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

// What a simulated scale network holds: the system's structure and values, the one structure
// every scale shares, and the scales with their own values. Texts are kept as the scales keep
// them, in code page 850 bytes, so that any byte the wire can carry can be simulated.
namespace cfg::sim {

// Structure record codes that are menus; every other code is an item and is its type.
inline constexpr int kScaleMenu = 200;
inline constexpr int kSystemMenu = 201;
inline constexpr int kHardwareMenu = 202;

// Item types that carry a value.
inline constexpr int kEnumeration = 5;
inline constexpr int kNumber = 7;
inline constexpr int kString = 8;
inline constexpr int kDate = 9;

// The items a scale accepts only all together, in one write.
inline constexpr int kFirstGroupId = 152;
inline constexpr int kLastGroupId = 157;

inline bool IsMenuCode(int code) {
    return code == kScaleMenu || code == kSystemMenu || code == kHardwareMenu;
}
inline bool IsValueType(int code) {
    return code == kEnumeration || code == kNumber || code == kString || code == kDate;
}
inline bool IsGroupId(int id) {
    return id >= kFirstGroupId && id <= kLastGroupId;
}

// An item's value as the scale stores it: the option index (enumeration) or the raw number,
// before the divisor is applied (number), in `number`; the text bytes of a string or a date
// ("ddmmyy") in `bytes`.
struct Value {
    std::int32_t number = 0;
    QByteArray bytes;
    friend bool operator==(const Value&, const Value&) = default;
};

// One record of a structure: a menu, or an item of the menu record before it.
struct Record {
    int id = 0;
    int code = 0;  // 200, 201, 202 for menus, else the item type
    int order = 0;
    // Strings: most characters; numbers: most digits. For enumerations the option count is
    // sent instead and this is not used.
    int length = 0;
    QByteArray text;
    QList<QByteArray> options;   // enumerations only
    char divisor = 0;            // numbers: '1' to '9', or 0 for none
    bool allowNegative = false;  // numbers only
    Value value;  // system: the item's value; shared structure: every scale's default

    bool IsMenu() const { return IsMenuCode(code); }
    bool HasValue() const { return IsValueType(code); }
    bool ReadOnly() const { return order >= 100; }
    friend bool operator==(const Record&, const Record&) = default;
};

struct Scale {
    int number = 0;     // 1 to 255
    int mostrador = 0;  // 0 to 255
    QByteArray mac;     // 6 bytes
    // This scale's values that differ from the shared structure's defaults, by item ID.
    QHash<int, Value> values;
    friend bool operator==(const Scale&, const Scale&) = default;
};

struct Network {
    QList<Record> system;  // answered for destination 0x00 0x00
    QList<Record> shared;  // answered for destination 0x20 0x00, identical for every scale
    QList<Scale> scales;   // in the order the network read reports them
    friend bool operator==(const Network&, const Network&) = default;
};

// Empty when the network can be put on the wire as it is; otherwise what is wrong with it
// (field ranges, duplicate item IDs in one structure, duplicate scale numbers, scale values
// for items that do not exist or have no value).
QString Validate(const Network& network);

// Text as a scale would store it (the tool's outgoing conversion), for building networks.
QByteArray ScaleText(const QString& text);

// The built-in network: four scales, a system with every kind of item, and the records that
// make a reading tool skip parts of the structures.
Network DefaultNetwork();

// A large, deterministic network for benchmarks: `scales` scales (1 to 255) sharing a
// structure of about `items` items (1 to 20000) in menus of about 25, plus a system of 40
// items.
Network GenerateNetwork(int scales, int items);

// Bytes a structure record occupies on the wire.
QByteArray EncodeRecord(const Record& record);

// A value entry of a read reply: ID, type and the value in the item type's layout.
QByteArray EncodeValue(const Record& item, const Value& value);

}  // namespace cfg::sim
