#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/protocol/protocol.h"

namespace cfg {

// Items of this order and above are shown but never edited, loaded or sent.
constexpr int kFirstReadOnlyOrder = 100;

// What a node of the tree stands for.
enum class NodeKind {
    Root,
    ScalesBranch,
    SystemBranch,
    Scale,
    SystemMenu,
    ScaleMenu,
    SystemItem,
    ScaleItem,
};

constexpr bool IsMenuKind(NodeKind kind) {
    return kind == NodeKind::SystemMenu || kind == NodeKind::ScaleMenu;
}
constexpr bool IsItemKind(NodeKind kind) {
    return kind == NodeKind::SystemItem || kind == NodeKind::ScaleItem;
}

struct TreeNode {
    QString key;
    QString text;
    QString image;
    NodeKind kind = NodeKind::Root;
    int owner = 0;    // the scale number of a scale, scale menu or scale item; else 0
    int parent = -1;  // node index, -1 for the root
    std::vector<int> children;
    bool expanded = false;
    int row = -1;  // of a menu node its menu row, of an item node its item row; else -1
};

struct MenuRow {
    int owner = 0;  // 0 = the system, else the scale number
    int id = 0;
    QString text;
    QString key;
    int node = -1;  // set by the model: the menu node of `key`; -1 when none, or not the first row
};

struct ItemRow {
    int owner = 0;
    int id = 0;
    int type = 0;
    int order = 0;
    int length = 0;
    QString text;
    QString key;  // empty for an item read before any menu: it has no node
    QStringList options;
    QString value;
    QString menuKey;
    // The value came from the scales or from a file; an item whose value read failed has none.
    bool known = false;
    // What the scale held when the value was last read: `readValue` is what `value` was then,
    // and `readBytes` the bytes a string or date came in. A string still unchanged goes back to
    // the scale as those bytes, which the text cannot always stand for.
    bool readKnown = false;
    QString readValue;
    QByteArray readBytes;
    int node = -1;  // set by the model: the item node of `key`; -1 when none, or not the first row

    int optionCount() const { return static_cast<int>(options.size()); }
};

// Stores a value the scale sent for the item (its text as decoded, the bytes of a string or a
// date): the value becomes known, and what was read is kept to tell later changes from it.
void StoreRead(ItemRow& item, const QString& decoded, const QByteArray& bytes);
// The same for a value the scale accepted: `value` in the model's form, `bytes` as sent.
void StoreAccepted(ItemRow& item, const QString& value, const QByteArray& bytes);

// Whether the item's value differs from what the scale held when it was read: numbers and
// option indices compared as numbers, the rest as texts; an item unknown then and known now
// has changed. Items of order 100 and above never change.
bool Changed(const ItemRow& item);

// One item whose value differs between two states of it.
struct ValueChange {
    int owner = 0;
    int id = 0;
    QString text;
    QString before;
    QString after;
};
class ConfigModel;
// The items that changed since the read, in table order: the value read (empty when it was not
// read) and the value now. What a changes-only send takes.
std::vector<ValueChange> ChangedItems(const ConfigModel& model);
// `changes` of `model`'s items as a technician reads them: an enumeration's values as its
// option texts; the rest, and "?" or "-", as they are.
std::vector<ValueChange> WithOptionTexts(const ConfigModel& model,
                                         std::vector<ValueChange> changes);

// The bytes the scale sent for a string still unchanged since it was read, else nothing.
const QByteArray* UnchangedBytes(const ItemRow& item);

// What the network holds for one item row, as far as the tool knows.
struct Held {
    bool known = false;
    QString value;     // in the model's form
    QByteArray bytes;  // of a string or a date: what the scale holds
};
// Per item row: the value the scales held when they were last read or accepted a write.
std::vector<Held> HeldByNetwork(const ConfigModel& model);

// What the network read could not read, owner by owner: data of the read, for the front ends
// to report.
struct ReadFailure {
    enum Part {
        SystemValues,     // the system's values; no scale was read after it
        ScaleStructure,   // the scale's menus and items
        ScaleValues,      // the scale's values
        ScaleNotRead,     // not read: the system's values failed first
        ScaleNumberZero,  // the network reported a scale numbered 0, which would stand for the
                          // system: it is not read
    };
    int owner = 0;  // the scale number; 0 for the system and for a scale numbered 0
    Part part = SystemValues;
    friend bool operator==(const ReadFailure&, const ReadFailure&) = default;
};

// A date as the scales send it (six characters "ddmmyy") in the model's "dd/mm/yy" form; a
// text that is not six characters once trimmed stands for "010103".
QString DateValue(const QString& sent);

// The option an enumeration's value names: the value rounded to a whole number, when it is
// numeric and one of the options' indices.
std::optional<int> OptionIndex(const ItemRow& item);

// How an item's value is shown after its text and " = ": the option text of an enumeration
// ("(No seleccionable)" when it has no options); for a string or date still as read, the
// display conversion of its bytes; else the value itself. Nothing when an enumeration's value
// is not the index of one of its options.
std::optional<QString> ShownValue(const ItemRow& item);
// The text of an item's node: the item's text, " = " and what the value shows (nothing after
// " = " when it shows nothing). The one place that rule is written.
QString ItemNodeText(const QString& text, const std::optional<QString>& shown);
// Whether `node` is that text, told without making it: a snapshot asks it of every item.
bool IsItemNodeText(QStringView node, QStringView text, const std::optional<QString>& shown);
// The same for `value` held by the scale as read, a string or a date as `bytes`.
std::optional<QString> ShownAsRead(const ItemRow& item, const QString& value,
                                   const QByteArray& bytes);

// Told of every change of the tree, so that a view can mirror it without rebuilding.
class ModelObserver {
  public:
    virtual ~ModelObserver() = default;
    virtual void TreeCleared() {}
    virtual void NodeAdded(int node) { (void)node; }
    virtual void NodeTextChanged(int node) { (void)node; }
    virtual void NodeExpanded(int node) { (void)node; }
};

// Node keys, built from the scale number and a serial. A row stores its node's key, which is
// what a file, a snapshot and the window's selection name it by.
namespace keys {
inline const QString kRoot = QStringLiteral("Red");
inline const QString kScales = QStringLiteral("Balanza");
inline const QString kSystem = QStringLiteral("Sistema");
QString Scale(int number);                  // bal007
QString SystemMenu(int serial);             // ms0001
QString ScaleMenu(int number, int serial);  // mb0070001
QString SystemItem(int serial);             // s0001
QString ScaleItem(int number, int serial);  // b0070001
// The parts of a key exactly as SystemItem or ScaleItem build it; nothing for any other key, so
// that two keys never parse alike: a snapshot stores item keys as these numbers.
struct ItemSerial {
    bool scale = false;
    int number = 0;
    int serial = 0;
};
std::optional<ItemSerial> ParseItem(QStringView key);
// The key ParseItem takes apart, as Latin-1 bytes into `key`: their count. No string is made: a
// snapshot writes tens of thousands.
int ItemInto(const ItemSerial& parts, char (&key)[48]);
}  // namespace keys

// The whole configuration of a network: the tree shown to the user and the tables behind it.
// The first menu or item row of a key and the key's node of that kind hold each other's index,
// whichever came first; one index of keys leads to a key's node, its first menu and item rows,
// and the item rows under it as a menu key. Rows are found as a scan of the tables from the
// first row would find them.
class ConfigModel {
  public:
    // --- tree ---
    // Removes every node, row and scale; the item serials keep counting.
    void Clear();
    // Adds a node as the last child of `parentKey` (empty: a root): its index. -1, and nothing
    // added, when the key is already taken or the parent does not exist.
    int AddNode(const QString& parentKey, const QString& key, const QString& text,
                const QString& image, NodeKind kind, int owner = 0);
    int FindNode(const QString& key) const;  // -1 when absent
    const TreeNode& Node(int index) const { return nodes_[index]; }
    const std::vector<TreeNode>& Nodes() const { return nodes_; }
    QString NodeText(const QString& key) const;
    void SetNodeText(int node, const QString& text);  // nothing for a node < 0
    // The text of item row `row`'s node: the item's text, " = " and `shown`, by default
    // ShownValue (nothing after " = " when that has none).
    void SetItemNodeText(int row, const std::optional<QString>& shown = std::nullopt);
    void ExpandNode(const QString& key);

    // --- scale list ---
    std::vector<ScaleEntry>& Scales() { return scales_; }
    const std::vector<ScaleEntry>& Scales() const { return scales_; }

    // --- menu table ---
    void AppendMenu(MenuRow row);
    const std::vector<MenuRow>& Menus() const { return menus_; }
    int FindMenuByKey(const QString& key) const;  // first row, -1 when absent
    int FindMenu(int owner, int id) const;        // first row, -1 when absent

    // --- item table ---
    void AppendItem(ItemRow row);
    const std::vector<ItemRow>& Items() const { return items_; }
    // For values: a row's key, menu key, owner and ID are the indexes' and stay as appended.
    ItemRow& Item(int index) { return items_[index]; }
    int FindItem(int owner, int id) const;        // first row, -1 when absent
    int FindItemByKey(const QString& key) const;  // first row, -1 when absent
    // Rows whose menu key is `menuKey`, in table order.
    const std::vector<int>& ItemsOfMenu(const QString& menuKey) const;

    // What the last network read could not read; empty after a complete read.
    const std::vector<ReadFailure>& ReadFailures() const { return readFailures_; }
    void SetReadFailures(std::vector<ReadFailure> failures) { readFailures_ = std::move(failures); }

    // The item serials belong to the run, not to one reading: keys never repeat.
    int NextSystemItemSerial() { return ++systemItemSerial_; }
    int NextScaleItemSerial() { return ++scaleItemSerial_; }

    // Makes room for this many more nodes and item rows, so that the tables do not grow step
    // by step.
    void Reserve(std::size_t moreNodes, std::size_t moreItems);

    void AddObserver(ModelObserver* observer);
    void RemoveObserver(ModelObserver* observer);

  private:
    // What one key names. A node and a row of the same key are linked whichever came first.
    struct Keyed {
        int node = -1;
        int menu = -1;           // the first menu row
        int item = -1;           // the first item row
        std::vector<int> items;  // the item rows whose menu key this is
    };
    const Keyed* Find(const QString& key) const;

    std::vector<TreeNode> nodes_;
    std::vector<ScaleEntry> scales_;
    std::vector<MenuRow> menus_;
    std::vector<ItemRow> items_;
    QHash<QString, Keyed> byKey_;
    QHash<quint64, int> menuByOwnerId_;
    QHash<quint64, int> itemByOwnerId_;
    std::vector<ReadFailure> readFailures_;
    int systemItemSerial_ = 0;
    int scaleItemSerial_ = 0;
    // Observers watch one model object, not its value: a copy starts with none (else a copy's
    // changes would reach the original's view), and an assignment keeps the target's.
    struct Observers : std::vector<ModelObserver*> {
        Observers() = default;
        Observers(const Observers&) : std::vector<ModelObserver*>() {}
        Observers& operator=(const Observers&) { return *this; }
    };
    Observers observers_;
};

}  // namespace cfg
