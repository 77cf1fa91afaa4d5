#include "sim/engine.h"

#include <QMutexLocker>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cstdint>

namespace cfg::sim {

namespace {

constexpr qsizetype kMaxFrame = 65535;
constexpr qsizetype kPagedHead = 14;  // header, entry count and next cursor
constexpr char kCr = '\r';

int Byte(const QByteArray& frame, qsizetype i) {
    return i < frame.size() ? static_cast<std::uint8_t>(frame[i]) : 0;
}
int Le16(const QByteArray& frame, qsizetype i) {
    return Byte(frame, i) | Byte(frame, i + 1) << 8;
}

void AppendLe16(QByteArray& out, qsizetype value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

// Bytes 1 to 10 of a reply: those of the request, with byte 5 standing for CR until the
// stand-in is chosen.
QByteArray Header(const QByteArray& request) {
    QByteArray header = request.size() >= 10
                            ? request.left(10)
                            : QByteArray::fromRawData("\x02\x7E\0\0\0\0\0\0\0\x08", 10);
    header.detach();
    header[4] = kCr;
    return header;
}

// Whether a written number fits the item's digits and, scaled by its divisor, 32 bits.
std::optional<std::int32_t> Scaled(const Record& item, std::int32_t written) {
    const std::int64_t magnitude = written < 0 ? -static_cast<std::int64_t>(written) : written;
    std::int64_t limit = 1;
    for (int i = 0; i < item.length && limit <= magnitude; ++i) limit *= 10;
    if (magnitude >= limit) return std::nullopt;
    const std::int64_t raw =
        static_cast<std::int64_t>(written) * (item.divisor != 0 ? item.divisor - '0' : 1);
    if (raw < INT32_MIN || raw > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(raw);
}

}  // namespace

Engine::Engine(Network network, EngineOptions options)
    : options_(std::move(options)),
      network_(std::move(network)),
      system_(BuildIndex(network_.system)),
      shared_(BuildIndex(network_.shared)),
      random_(options_.seed.value_or(QRandomGenerator::global()->generate())) {
    for (qsizetype i = 0; i < network_.scales.size(); ++i)
        scaleByNumber_.insert(network_.scales[i].number, static_cast<int>(i));
}

Engine::Index Engine::BuildIndex(const QList<Record>& records) {
    Index index;
    QList<int>* menu = nullptr;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        const int at = static_cast<int>(i);
        index.recordBytes.append(EncodeRecord(r));
        if (r.IsMenu()) {
            // A second menu with the same ID cannot be addressed; its items stay unlisted.
            menu = index.menuItems.contains(r.id) ? nullptr : &index.menuItems[r.id];
            continue;
        }
        if (!index.itemById.contains(r.id)) index.itemById.insert(r.id, at);
        if (IsGroupId(r.id) && !index.groupIds.contains(r.id)) index.groupIds.append(r.id);
        if (!r.HasValue()) continue;
        index.valueItems.append(at);
        if (menu != nullptr) menu->append(at);
    }
    std::sort(index.groupIds.begin(), index.groupIds.end());
    return index;
}

QByteArray Engine::HandleRequest(const QByteArray& frame) {
    QMutexLocker lock(&mutex_);
    RecordLocked(frame, true);
    const FaultOptions& faults = options_.faults;
    const bool unreadable = Byte(frame, 10) == kReadValues && Byte(frame, 2) == kToScale &&
                            faults.unreadableScales.contains(Byte(frame, 3));
    const bool cut = faults.shortReplies || unreadable ||
                     (faults.shortAfter >= 0 && requests_.size() > faults.shortAfter);
    return Finish(Answer(frame), cut);
}

void Engine::RecordRequest(const QByteArray& frame) {
    QMutexLocker lock(&mutex_);
    RecordLocked(frame, false);
}

bool Engine::OpenRecordFile(const QString& path, QString* error) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error != nullptr) *error = file->errorString();
        return false;
    }
    QMutexLocker lock(&mutex_);
    recordFile_ = std::move(file);
    return true;
}

void Engine::RecordLocked(const QByteArray& frame, bool answered) {
    requests_.append(frame);
    answered_.append(answered);
    if (recordFile_) {
        recordFile_->write(frame.toHex(' ').toUpper() + '\n');
        recordFile_->flush();
    }
}

QList<QByteArray> Engine::Requests() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

QList<bool> Engine::Answered() const {
    QMutexLocker lock(&mutex_);
    return answered_;
}

int Engine::RequestCount() const {
    QMutexLocker lock(&mutex_);
    return static_cast<int>(requests_.size());
}

void Engine::ClearRequests() {
    QMutexLocker lock(&mutex_);
    requests_.clear();
    answered_.clear();
}

Network Engine::network() const {
    QMutexLocker lock(&mutex_);
    return network_;
}

Engine::Owner Engine::OwnerOf(const QByteArray& frame) const {
    const int first = Byte(frame, 2);
    const int second = Byte(frame, 3);
    if (first == 0x00 && second == 0x00) return {true, -1};
    if (first == kToScale && scaleByNumber_.contains(second))
        return {true, scaleByNumber_.value(second)};
    return {};
}

const Engine::Index& Engine::IndexOf(Owner owner) const {
    return owner.scaleIndex < 0 ? system_ : shared_;
}

const Record& Engine::ItemOf(Owner owner, int recordIndex) const {
    return owner.scaleIndex < 0 ? network_.system[recordIndex] : network_.shared[recordIndex];
}

Value Engine::ValueOf(Owner owner, int recordIndex) const {
    const Record& item = ItemOf(owner, recordIndex);
    if (owner.scaleIndex < 0) return item.value;
    return network_.scales[owner.scaleIndex].values.value(item.id, item.value);
}

void Engine::Store(Owner owner, int recordIndex, const Value& value) {
    if (owner.scaleIndex < 0) {
        network_.system[recordIndex].value = value;
        return;
    }
    const Record& item = network_.shared[recordIndex];
    QHash<int, Value>& values = network_.scales[owner.scaleIndex].values;
    // Only differences from the shared default are kept, as in a network file.
    if (value == item.value)
        values.remove(item.id);
    else
        values.insert(item.id, value);
}

Engine::Reply Engine::Answer(const QByteArray& frame) {
    if (frame.size() < 11 || Byte(frame, 0) != 0x02 || Byte(frame, 1) != 0x7E)
        return ErrorReply(frame, kUnidentified);
    const Owner owner = OwnerOf(frame);
    switch (Byte(frame, 10)) {
        case kReadNetwork:
            if (!owner.valid || owner.scaleIndex >= 0) return ErrorReply(frame, kWrongDestination);
            return ReadNetwork(frame);
        case kReadStructure:
            if (frame.size() < 13) return ErrorReply(frame, kBadData);
            // Every scale answers the one shared structure, also when addressed by number.
            if (Byte(frame, 2) == kToSharedStructure && Byte(frame, 3) == 0x00)
                return ReadStructure(frame, shared_);
            if (!owner.valid) return ErrorReply(frame, kWrongDestination);
            return ReadStructure(frame, IndexOf(owner));
        case kReadValues:
            if (frame.size() < 14) return ErrorReply(frame, kBadData);
            if (!owner.valid) return ErrorReply(frame, kWrongDestination);
            if (Byte(frame, 13) == kValuesPage) return ReadValues(frame, owner, Le16(frame, 11));
            if (Byte(frame, 13) == kOneMenu) return ReadMenu(frame, owner, Le16(frame, 11));
            return ErrorReply(frame, kBadData);
        case kWriteItems:
            if (frame.size() < 13) return ErrorReply(frame, kBadData);
            if (!owner.valid) return ErrorReply(frame, kWrongDestination);
            return Write(frame, owner);
        default:
            return ErrorReply(frame, kUnknownFunction);
    }
}

// The write reply's layout: as a read's reply it is too short, so a reader sees a failure
// instead of taking the code for a cursor.
Engine::Reply Engine::ErrorReply(const QByteArray& frame, int code) const {
    QByteArray bytes = Header(frame);
    AppendLe16(bytes, 0);
    AppendLe16(bytes, code);
    return {bytes, kWriteMinimum};
}

Engine::Reply Engine::ReadNetwork(const QByteArray& frame) const {
    QByteArray bytes = Header(frame);
    bytes.append(static_cast<char>(network_.scales.size()));
    for (const Scale& s : network_.scales) {
        bytes.append(static_cast<char>(s.number));
        bytes.append(static_cast<char>(s.mostrador));
        bytes.append(s.mac);
    }
    return {bytes, kNetworkMinimum};
}

namespace {

// A paged reply from `first` on: as many pieces as the page size and one frame allow.
template <typename PieceAt>
QByteArray Page(const QByteArray& header, qsizetype first, qsizetype total, int pageSize,
                PieceAt pieceAt) {
    QByteArray body;
    qsizetype next = first;
    int count = 0;
    while (next < total && count < pageSize) {
        const QByteArray piece = pieceAt(next);
        // Never an empty page while pieces are left: each piece fits a frame on its own.
        if (count > 0 && kPagedHead + body.size() + piece.size() > kMaxFrame) break;
        body.append(piece);
        ++next;
        ++count;
    }
    QByteArray bytes = header;
    AppendLe16(bytes, count);
    AppendLe16(bytes, next < total ? next : 0);
    bytes.append(body);
    return bytes;
}

}  // namespace

Engine::Reply Engine::ReadStructure(const QByteArray& frame, const Index& index) const {
    const auto piece = [&index](qsizetype i) { return index.recordBytes[i]; };
    return {Page(Header(frame), Le16(frame, 11), index.recordBytes.size(),
                 std::max(1, options_.pageSize), piece),
            kPagedMinimum};
}

Engine::Reply Engine::ReadValues(const QByteArray& frame, Owner owner, int cursor) const {
    const Index& index = IndexOf(owner);
    const auto piece = [&](qsizetype i) {
        const int at = index.valueItems[i];
        return EncodeValue(ItemOf(owner, at), ValueOf(owner, at));
    };
    return {
        Page(Header(frame), cursor, index.valueItems.size(), std::max(1, options_.pageSize), piece),
        kPagedMinimum};
}

Engine::Reply Engine::ReadMenu(const QByteArray& frame, Owner owner, int menuId) const {
    // An unknown menu has no items: an empty list, not an error.
    const QList<int> items = IndexOf(owner).menuItems.value(menuId);
    QByteArray body;
    int count = 0;
    for (int at : items) {
        const QByteArray entry = EncodeValue(ItemOf(owner, at), ValueOf(owner, at));
        if (kPagedHead + body.size() + entry.size() > kMaxFrame) break;
        body.append(entry);
        ++count;
    }
    QByteArray bytes = Header(frame);
    AppendLe16(bytes, count);
    AppendLe16(bytes, 0);  // one menu always fits one reply
    bytes.append(body);
    return {bytes, kPagedMinimum};
}

QList<Engine::WriteEntry> Engine::ParseWrite(const QByteArray& frame, bool* truncated) {
    QList<WriteEntry> entries;
    const int announced = Le16(frame, 11);
    qsizetype pos = 13;
    *truncated = false;
    for (int i = 0; i < announced; ++i) {
        if (pos + 3 > frame.size()) {
            *truncated = true;
            break;
        }
        WriteEntry entry;
        entry.id = Le16(frame, pos);
        entry.type = Byte(frame, pos + 2);
        pos += 3;
        qsizetype size = 0;
        switch (entry.type) {
            case kEnumeration:
                size = 1;
                break;
            case kNumber:
                size = 5;
                break;
            case kString:
            case kDate:
                size = pos < frame.size() ? 1 + Byte(frame, pos) : 1;
                break;
            default:
                break;
        }
        if (pos + size > frame.size()) {
            *truncated = true;
            break;
        }
        entry.data = frame.mid(pos, size);
        pos += size;
        entries.append(entry);
    }
    return entries;
}

void Engine::Check(WriteEntry& entry, Owner owner) const {
    const int at = IndexOf(owner).itemById.value(entry.id, -1);
    const Record* item = at >= 0 ? &ItemOf(owner, at) : nullptr;
    const QByteArray& data = entry.data;
    entry.recordIndex = at;
    if (item == nullptr || item->code != entry.type || !item->HasValue()) {
        entry.code = kBadData;
    } else if (item->ReadOnly() || options_.faults.refusedIds.contains(entry.id)) {
        entry.code = kNotProgrammable;
    } else if (entry.type == kEnumeration) {
        entry.value.number = Byte(data, 0);
        // An item without options can only be given the value it has.
        const bool kept =
            item->options.isEmpty() && entry.value.number == ValueOf(owner, at).number;
        if (entry.value.number >= item->options.size() && !kept) entry.code = kBadData;
    } else if (entry.type == kNumber) {
        const auto written =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(Le16(data, 0)) |
                                      static_cast<std::uint32_t>(Le16(data, 2)) << 16);
        const std::optional<std::int32_t> raw = Scaled(*item, written);
        if (!raw || (written < 0 && !item->allowNegative))
            entry.code = kBadData;
        else
            entry.value.number = *raw;
    } else {
        entry.value.bytes = data.mid(1);
        const bool digits = std::all_of(entry.value.bytes.cbegin(), entry.value.bytes.cend(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (entry.type == kString && entry.value.bytes.size() > item->length) entry.code = kBadData;
        if (entry.type == kDate && (entry.value.bytes.size() != 6 || !digits))
            entry.code = kBadData;
    }
}

void Engine::Apply(QList<WriteEntry>& entries, Owner owner, bool repeated) {
    for (const WriteEntry& e : entries)
        if (e.code == kNoData && !IsGroupId(e.id)) Store(owner, e.recordIndex, e.value);

    // The group is stored when every group item of the owner came, all acceptable, or when
    // the same write comes twice in a row: the tool sends the group items twice, 200 ms
    // apart, and only the second write takes.
    QSet<int> groupSeen;
    bool groupAcceptable = true;
    for (const WriteEntry& e : entries) {
        if (!IsGroupId(e.id)) continue;
        groupSeen.insert(e.id);
        groupAcceptable = groupAcceptable && e.code == kNoData;
    }
    if (groupSeen.isEmpty()) return;
    bool complete = true;
    for (int id : IndexOf(owner).groupIds) complete = complete && groupSeen.contains(id);
    groupAcceptable = groupAcceptable && (complete || repeated);
    for (WriteEntry& e : entries) {
        if (!IsGroupId(e.id) || e.code != kNoData) continue;
        if (groupAcceptable) {
            Store(owner, e.recordIndex, e.value);
        } else {
            e.code = kNotProgrammable;
            e.groupIncomplete = true;
        }
    }
}

Engine::Reply Engine::Write(const QByteArray& frame, Owner owner) {
    bool truncated = false;
    QList<WriteEntry> entries = ParseWrite(frame, &truncated);
    for (WriteEntry& entry : entries) Check(entry, owner);
    const bool repeated = frame == lastWrite_;
    lastWrite_ = repeated ? QByteArray() : frame;
    Apply(entries, owner, repeated);

    // The code names the first entry that is wrong in itself; a group refused for another
    // entry's sake, or for missing members, only when there is none.
    int accepted = 0;
    int error = kNoData;
    int groupError = kNoData;
    for (const WriteEntry& e : entries) {
        if (e.code == kNoData)
            ++accepted;
        else if (e.groupIncomplete && groupError == kNoData)
            groupError = e.code;
        else if (!e.groupIncomplete && error == kNoData)
            error = e.code;
    }
    if (error == kNoData) error = groupError;
    if (error == kNoData && truncated) error = kBadData;
    QByteArray bytes = Header(frame);
    AppendLe16(bytes, accepted);
    AppendLe16(bytes, error);
    return {bytes, kWriteMinimum};
}

QByteArray Engine::Finish(Reply reply, bool cut) {
    QByteArray& bytes = reply.bytes;
    if (cut) {
        if (bytes.size() >= reply.minimum) bytes.truncate(reply.minimum - 1);
    } else if (bytes.size() < reply.minimum) {
        bytes.append(reply.minimum - bytes.size(), '\0');
    }

    // The stand-in is any value found nowhere else in the reply, or CR itself.
    std::array<bool, 256> seen{};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i != 4) seen[static_cast<std::uint8_t>(bytes[i])] = true;
    }
    std::array<char, 256> candidates{};
    int count = 0;
    candidates[count++] = kCr;
    for (int v = 0; v < 256; ++v) {
        if (!seen[v] && v != kCr) candidates[count++] = static_cast<char>(v);
    }
    const char standIn = candidates[std::uniform_int_distribution<int>(0, count - 1)(random_)];
    if (standIn != kCr) bytes.replace(kCr, standIn);
    return bytes;
}

}  // namespace cfg::sim
