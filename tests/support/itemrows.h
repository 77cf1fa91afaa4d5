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

// Adds `row`, keyed "k<owner>_<id>", and its node under its menu's node if there is one.
inline void AddItem(cfg::ConfigModel& model, cfg::ItemRow row) {
    row.key = QString("k%1_%2").arg(row.owner).arg(row.id);
    const QString parent = model.FindNode(row.menuKey) >= 0 ? row.menuKey : QString();
    model.AddNode(parent, row.key, row.text, "valor", cfg::NodeKind::SystemItem, row.owner);
    model.AppendItem(row);
}

}  // namespace cfgtest
