#pragma once

#include <QStringList>

#include "core/model/configmodel.h"

namespace cfgtest {

// An item whose value is known (as if loaded from a file), named after its ID.
inline cfg::ItemRow Row(int owner, int id, int type, int length, int order, const QString& value,
                        const QString& menuKey = {}, const QStringList& options = {},
                        const QString& key = {}) {
    // In the order of ItemRow's fields; nothing read from a scale yet.
    return {owner,   id,   type,  order, length, QString("Opcion %1").arg(id), key, options, value,
            menuKey, true, false, {},    {}};
}

}  // namespace cfgtest
