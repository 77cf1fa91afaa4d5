#pragma once

#include <QStringList>

#include "core/model/configmodel.h"

namespace cfgtest {

// An item whose value is known (as if loaded from a file), named after its ID.
inline cfg::ItemRow Row(int owner, int id, int type, int length, int order, const QString& value,
                        const QString& menuKey = {}, const QStringList& options = {},
                        const QString& key = {}) {
    cfg::ItemRow row;
    row.owner = owner;
    row.id = id;
    row.type = type;
    row.order = order;
    row.length = length;
    row.text = QString("Opcion %1").arg(id);
    row.key = key;
    row.options = options;
    row.value = value;
    row.menuKey = menuKey;
    row.known = true;
    return row;
}

}  // namespace cfgtest
