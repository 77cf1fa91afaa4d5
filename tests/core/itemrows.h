#pragma once

#include <QStringList>

#include "core/model/configmodel.h"

namespace cfgtest {

// An item whose value is known (as if loaded from a file), named after its ID.
inline cfg::ItemRow Row(int owner, int id, int type, int length, int order, const QString& value,
                        const QString& menuKey = {}, const QStringList& options = {},
                        const QString& key = {}) {
    return {.owner = owner,
            .id = id,
            .type = type,
            .order = order,
            .length = length,
            .text = QString("Opcion %1").arg(id),
            .key = key,
            .options = options,
            .value = value,
            .menuKey = menuKey,
            .known = true,
            .readKnown = false,
            .readValue = {},
            .readBytes = {}};
}

}  // namespace cfgtest
