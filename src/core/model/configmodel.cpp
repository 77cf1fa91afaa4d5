#include "core/model/configmodel.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "core/common/basic.h"
#include "core/protocol/tools.h"

namespace cfg {

namespace keys {

namespace {
// The prefix, then each number in decimal left-padded with "0" to its width (never cut), into
// `key`, which has room for 48: the end.
char* WriteKey(char* key, std::string_view prefix, int first, int firstWidth, int second = 0,
               int secondWidth = 0) {
    char* end = std::copy(prefix.begin(), prefix.end(), key);
    for (const auto& [value, width] : {std::pair{first, firstWidth}, {second, secondWidth}}) {
        if (width == 0) break;
        char digits[16];
        const char* last = std::to_chars(digits, digits + sizeof digits, value).ptr;
        for (auto n = last - digits; n < width; ++n) *end++ = '0';
        end = std::copy(static_cast<const char*>(digits), last, end);
    }
    return end;
}
template <typename... Numbers>
QString MakeKey(std::string_view prefix, Numbers... numbers) {
    char key[48];
    return QString::fromLatin1(key, WriteKey(key, prefix, numbers...) - key);
}
}  // namespace

QString Scale(int number) {
    return MakeKey("bal", number, 3);
}
QString SystemMenu(int serial) {
    return MakeKey("ms", serial, 4);
}
QString ScaleMenu(int number, int serial) {
    return MakeKey("mb", number, 3, serial, 4);
}
QString SystemItem(int serial) {
    return MakeKey("s", serial, 4);
}
QString ScaleItem(int number, int serial) {
    return MakeKey("b", number, 3, serial, 4);
}

namespace {
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

std::optional<ItemSerial> ParseItem(QStringView key) {
    ItemSerial parsed;
    qsizetype start = 1;
    if (key.startsWith(u'b') && key.size() > 4) {
        parsed.scale = true;
        start = 4;
        for (qsizetype i = 1; i < start; ++i) {
            if (!IsDigit(key[i])) return std::nullopt;
            parsed.number = parsed.number * 10 + (key[i].unicode() - u'0');
        }
    } else if (!key.startsWith(u's')) {
        return std::nullopt;
    }
    // Four digits at least, and a leading zero only as padding to four.
    const qsizetype digits = key.size() - start;
    if (digits < 4 || digits > 9 || (digits > 4 && key[start] == u'0')) return std::nullopt;
    for (qsizetype i = start; i < key.size(); ++i) {
        if (!IsDigit(key[i])) return std::nullopt;
        parsed.serial = parsed.serial * 10 + (key[i].unicode() - u'0');
    }
    return parsed;
}

int ItemInto(const ItemSerial& parts, char (&key)[48]) {
    const char* end = parts.scale ? WriteKey(key, "b", parts.number, 3, parts.serial, 4)
                                  : WriteKey(key, "s", parts.serial, 4);
    return static_cast<int>(end - key);
}

}  // namespace keys

QString DateValue(const QString& sent) {
    QString text = TrimSpaces(sent);
    if (text.size() != 6) text = QStringLiteral("010103");
    return text.left(2) + u'/' + text.mid(2, 2) + u'/' + text.mid(4, 2);
}

namespace {
std::optional<int> OptionIndexOf(const QString& value, int optionCount) {
    if (!IsNumeric(value)) return std::nullopt;
    const int index = ToWholeNumber(LeadingNumber(value));
    if (index < 0 || index >= optionCount) return std::nullopt;
    return index;
}

bool AsRead(const ItemRow& item) {
    return item.readKnown && item.known && item.value == item.readValue;
}
}  // namespace

std::optional<int> OptionIndex(const ItemRow& item) {
    return OptionIndexOf(item.value, item.optionCount());
}

std::optional<QString> ShownValue(const ItemRow& item) {
    if ((item.type == kString || item.type == kDate) && !AsRead(item)) return item.value;
    return ShownAsRead(item, item.value, item.readBytes);
}

std::optional<QString> ShownAsRead(const ItemRow& item, const QString& value,
                                   const QByteArray& bytes) {
    if (item.type == kString || item.type == kDate) {
        const QString shown = Convierte_Texto(bytes);
        return item.type == kDate ? DateValue(shown) : shown;
    }
    if (item.type != kEnumeration) return value;
    if (item.options.isEmpty()) return QStringLiteral("(No seleccionable)");
    const std::optional<int> index = OptionIndexOf(value, item.optionCount());
    if (!index) return std::nullopt;
    return item.options[*index];
}

void StoreRead(ItemRow& item, const QString& decoded, const QByteArray& bytes) {
    StoreAccepted(item, item.type == kDate ? DateValue(decoded) : decoded, bytes);
}

void StoreAccepted(ItemRow& item, const QString& value, const QByteArray& bytes) {
    item.value = value;
    item.known = true;
    item.readKnown = true;
    item.readValue = value;
    item.readBytes = item.type == kString || item.type == kDate ? bytes : QByteArray();
}

bool Changed(const ItemRow& item) {
    if (item.order >= kFirstReadOnlyOrder || !item.known) return false;
    if (!item.readKnown) return true;
    if ((item.type == kNumber || item.type == kEnumeration) && IsNumeric(item.value) &&
        IsNumeric(item.readValue))
        return LeadingNumber(item.value) != LeadingNumber(item.readValue);
    return item.value != item.readValue;
}

std::vector<ValueChange> ChangedItems(const ConfigModel& model) {
    std::vector<ValueChange> changes;
    for (const ItemRow& item : model.Items())
        if (Changed(item))
            changes.push_back({item.owner, item.id, item.text, item.readValue, item.value});
    return changes;
}

std::vector<ValueChange> WithOptionTexts(const ConfigModel& model,
                                         std::vector<ValueChange> changes) {
    for (ValueChange& c : changes) {
        const int row = model.FindItem(c.owner, c.id);
        if (row < 0 || model.Items()[row].type != kEnumeration) continue;
        const ItemRow& item = model.Items()[row];
        for (QString* value : {&c.before, &c.after})
            if (*value != u"?" && *value != u"-")
                *value = ShownAsRead(item, *value, {}).value_or(*value);
    }
    return changes;
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

const QByteArray* UnchangedBytes(const ItemRow& item) {
    return item.type == kString && AsRead(item) ? &item.readBytes : nullptr;
}

namespace {
quint64 OwnerId(int owner, int id) {
    return (static_cast<quint64>(static_cast<quint32>(owner)) << 32) | static_cast<quint32>(id);
}
const std::vector<int> kNoRows;

// Keeps the first row of each key: the answer a scan from the first row would give.
void KeepFirst(QHash<quint64, int>& index, quint64 key, int row) {
    if (!index.contains(key)) index.insert(key, row);
}
}  // namespace

void ConfigModel::Clear() {
    nodes_.clear();
    scales_.clear();
    menus_.clear();
    items_.clear();
    byKey_.clear();
    menuByOwnerId_.clear();
    itemByOwnerId_.clear();
    readFailures_.clear();
    for (ModelObserver* o : observers_) o->TreeCleared();
}

const ConfigModel::Keyed* ConfigModel::Find(const QString& key) const {
    const auto it = byKey_.constFind(key);
    return it == byKey_.cend() ? nullptr : &*it;
}

int ConfigModel::AddNode(const QString& parentKey, const QString& key, const QString& text,
                         const QString& image, NodeKind kind, int owner) {
    int parent = -1;
    if (!parentKey.isEmpty()) {
        parent = FindNode(parentKey);
        if (parent < 0) return -1;
    }
    Keyed& keyed = byKey_[key];
    if (keyed.node >= 0) return -1;
    const int index = static_cast<int>(nodes_.size());
    keyed.node = index;
    // The first row of the key, when it came before its node.
    const int row = IsMenuKind(kind) ? keyed.menu : IsItemKind(kind) ? keyed.item : -1;
    if (row >= 0) (IsMenuKind(kind) ? menus_[row].node : items_[row].node) = index;
    nodes_.push_back({key, text, image, kind, owner, parent, {}, false, row});
    if (parent >= 0) nodes_[parent].children.push_back(index);
    for (ModelObserver* o : observers_) o->NodeAdded(index);
    return index;
}

int ConfigModel::FindNode(const QString& key) const {
    const Keyed* keyed = Find(key);
    return keyed ? keyed->node : -1;
}

QString ConfigModel::NodeText(const QString& key) const {
    const int node = FindNode(key);
    return node < 0 ? QString() : nodes_[node].text;
}

namespace {
constexpr QStringView kShownAfter = u" = ";
QStringView ShownPart(const std::optional<QString>& shown) {
    return shown ? QStringView(*shown) : QStringView();
}
}  // namespace

QString ItemNodeText(const QString& text, const std::optional<QString>& shown) {
    const QStringView value = ShownPart(shown);
    QString node;
    node.reserve(text.size() + kShownAfter.size() + value.size());
    node.append(text).append(kShownAfter).append(value);
    return node;
}

bool IsItemNodeText(QStringView node, QStringView text, const std::optional<QString>& shown) {
    const QStringView value = ShownPart(shown);
    return node.size() == text.size() + kShownAfter.size() + value.size() &&
           node.startsWith(text) && node.sliced(text.size(), kShownAfter.size()) == kShownAfter &&
           node.endsWith(value);
}

void ConfigModel::SetNodeText(int node, const QString& text) {
    if (node < 0) return;
    nodes_[node].text = text;
    for (ModelObserver* o : observers_) o->NodeTextChanged(node);
}

void ConfigModel::SetItemNodeText(int row, const std::optional<QString>& shown) {
    const ItemRow& item = items_[row];
    SetNodeText(item.node, ItemNodeText(item.text, shown ? shown : ShownValue(item)));
}

void ConfigModel::ExpandNode(const QString& key) {
    const int node = FindNode(key);
    if (node < 0) return;
    nodes_[node].expanded = true;
    for (ModelObserver* o : observers_) o->NodeExpanded(node);
}

void ConfigModel::AppendMenu(MenuRow row) {
    const int index = static_cast<int>(menus_.size());
    if (Keyed& keyed = byKey_[row.key]; keyed.menu < 0) {
        keyed.menu = index;
        if (keyed.node >= 0 && IsMenuKind(nodes_[keyed.node].kind)) {
            row.node = keyed.node;
            nodes_[keyed.node].row = index;
        }
    }
    KeepFirst(menuByOwnerId_, OwnerId(row.owner, row.id), index);
    menus_.push_back(std::move(row));
}

int ConfigModel::FindMenu(int owner, int id) const {
    return menuByOwnerId_.value(OwnerId(owner, id), -1);
}

int ConfigModel::FindMenuByKey(const QString& key) const {
    const Keyed* keyed = Find(key);
    return keyed ? keyed->menu : -1;
}

void ConfigModel::AppendItem(ItemRow row) {
    const int index = static_cast<int>(items_.size());
    // An item before any menu has neither a key nor a node.
    if (!row.key.isEmpty()) {
        if (Keyed& keyed = byKey_[row.key]; keyed.item < 0) {
            keyed.item = index;
            if (keyed.node >= 0 && IsItemKind(nodes_[keyed.node].kind)) {
                row.node = keyed.node;
                nodes_[keyed.node].row = index;
            }
        }
    }
    byKey_[row.menuKey].items.push_back(index);
    KeepFirst(itemByOwnerId_, OwnerId(row.owner, row.id), index);
    items_.push_back(std::move(row));
}

int ConfigModel::FindItem(int owner, int id) const {
    return itemByOwnerId_.value(OwnerId(owner, id), -1);
}

int ConfigModel::FindItemByKey(const QString& key) const {
    const Keyed* keyed = Find(key);
    return keyed ? keyed->item : -1;
}

const std::vector<int>& ConfigModel::ItemsOfMenu(const QString& menuKey) const {
    const Keyed* keyed = Find(menuKey);
    return keyed ? keyed->items : kNoRows;
}

void ConfigModel::Reserve(std::size_t moreNodes, std::size_t moreItems) {
    nodes_.reserve(nodes_.size() + moreNodes);
    items_.reserve(items_.size() + moreItems);
    byKey_.reserve(static_cast<qsizetype>(nodes_.size() + moreNodes));
    itemByOwnerId_.reserve(static_cast<qsizetype>(items_.size() + moreItems));
}

void ConfigModel::AddObserver(ModelObserver* observer) {
    observers_.push_back(observer);
}

void ConfigModel::RemoveObserver(ModelObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace cfg
