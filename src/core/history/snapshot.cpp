#include "core/history/snapshot.h"

#include <QStringView>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include <openssl/evp.h>

#include "core/editing/sendall.h"
#include "core/model/configmodel.h"

namespace cfg {

namespace {

constexpr quint32 kFormat = 1;
constexpr std::array<QStringView, 4> kCauses{u"read", u"partial", u"set", u"send"};
constexpr std::array<QStringView, 4> kSendKinds{u"all", u"changes", u"clone", u"restore"};

// Little-endian numbers, and texts as Latin-1 bytes when every character fits in one (nearly
// always), else as UTF-16 code units: a part is the same bytes on every machine.
constexpr qint32 kWideText = 1 << 30;  // added to the length of a UTF-16 text
constexpr int kExpanded = 1 << 8;      // with a node's kind

using Digest = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// Packs a part. Given a digest, it hashes what it packed a few kilobytes at a time instead of
// keeping it: the bytes of a snapshot's parts run to megabytes, and are seldom new.
class Packer {
  public:
    explicit Packer(qsizetype expected = 4096, bool streamed = false)
        : digest_(streamed ? EVP_MD_CTX_new() : nullptr, &EVP_MD_CTX_free) {
        if (digest_) {
            EVP_DigestInit_ex(digest_.get(), EVP_sha1(), nullptr);
            expected = kChunk;
        }
        out_.resize(expected);
    }
    void Number(qint64 value) {
        const auto v = qToLittleEndian(static_cast<qint32>(value));
        std::memcpy(Room(sizeof v), &v, sizeof v);
    }
    void Text(QStringView text) {
        // The length and the text in one piece, so that a text needing UTF-16 can be written
        // again in its place.
        char* length = Room(4 + text.size());
        const auto n = qToLittleEndian(static_cast<qint32>(text.size()));
        std::memcpy(length, &n, sizeof n);
        // Narrowed first and checked after, without a branch per character: the loop
        // vectorises, and a text needing UTF-16 is rare.
        char* byte = length + 4;
        const char16_t* c = text.utf16();
        char16_t wide = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            wide |= c[i];
            byte[i] = static_cast<char>(c[i]);
        }
        if (wide > 0xFF) Wide(length - out_.constData(), text);
    }
    void Bytes(const QByteArray& bytes) {
        Number(bytes.size());
        std::memcpy(Room(bytes.size()), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // A number written earlier at `at`, set once what it counts is known; not when streamed.
    void NumberAt(qsizetype at, qint64 value) {
        const auto v = qToLittleEndian(static_cast<qint32>(value));
        std::memcpy(out_.data() + at, &v, sizeof v);
    }
    qsizetype Packed() const { return flushed_ + size_; }
    // The bytes packed, or when streamed nothing and their hash in `hash`.
    QByteArray Take(QByteArray* hash = nullptr) {
        if (digest_) {
            Flush();
            hash->resize(kHashSize);
            EVP_DigestFinal_ex(digest_.get(), reinterpret_cast<unsigned char*>(hash->data()),
                               nullptr);
            return {};
        }
        out_.truncate(size_);
        size_ = 0;
        if (hash) *hash = PartHash(out_);
        return std::move(out_);
    }

  private:
    static constexpr qsizetype kChunk = 1 << 14;
    // Written through a pointer, the array grown by doubling: a part packs megabytes in small
    // pieces.
    char* Room(qsizetype n) {
        if (size_ + n > out_.size()) {
            if (digest_ && n <= kChunk) Flush();
            if (size_ + n > out_.size()) out_.resize(std::max(2 * out_.size(), size_ + n));
        }
        char* at = out_.data() + size_;
        size_ += n;
        return at;
    }
    void Flush() {
        EVP_DigestUpdate(digest_.get(), out_.constData(), static_cast<std::size_t>(size_));
        flushed_ += size_;
        size_ = 0;
    }
    // The text at `at` again, as UTF-16 code units after a length flagged as such.
    void Wide(qsizetype at, QStringView text) {
        size_ = at;
        Number(text.size() + kWideText);
        for (QChar c : text) {
            const auto v = qToLittleEndian(c.unicode());
            std::memcpy(Room(sizeof v), &v, sizeof v);
        }
    }
    Digest digest_;
    QByteArray out_;
    qsizetype size_ = 0;
    qsizetype flushed_ = 0;
};

// Reads what Packer wrote; past the end, or at a length that does not fit, it stops for good.
class Unpacker {
  public:
    explicit Unpacker(const QByteArray& in) : in_(in) {}
    int Number() {
        if (!Has(4)) return 0;
        const auto v = qFromLittleEndian<qint32>(in_.constData() + pos_);
        pos_ += 4;
        return v;
    }
    // A number of elements to come, each taking four bytes at least: a damaged part cannot make
    // room for more than it holds.
    int Count() {
        const int n = Number();
        if (n < 0 || n > (in_.size() - pos_) / 4) ok_ = false;
        return ok_ ? n : 0;
    }
    QString Text() {
        const int n = Number();
        if (n < kWideText) {
            if (!Has(n)) return {};
            QString text = QString::fromLatin1(in_.constData() + pos_, n);
            pos_ += n;
            return text;
        }
        const qsizetype wide = n - kWideText;
        if (!Has(wide * 2)) return {};
        QString text(wide, Qt::Uninitialized);
        for (qsizetype i = 0; i < wide; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(in_.constData() + pos_ + 2 * i));
        pos_ += wide * 2;
        return text;
    }
    QByteArray Bytes() {
        const int n = Number();
        if (!Has(n)) return {};
        QByteArray bytes = in_.mid(pos_, n);
        pos_ += n;
        return bytes;
    }
    // Everything read, and nothing left over.
    bool Done() const { return ok_ && pos_ == in_.size(); }
    bool ok() const { return ok_; }

  private:
    bool Has(qsizetype n) {
        ok_ = ok_ && n >= 0 && n <= in_.size() - pos_;
        return ok_;
    }
    const QByteArray& in_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};

// The tree's top (the root, the groups, the scales) is one run; menus and items go in runs by
// owner, so that a change in one scale leaves the parts of the others as they were.
int Segment(const TreeNode& node) {
    switch (node.kind) {
        case NodeKind::Root:
        case NodeKind::ScalesGroup:
        case NodeKind::SystemGroup:
        case NodeKind::Scale:
            return -1;
        default:
            return node.owner;
    }
}

struct Run {
    int segment = 0;
    int first = 0;
    int count = 0;
};
template <typename Rows, typename Key>
std::vector<Run> RunsOf(const Rows& rows, Key key) {
    std::vector<Run> runs;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const int segment = key(rows[i]);
        if (runs.empty() || runs.back().segment != segment) runs.push_back({segment, i, 0});
        ++runs.back().count;
    }
    return runs;
}

// The text an item's node gets from its value: what a read shows. Only the nodes whose text
// differs from it keep a text of their own in a snapshot.
bool IsDerivedText(QStringView text, const ItemRow& item, const Held& held) {
    if (!held.known) return text == item.text;
    const std::optional<QString> shown = ShownAsRead(item, held.value, held.bytes);
    const QStringView rest = text.mid(item.text.size());
    return text.startsWith(item.text) && rest.startsWith(u" = ") &&
           rest.mid(3) == (shown ? QStringView(*shown) : QStringView());
}
// Whether the tree shows what the network holds for an item. After a send it may not (a value
// refused or unanswered): the snapshot then gives the node the text the value held gives, as a
// read would, not the one the tree shows.
bool HeldAsShown(const ItemRow& item, const Held& held) {
    return held.known ? item.known && item.value == held.value : !item.known;
}
QString DerivedText(const ItemRow& item, const Held& held) {
    if (!held.known) return item.text;
    return item.text + QStringLiteral(" = ") +
           ShownAsRead(item, held.value, held.bytes).value_or(QString());
}

// Item keys as the first read of a run gives them. The serials in them keep counting from one
// read to the next, so that an unchanged network read again would otherwise pack anew, and be
// recorded anew, each time.
class KeyForm {
  public:
    explicit KeyForm(const std::vector<TreeNode>& nodes) {
        // Counted from the lowest serial of each kind, which the first item read holds.
        std::array<int, 2> lowest{INT_MAX, INT_MAX};
        for (const TreeNode& node : nodes)
            if (const std::optional<keys::ItemSerial> k = keys::ParseItem(node.key))
                lowest[k->scale] = std::min(lowest[k->scale], k->serial);
        for (std::size_t kind : {0u, 1u})
            shift_[kind] = lowest[kind] == INT_MAX ? 0 : std::max(lowest[kind] - 1, 0);
    }
    QString operator()(const QString& key) const {
        if (shift_[0] == 0 && shift_[1] == 0) return key;
        std::optional<keys::ItemSerial> k = keys::ParseItem(key);
        if (!k || shift_[k->scale] == 0) return key;
        k->serial -= shift_[k->scale];
        return keys::Item(*k);
    }

  private:
    std::array<int, 2> shift_{};
};

}  // namespace

// OpenSSL's, for the instructions it uses where the processor has them: a snapshot hashes
// megabytes.
QByteArray PartHash(QByteArrayView bytes) {
    QByteArray hash(kHashSize, Qt::Uninitialized);
    unsigned int size = 0;
    EVP_Digest(bytes.data(), static_cast<std::size_t>(bytes.size()),
               reinterpret_cast<unsigned char*>(hash.data()), &size, EVP_sha1(), nullptr);
    return hash;
}

namespace {
template <typename Enum, std::size_t N>
std::optional<Enum> FromName(const std::array<QStringView, N>& names, const QString& name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i]) return static_cast<Enum>(i);
    return std::nullopt;
}
}  // namespace

QString CauseName(SnapshotCause cause) {
    return kCauses[static_cast<std::size_t>(cause)].toString();
}

std::optional<SnapshotCause> CauseFromName(const QString& name) {
    return FromName<SnapshotCause>(kCauses, name);
}

QString SendKindName(SendKind kind) {
    return kSendKinds[static_cast<std::size_t>(kind)].toString();
}

std::optional<SendKind> SendKindFromName(const QString& name) {
    return FromName<SendKind>(kSendKinds, name);
}

QString NetworkFingerprint(const std::vector<ScaleEntry>& scales) {
    QByteArray lines;
    for (const ScaleEntry& s : scales)
        lines += QByteArray::number(s.number) + ',' + QByteArray::number(s.mostrador) + ',' +
                 s.mac.toUtf8() + '\n';
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(lines.constData(), static_cast<std::size_t>(lines.size()), digest, &size,
               EVP_sha256(), nullptr);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), 6).toHex());
}

std::vector<Held> HeldByNetwork(const ConfigModel& model) {
    std::vector<Held> held;
    held.reserve(model.Items().size());
    for (const ItemRow& item : model.Items()) {
        if (item.readKnown) {
            held.push_back({true, item.readValue, item.readBytes});
        } else {
            held.emplace_back();
        }
    }
    return held;
}

SendKind SentAs(const SendSummary& summary) {
    return summary.scope == SendScope::Changed ? SendKind::Changes : SendKind::All;
}

std::vector<Held> HeldAfterSend(ConfigModel& model, const SendSummary& summary) {
    StoreSent(model, summary);
    std::vector<Held> held = HeldByNetwork(model);
    for (const SendOutcome& outcome : summary.items)
        if (outcome.kind == SendOutcome::Unanswered) held[outcome.row] = {};
    return held;
}

namespace {

// What a pass over the model does with a part.
enum class Use { Skip, Hash, Keep };

SnapshotParts Encode(const ConfigModel& model, const std::vector<Held>& held,
                     const std::function<Use(std::size_t)>& use) {
    const auto& nodes = model.Nodes();
    const auto& items = model.Items();
    std::vector<int> rowOfNode(nodes.size(), -1);
    for (int row = 0; row < static_cast<int>(items.size()); ++row)
        if (const int node = items[row].key.isEmpty() ? -1 : model.FindNode(items[row].key);
            node >= 0)
            rowOfNode[static_cast<std::size_t>(node)] = row;

    const KeyForm keyOf(nodes);
    const std::vector<Run> nodeRuns = RunsOf(nodes, Segment);
    const std::vector<Run> itemRuns = RunsOf(items, [](const ItemRow& r) { return r.owner; });

    const std::size_t runCount = nodeRuns.size() + itemRuns.size();
    SnapshotParts out;
    out.parts.resize(2 + 2 * runCount);
    out.hashes.resize(out.parts.size());
    out.sizes.resize(out.parts.size());
    // A part's bytes and hash where they are wanted. The texts of a run, which a count starts,
    // are kept whole: there are few.
    const auto put = [&](std::size_t p, Packer& packer) {
        out.sizes[p] = packer.Packed();
        QByteArray bytes = packer.Take(&out.hashes[p]);
        if (use(p) == Use::Keep) out.parts[p] = std::move(bytes);
    };
    const auto streamed = [&](std::size_t p) { return use(p) == Use::Hash; };

    Packer head;
    head.Number(kFormat);
    head.Number(static_cast<qint64>(model.Scales().size()));
    for (const ScaleEntry& scale : model.Scales()) {
        head.Number(scale.number);
        head.Number(scale.mostrador);
        head.Text(scale.mac);
    }
    head.Number(static_cast<qint64>(model.ReadFailures().size()));
    for (const ReadFailure& failure : model.ReadFailures()) {
        head.Number(failure.owner);
        head.Number(failure.part);
    }
    for (const auto* runs : {&nodeRuns, &itemRuns}) {
        head.Number(static_cast<qint64>(runs->size()));
        for (const Run& run : *runs) head.Number(run.count);
    }
    put(0, head);

    Packer menus;
    menus.Number(static_cast<qint64>(model.Menus().size()));
    for (const MenuRow& menu : model.Menus()) {
        menus.Number(menu.owner);
        menus.Number(menu.id);
        menus.Text(menu.text);
        menus.Text(keyOf(menu.key));
    }
    put(1, menus);

    // Room for what a run usually takes, so that a part is seldom copied as it grows.
    const auto packNodes = [&](const Run& run, std::size_t p) {
        Packer shape(48 * run.count, streamed(p)), texts;
        int own = 0;
        texts.Number(0);
        for (int n = run.first; n < run.first + run.count; ++n) {
            const TreeNode& node = nodes[n];
            shape.Text(keyOf(node.key));
            // A parent in the same run by how far back it is, so that the run's bytes do not
            // depend on the runs before it; another by its key; none as -1.
            if (node.parent >= run.first) {
                shape.Number(n - node.parent);
            } else {
                shape.Number(node.parent < 0 ? -1 : 0);
                if (node.parent >= 0) shape.Text(keyOf(nodes[node.parent].key));
            }
            shape.Text(node.image);
            shape.Number(static_cast<int>(node.kind) | (node.expanded ? kExpanded : 0));
            shape.Number(node.owner);
            const int row = rowOfNode[static_cast<std::size_t>(n)];
            if (row < 0 || (HeldAsShown(items[row], held[row]) &&
                            !IsDerivedText(node.text, items[row], held[row]))) {
                texts.Number(n - run.first);
                texts.Text(node.text);
                ++own;
            }
        }
        texts.NumberAt(0, own);
        put(p, shape);
        put(p + 1, texts);
    };
    const auto packItems = [&](const Run& run, std::size_t p) {
        Packer shape(112 * run.count, streamed(p)), values(32 * run.count, streamed(p + 1));
        for (int row = run.first; row < run.first + run.count; ++row) {
            const ItemRow& item = items[row];
            for (int number : {item.owner, item.id, item.type, item.order, item.length})
                shape.Number(number);
            shape.Text(item.text);
            shape.Text(keyOf(item.key));
            shape.Text(keyOf(item.menuKey));
            shape.Number(item.options.size());
            for (const QString& option : item.options) shape.Text(option);
            const Held& h = held[row];
            values.Number(h.known);
            values.Text(h.value);
            values.Bytes(h.bytes);
        }
        put(p, shape);
        put(p + 1, values);
    };

    // Two runs at a time, on two threads: packing and hashing are the snapshot's whole cost,
    // and a read leaves the machine idle after it. The model is only read meanwhile.
    const auto work = [&](std::size_t from) {
        for (std::size_t r = from; r < runCount; r += 2) {
            const std::size_t p = 2 + 2 * r;
            if (use(p) == Use::Skip && use(p + 1) == Use::Skip) continue;
            if (r < nodeRuns.size()) {
                packNodes(nodeRuns[r], p);
            } else {
                packItems(itemRuns[r - nodeRuns.size()], p);
            }
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    for (const Held& h : held) out.known += h.known;
    out.scales = static_cast<int>(model.Scales().size());
    out.items = static_cast<int>(items.size());
    return out;
}

}  // namespace

SnapshotParts HashSnapshot(const ConfigModel& model, const std::vector<Held>& held) {
    return Encode(model, held, [](std::size_t p) { return p == 0 ? Use::Keep : Use::Hash; });
}

SnapshotParts EncodeSnapshot(const ConfigModel& model, const std::vector<Held>& held,
                             const std::vector<bool>& wanted) {
    return Encode(model, held, [&](std::size_t p) {
        return wanted.empty() || (p < wanted.size() && wanted[p]) ? Use::Keep : Use::Skip;
    });
}

namespace {

// What a snapshot's first part says: the scales, the read failures and the runs of the parts.
struct Head {
    std::vector<ScaleEntry> scales;
    std::vector<ReadFailure> failures;
    std::vector<int> nodeRuns, itemRuns;
};
std::optional<Head> DecodeHead(const QByteArray& part) {
    Unpacker head(part);
    if (head.Number() != static_cast<int>(kFormat)) return std::nullopt;
    Head h;
    h.scales.resize(static_cast<std::size_t>(head.Count()));
    for (ScaleEntry& scale : h.scales) {
        scale.number = head.Number();
        scale.mostrador = head.Number();
        scale.mac = head.Text();
    }
    h.failures.resize(static_cast<std::size_t>(head.Count()));
    for (ReadFailure& failure : h.failures) {
        failure.owner = head.Number();
        const int kind = head.Number();
        if (kind < ReadFailure::SystemValues || kind > ReadFailure::ScaleRefused)
            return std::nullopt;
        failure.part = static_cast<ReadFailure::Part>(kind);
    }
    for (std::vector<int>* runs : {&h.nodeRuns, &h.itemRuns}) {
        runs->resize(static_cast<std::size_t>(head.Count()));
        for (int& count : *runs)
            if ((count = head.Number()) < 0) return std::nullopt;
    }
    if (!head.Done()) return std::nullopt;
    return h;
}

// An item with a node names one of the snapshot's, under its menu's node, that no item before
// it names: what a read builds, and what every use of the model takes for granted.
bool InItsMenu(const ConfigModel& model, const ItemRow& item) {
    if (item.key.isEmpty()) return true;
    const int node = model.FindNode(item.key);
    const int menu = node >= 0 ? model.Node(node).parent : -1;
    return menu >= 0 && model.Node(menu).key == item.menuKey && model.FindItemByKey(item.key) < 0;
}

}  // namespace

std::optional<std::vector<ScaleEntry>> SnapshotScales(const QByteArray& head) {
    std::optional<Head> h = DecodeHead(head);
    if (!h) return std::nullopt;
    return std::move(h->scales);
}

bool DecodeSnapshot(const std::vector<QByteArray>& parts, ConfigModel& model) {
    model.Clear();
    if (parts.empty()) return false;
    std::optional<Head> head = DecodeHead(parts[0]);
    if (!head || parts.size() != 2 + 2 * (head->nodeRuns.size() + head->itemRuns.size()))
        return false;
    model.Scales() = std::move(head->scales);

    Unpacker menus(parts[1]);
    for (int n = menus.Count(); n > 0 && menus.ok(); --n) {
        MenuRow menu;
        menu.owner = menus.Number();
        menu.id = menus.Number();
        menu.text = menus.Text();
        menu.key = menus.Text();
        model.AppendMenu(menu);
    }
    if (!menus.Done()) return false;

    std::size_t part = 2;
    std::vector<std::optional<QString>> ownText;
    std::vector<QString> expand;
    for (const int count : head->nodeRuns) {
        Unpacker shape(parts[part++]), texts(parts[part++]);
        const std::size_t first = ownText.size();
        for (int n = 0; n < count; ++n) {
            const QString key = shape.Text();
            const int back = shape.Number();
            const int index = static_cast<int>(model.Nodes().size());
            QString parent;
            if (back > 0 && back <= index - static_cast<int>(first)) {
                parent = model.Node(index - back).key;
            } else if (back == 0) {
                parent = shape.Text();
                if (parent.isEmpty()) return false;
            } else if (back != -1) {
                return false;
            }
            const QString image = shape.Text();
            const int flags = shape.Number(), owner = shape.Number();
            const int kind = flags & ~kExpanded;
            const bool expanded = (flags & kExpanded) != 0;
            if (!shape.ok() || kind < 0 || kind > static_cast<int>(NodeKind::ScaleItem) ||
                !model.AddNode(parent, key, {}, image, static_cast<NodeKind>(kind), owner))
                return false;
            if (expanded) expand.push_back(key);
        }
        ownText.resize(first + static_cast<std::size_t>(count));
        for (int own = texts.Count(); own > 0 && texts.ok(); --own) {
            const int n = texts.Number();
            QString text = texts.Text();
            if (n < 0 || n >= count) return false;
            ownText[first + static_cast<std::size_t>(n)] = std::move(text);
        }
        if (!shape.Done() || !texts.Done()) return false;
    }

    std::vector<Held> held;
    for (const int count : head->itemRuns) {
        Unpacker shape(parts[part++]), values(parts[part++]);
        for (int n = 0; n < count; ++n) {
            ItemRow item;
            for (int* number : {&item.owner, &item.id, &item.type, &item.order, &item.length})
                *number = shape.Number();
            item.text = shape.Text();
            item.key = shape.Text();
            item.menuKey = shape.Text();
            for (int o = shape.Count(); o > 0 && shape.ok(); --o) item.options.append(shape.Text());
            Held h;
            h.known = values.Number() != 0;
            h.value = values.Text();
            h.bytes = values.Bytes();
            if (!shape.ok() || !values.ok() || !InItsMenu(model, item)) return false;
            if (h.known) StoreAccepted(item, h.value, h.bytes);
            model.AppendItem(std::move(item));
            held.push_back(std::move(h));
        }
        if (!shape.Done() || !values.Done()) return false;
    }

    for (int row = 0; row < static_cast<int>(model.Items().size()); ++row) {
        const ItemRow& item = model.Items()[row];
        const int node = item.key.isEmpty() ? -1 : model.FindNode(item.key);
        if (node >= 0 && !ownText[static_cast<std::size_t>(node)])
            ownText[static_cast<std::size_t>(node)] = DerivedText(item, held[row]);
    }
    for (std::size_t n = 0; n < ownText.size(); ++n)
        model.SetNodeText(static_cast<int>(n), ownText[n].value_or(QString()));
    for (const QString& key : expand) model.ExpandNode(key);
    model.SetReadFailures(std::move(head->failures));
    return true;
}

namespace {
QString ValueIn(const ConfigModel& model, int row) {
    if (row < 0) return QStringLiteral("-");
    const ItemRow& item = model.Items()[row];
    return item.known ? item.value : QStringLiteral("?");
}
}  // namespace

std::vector<ValueChange> CompareValues(const ConfigModel& before, const ConfigModel& after) {
    std::vector<ValueChange> changes;
    for (int row = 0; row < static_cast<int>(after.Items().size()); ++row) {
        const ItemRow& item = after.Items()[row];
        QString was = ValueIn(before, before.FindItem(item.owner, item.id));
        QString now = ValueIn(after, row);
        if (was != now) changes.push_back({item.owner, item.id, item.text, was, now});
    }
    for (int row = 0; row < static_cast<int>(before.Items().size()); ++row) {
        const ItemRow& item = before.Items()[row];
        if (after.FindItem(item.owner, item.id) < 0)
            changes.push_back({item.owner, item.id, item.text, ValueIn(before, row), "-"});
    }
    return changes;
}

std::vector<ValueChange> RestoreValues(ConfigModel& model, const ConfigModel& snapshot) {
    for (const ItemRow& held : snapshot.Items()) {
        const int row = held.known ? model.FindItem(held.owner, held.id) : -1;
        if (row < 0 || model.Items()[row].order >= kFirstReadOnlyOrder) continue;
        ItemRow& item = model.Item(row);
        item.value = held.value;
        item.known = true;
        if (!item.key.isEmpty()) model.SetItemNodeText(row);
    }
    return ChangedItems(model);
}

}  // namespace cfg
