#include "core/editing/clone.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace cfg {

namespace {

// The keys of the menus of scale `from` that `choice` names.
QSet<QString> ChosenMenuKeys(const ConfigModel& model, int from, const CloneChoice& choice) {
    QSet<QString> keys;
    for (const MenuRow& menu : model.Menus())
        if (menu.owner == from && choice.menus.contains(menu.id)) keys.insert(menu.key);
    return keys;
}

}  // namespace

QString CloneChoiceFault(const ConfigModel& model, int from, const CloneChoice& choice) {
    for (int id : choice.menus)
        if (model.FindMenu(from, id) < 0)
            return QStringLiteral("La balanza %1 no tiene el menú %2").arg(from).arg(id);
    for (int id : choice.items) {
        const int row = model.FindItem(from, id);
        if (row < 0) return QStringLiteral("La balanza %1 no tiene el item %2").arg(from).arg(id);
        if (model.Items()[row].order >= kFirstReadOnlyOrder)
            return QStringLiteral("El item %1 de la balanza %2 es de solo lectura")
                .arg(id)
                .arg(from);
    }
    return {};
}

std::vector<ValueChange> CloneScale(ConfigModel& model, int from, const std::vector<int>& to,
                                    const CloneChoice& choice) {
    // Each target's place in the scale list: the changes come back in that order.
    QHash<int, std::size_t> place;
    for (std::size_t i = 0; i < model.Scales().size(); ++i) {
        const int number = model.Scales()[i].number;
        if (number > 0 && std::find(to.begin(), to.end(), number) != to.end())
            place.insert(number, i);
    }

    const QSet<QString> menuKeys = ChosenMenuKeys(model, from, choice);
    for (int row = 0; from > 0 && row < static_cast<int>(model.Items().size()); ++row) {
        const ItemRow& source = model.Items()[row];
        if (source.owner != from || !source.known || source.order >= kFirstReadOnlyOrder) continue;
        if (!choice.everything && !choice.items.contains(source.id) &&
            !menuKeys.contains(source.menuKey))
            continue;
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
