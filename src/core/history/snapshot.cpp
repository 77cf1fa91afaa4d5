#include "core/history/snapshot.h"

#include <QStringView>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <climits>
#include <concepts>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

#include <openssl/evp.h>

#include "core/editing/sendall.h"
#include "core/model/configmodel.h"

namespace cfg {

namespace {

constexpr int kFormat = 1;
constexpr std::array<QStringView, 4> kCauses{u"read", u"partial", u"set", u"send"};
constexpr std::array<QStringView, 4> kSendKinds{u"all", u"changes", u"clone", u"restore"};

// Little-endian numbers, and texts as Latin-1 bytes when every character fits in one (nearly
// always), else as UTF-16 code units: a part is the same bytes on every machine.
constexpr qint32 kWideText = 1 << 30;  // added to the length of a UTF-16 text
constexpr int kExpanded = 1 << 8;      // with a node's kind

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
    // The key as Latin-1 bytes into `normal`, and their count; -1 when it stays as it is.
    int Normal(QStringView key, char (&normal)[48]) const {
        if (shift_[0] == 0 && shift_[1] == 0) return -1;
        std::optional<keys::ItemSerial> k = keys::ParseItem(key);
        if (!k || shift_[k->scale] == 0) return -1;
        k->serial -= shift_[k->scale];
        return keys::ItemInto(*k, normal);
    }

  private:
    std::array<int, 2> shift_{};
};

// A node as packed: its parent in the same run by how far back it is, so that the run's bytes do
// not depend on the runs before it; another by its key (`back` 0); none as -1. Its kind carries
// whether it is expanded.
struct PackedNode {
    QString key;
    int back = -1;
    QString parent;
    QString image;
    int flags = 0;
    int owner = 0;
};
// A node whose text is not the one its item's value gives, by its place in its run.
struct OwnText {
    int node = 0;
    QString text;
};
// What a snapshot's first part says: the scales, the read failures and the runs of the parts.
struct Head {
    int format = kFormat;
    std::vector<ScaleEntry> scales;
    std::vector<ReadFailure> failures;
    std::vector<int> nodeRuns, itemRuns;
};

// The fields of every record a snapshot holds, in the order they are packed: one list for both
// directions. An archive `A` is a Packer, which packs each field of a const record, or an
// Unpacker, which reads each into the record and checks it.
// `R` is the record `T`, const (packing) or not (unpacking).
template <typename R, typename T>
concept Is = std::same_as<std::remove_const_t<R>, T>;
template <typename A, typename R>
void Visit(A& a, R& scale) requires Is<R, ScaleEntry> {
    a.Number(scale.number);
    a.Number(scale.mostrador);
    a.Text(scale.mac);
}
template <typename A, typename R>
void Visit(A& a, R& failure) requires Is<R, ReadFailure> {
    a.Number(failure.owner);
    a.Enum(failure.part, ReadFailure::ScaleNumberZero);
}
template <typename A, typename R>
void Visit(A& a, R& count) requires Is<R, int> {
    a.Size(count);
}
template <typename A, typename R>
void Visit(A& a, R& head) requires Is<R, Head> {
    a.Number(head.format);
    a.Records(head.scales);
    a.Records(head.failures);
    a.Records(head.nodeRuns);
    a.Records(head.itemRuns);
}
template <typename A, typename R>
void Visit(A& a, R& menu) requires Is<R, MenuRow> {
    a.Number(menu.owner);
    a.Number(menu.id);
    a.Text(menu.text);
    a.Key(menu.key);
}
template <typename A, typename R>
void Visit(A& a, R& node) requires Is<R, PackedNode> {
    a.Key(node.key);
    a.Number(node.back);
    if (node.back == 0) a.Key(node.parent);
    a.Text(node.image);
    a.Number(node.flags);
    a.Number(node.owner);
}
template <typename A, typename R>
void Visit(A& a, R& own) requires Is<R, OwnText> {
    a.Number(own.node);
    a.Text(own.text);
}
// An item row's shape: what a read of the structure gives it.
template <typename A, typename R>
void Visit(A& a, R& item) requires Is<R, ItemRow> {
    a.Number(item.owner);
    a.Number(item.id);
    a.Number(item.type);
    a.Number(item.order);
    a.Number(item.length);
    a.Text(item.text);
    a.Key(item.key);
    a.Key(item.menuKey);
    a.List(item.options);
}
template <typename A, typename R>
void Visit(A& a, R& held) requires Is<R, Held> {
    a.Flag(held.known);
    a.Text(held.value);
    a.Bytes(held.bytes);
}

using Digest = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// Packs a part. Given a digest, it hashes what it packed a few kilobytes at a time instead of
// keeping it: the bytes of a snapshot's parts run to megabytes, and are seldom new.
class Packer {
  public:
    // Item keys go in the form `keys` gives them.
    explicit Packer(const KeyForm* keys = nullptr, qsizetype expected = 4096, bool streamed = false)
        : keys_(keys), digest_(streamed ? EVP_MD_CTX_new() : nullptr, &EVP_MD_CTX_free) {
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
    void Size(qint64 count) { Number(count); }
    void Flag(bool on) { Number(on ? 1 : 0); }
    template <typename E>
    void Enum(E value, E) {
        Number(static_cast<int>(value));
    }
    void Key(QStringView key) {
        char normal[48];
        const int n = keys_ ? keys_->Normal(key, normal) : -1;
        if (n < 0) return Text(key);
        Number(n);
        std::memcpy(Room(n), normal, static_cast<std::size_t>(n));
    }
    void List(const QStringList& texts) {
        Number(texts.size());
        for (const QString& text : texts) Text(text);
    }
    // The count, then each record.
    template <typename R>
    void Records(const std::vector<R>& records) {
        Number(static_cast<qint64>(records.size()));
        for (const R& record : records) Visit(*this, record);
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
    const KeyForm* keys_;
    Digest digest_;
    QByteArray out_;
    qsizetype size_ = 0;
    qsizetype flushed_ = 0;
};

// Reads what Packer wrote into the same fields; past the end, at a length that does not fit or a
// value out of its range, it stops for good.
class Unpacker {
  public:
    explicit Unpacker(const QByteArray& in) : in_(in) {}
    void Number(int& value) { value = Next(); }
    void Size(int& count) {
        count = Next();
        ok_ = ok_ && count >= 0;
    }
    void Flag(bool& on) { on = Next() != 0; }
    template <typename E>
    void Enum(E& value, E last) {
        const int n = Next();
        ok_ = ok_ && n >= 0 && n <= static_cast<int>(last);
        value = static_cast<E>(ok_ ? n : 0);
    }
    void Text(QString& text) {
        const int n = Next();
        if (n < kWideText) {
            if (!Has(n)) return;
            text = QString::fromLatin1(in_.constData() + pos_, n);
            pos_ += n;
            return;
        }
        const qsizetype wide = n - kWideText;
        if (!Has(wide * 2)) return;
        text = QString(wide, Qt::Uninitialized);
        for (qsizetype i = 0; i < wide; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(in_.constData() + pos_ + 2 * i));
        pos_ += wide * 2;
    }
    void Key(QString& key) { Text(key); }
    void Bytes(QByteArray& bytes) {
        const int n = Next();
        if (!Has(n)) return;
        bytes = in_.mid(pos_, n);
        pos_ += n;
    }
    void List(QStringList& texts) {
        for (int n = Count(); n > 0 && ok_; --n) Text(texts.emplace_back());
    }
    template <typename R>
    void Records(std::vector<R>& records) {
        records.resize(static_cast<std::size_t>(Count()));
        for (R& record : records) Visit(*this, record);
    }
    // Everything read, and nothing left over.
    bool Done() const { return ok_ && pos_ == in_.size(); }
    bool ok() const { return ok_; }

  private:
    int Next() {
        if (!Has(4)) return 0;
        const auto v = qFromLittleEndian<qint32>(in_.constData() + pos_);
        pos_ += 4;
        return v;
    }
    // A number of elements to come, each taking four bytes at least: a damaged part cannot make
    // room for more than it holds.
    int Count() {
        const int n = Next();
        if (n < 0 || n > (in_.size() - pos_) / 4) ok_ = false;
        return ok_ ? n : 0;
    }
    bool Has(qsizetype n) {
        ok_ = ok_ && n >= 0 && n <= in_.size() - pos_;
        return ok_;
    }
    const QByteArray& in_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};

// The tree's top (the root, its two branches, the scales) is one run; menus and items go in runs by
// owner, so that a change in one scale leaves the parts of the others as they were.
int Segment(const TreeNode& node) {
    switch (node.kind) {
        case NodeKind::Root:
        case NodeKind::ScalesBranch:
        case NodeKind::SystemBranch:
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
    return IsItemNodeText(text, item.text, ShownAsRead(item, held.value, held.bytes));
}
// Whether the tree shows what the network holds for an item. After a send it may not (a value
// refused or unanswered): the snapshot then gives the node the text the value held gives, as a
// read would, not the one the tree shows.
bool HeldAsShown(const ItemRow& item, const Held& held) {
    return held.known ? item.known && item.value == held.value : !item.known;
}
QString DerivedText(const ItemRow& item, const Held& held) {
    if (!held.known) return item.text;
    return ItemNodeText(item.text, ShownAsRead(item, held.value, held.bytes));
}

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

SendKind SentAs(const SendSummary& summary) {
    return summary.scope == SendScope::Changed ? SendKind::Changes : SendKind::All;
}

namespace {

// Node `n` of a run that starts at node `first`, as packed.
PackedNode PackedAt(const std::vector<TreeNode>& nodes, int n, int first) {
    const TreeNode& node = nodes[n];
    PackedNode packed{node.key,
                      -1,
                      {},
                      node.image,
                      static_cast<int>(node.kind) | (node.expanded ? kExpanded : 0),
                      node.owner};
    if (node.parent >= first) {
        packed.back = n - node.parent;
    } else if (node.parent >= 0) {
        packed.back = 0;
        packed.parent = nodes[node.parent].key;
    }
    return packed;
}

// What a pass over the model does with a part.
enum class Use { Skip, Hash, Keep };

SnapshotParts Encode(const ConfigModel& model, const std::vector<Held>& held,
                     const std::function<Use(std::size_t)>& use) {
    const auto& nodes = model.Nodes();
    const auto& items = model.Items();

    const KeyForm keyOf(nodes);
    const std::vector<Run> nodeRuns = RunsOf(nodes, Segment);
    const std::vector<Run> itemRuns = RunsOf(items, [](const ItemRow& r) { return r.owner; });

    const std::size_t runCount = nodeRuns.size() + itemRuns.size();
    SnapshotParts out;
    out.parts.resize(2 + 2 * runCount);
    out.hashes.resize(out.parts.size());
    out.sizes.resize(out.parts.size());
    // A part's bytes and hash where they are wanted.
    const auto put = [&](std::size_t p, Packer& packer) {
        out.sizes[p] = packer.Packed();
        QByteArray bytes = packer.Take(&out.hashes[p]);
        if (use(p) == Use::Keep) out.parts[p] = std::move(bytes);
    };
    const auto streamed = [&](std::size_t p) { return use(p) == Use::Hash; };

    Head top{kFormat, model.Scales(), model.ReadFailures(), {}, {}};
    for (const auto& [runs, counts] :
         {std::pair{&nodeRuns, &top.nodeRuns}, {&itemRuns, &top.itemRuns}})
        for (const Run& run : *runs) counts->push_back(run.count);
    Packer head;
    Visit(head, std::as_const(top));
    put(0, head);

    Packer menus(&keyOf);
    menus.Records(model.Menus());
    put(1, menus);

    // Room for what a run usually takes, so that a part is seldom copied as it grows. The texts
    // of a run are kept whole: there are few.
    const auto packNodes = [&](const Run& run, std::size_t p) {
        Packer shape(&keyOf, 48 * run.count, streamed(p)), texts;
        std::vector<OwnText> own;
        for (int n = run.first; n < run.first + run.count; ++n) {
            const TreeNode& node = nodes[n];
            const PackedNode packed = PackedAt(nodes, n, run.first);
            Visit(shape, packed);
            const int row = IsItemKind(node.kind) ? node.row : -1;
            if (row < 0 || (HeldAsShown(items[row], held[row]) &&
                            !IsDerivedText(node.text, items[row], held[row])))
                own.push_back({n - run.first, node.text});
        }
        texts.Records(own);
        put(p, shape);
        put(p + 1, texts);
    };
    const auto packItems = [&](const Run& run, std::size_t p) {
        Packer shape(&keyOf, 112 * run.count, streamed(p)),
            values(nullptr, 32 * run.count, streamed(p + 1));
        for (int row = run.first; row < run.first + run.count; ++row) {
            Visit(shape, items[row]);
            Visit(values, held[row]);
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

std::optional<Head> DecodeHead(const QByteArray& part) {
    Unpacker head(part);
    Head h;
    Visit(head, h);
    if (!head.Done() || h.format != kFormat) return std::nullopt;
    return h;
}

// An item with a node names an item node of the snapshot's, under its menu's node, that no item
// before it names; an item without one has no menu: what a read builds, and what every use of
// the model takes for granted.
bool InItsMenu(const ConfigModel& model, const ItemRow& item) {
    if (item.key.isEmpty()) return item.menuKey.isEmpty();
    const int node = model.FindNode(item.key);
    if (node < 0 || !IsItemKind(model.Node(node).kind)) return false;
    const int menu = model.Node(node).parent;
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
    std::vector<MenuRow> menuRows;
    menus.Records(menuRows);
    if (!menus.Done()) return false;
    for (const MenuRow& menu : menuRows) model.AppendMenu(menu);

    std::size_t part = 2;
    std::vector<std::optional<QString>> ownText;
    std::vector<QString> expand;
    for (const int count : head->nodeRuns) {
        Unpacker shape(parts[part++]), texts(parts[part++]);
        const std::size_t first = ownText.size();
        for (int n = 0; n < count; ++n) {
            PackedNode node;
            Visit(shape, node);
            const int index = static_cast<int>(model.Nodes().size());
            if (node.back > 0 && node.back <= index - static_cast<int>(first)) {
                node.parent = model.Node(index - node.back).key;
            } else if ((node.back == 0 && node.parent.isEmpty()) || node.back < -1) {
                return false;
            }
            const int kind = node.flags & ~kExpanded;
            if (!shape.ok() || node.back > index - static_cast<int>(first) || kind < 0 ||
                kind > static_cast<int>(NodeKind::ScaleItem) ||
                model.AddNode(node.parent, node.key, {}, node.image, static_cast<NodeKind>(kind),
                              node.owner) < 0)
                return false;
            if ((node.flags & kExpanded) != 0) expand.push_back(node.key);
        }
        ownText.resize(first + static_cast<std::size_t>(count));
        std::vector<OwnText> own;
        texts.Records(own);
        for (OwnText& o : own) {
            if (o.node < 0 || o.node >= count) return false;
            ownText[first + static_cast<std::size_t>(o.node)] = std::move(o.text);
        }
        if (!shape.Done() || !texts.Done()) return false;
    }

    std::vector<Held> held;
    for (const int count : head->itemRuns) {
        Unpacker shape(parts[part++]), values(parts[part++]);
        for (int n = 0; n < count; ++n) {
            ItemRow item;
            Held h;
            Visit(shape, item);
            Visit(values, h);
            if (!shape.ok() || !values.ok() || !InItsMenu(model, item)) return false;
            if (h.known) StoreAccepted(item, h.value, h.bytes);
            model.AppendItem(std::move(item));
            held.push_back(std::move(h));
        }
        if (!shape.Done() || !values.Done()) return false;
    }

    for (int row = 0; row < static_cast<int>(model.Items().size()); ++row) {
        const ItemRow& item = model.Items()[row];
        const int node = item.node;
        if (node >= 0 && !ownText[static_cast<std::size_t>(node)])
            ownText[static_cast<std::size_t>(node)] = DerivedText(item, held[row]);
    }
    for (std::size_t n = 0; n < ownText.size(); ++n)
        model.SetNodeText(static_cast<int>(n), ownText[n].value_or(QString()));
    for (const QString& key : expand) model.ExpandNode(key);
    model.SetReadFailures(std::move(head->failures));
    return true;
}

}  // namespace cfg
