#include "core/editing/clone.h"

#include <QHash>
#include <algorithm>

namespace cfg {

std::vector<ValueChange> CloneScale(ConfigModel& model, int from, const std::vector<int>& to) {
    // Each target's place in the scale list: the changes come back in that order.
    QHash<int, std::size_t> place;
    for (std::size_t i = 0; i < model.Scales().size(); ++i) {
        const int number = model.Scales()[i].number;
        if (number > 0 && std::find(to.begin(), to.end(), number) != to.end())
            place.insert(number, i);
    }

    for (int row = 0; from > 0 && row < static_cast<int>(model.Items().size()); ++row) {
        const ItemRow& source = model.Items()[row];
        if (source.owner != from || !source.known || source.order >= kFirstReadOnlyOrder) continue;
        for (auto it = place.cbegin(); it != place.cend(); ++it) {
            const int target = model.FindItem(it.key(), source.id);
            if (target < 0 || target == row || model.Items()[target].order >= kFirstReadOnlyOrder)
                continue;
            ItemRow& item = model.Item(target);
            item.value = source.value;
            item.known = true;
            if (!item.key.isEmpty()) model.SetItemNodeText(target);
        }
    }

    // The changes of the target scales, each scale's in table order.
    std::vector<ValueChange> changes = ChangedItems(model);
    std::erase_if(changes, [&](const ValueChange& c) { return !place.contains(c.owner); });
    std::stable_sort(changes.begin(), changes.end(),
                     [&](const ValueChange& a, const ValueChange& b) {
                         return place.value(a.owner) < place.value(b.owner);
                     });
    return changes;
}

}  // namespace cfg
