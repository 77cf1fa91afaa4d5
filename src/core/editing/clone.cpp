#include "core/editing/clone.h"

#include <QHash>
#include <algorithm>
#include <iterator>

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

    std::vector<std::vector<ValueChange>> byScale(model.Scales().size());
    for (const ItemRow& item : model.Items()) {
        const auto it = place.constFind(item.owner);
        if (it != place.cend() && Changed(item))
            byScale[*it].push_back({item.owner, item.id, item.text, item.readValue, item.value});
    }
    std::vector<ValueChange> changes;
    for (std::vector<ValueChange>& scale : byScale)
        changes.insert(changes.end(), std::make_move_iterator(scale.begin()),
                       std::make_move_iterator(scale.end()));
    return changes;
}

}  // namespace cfg
