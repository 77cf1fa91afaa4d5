#include "core/history/compare.h"

namespace cfg {

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
