#pragma once

#include <QString>
#include <set>
#include <vector>

#include "core/model/configmodel.h"

namespace cfg {

// What a clone copies of the source scale: every editable item, or only the items of the menus
// `menus` names (menu IDs) and those `items` names (item IDs); an item either names is copied.
struct CloneChoice {
    bool everything = true;
    std::set<int> menus;
    std::set<int> items;
};

// What of `choice` scale `from` cannot give, said in one line: a menu or an item it lacks, or a
// read-only item. Empty when it can give it all.
QString CloneChoiceFault(const ConfigModel& model, int from, const CloneChoice& choice);

// Gives each scale of `to` the known values of the chosen editable items of scale `from`, item by
// item of the same ID; an item a target lacks is passed over, and read-only rows are never
// touched. The rows of the `to` scales that then differ from what the read found, scale by scale
// in the order of the scale list, each in table order. Owner 0 is the system, never a scale.
std::vector<ValueChange> CloneScale(ConfigModel& model, int from, const std::vector<int>& to,
                                    const CloneChoice& choice = {});

}  // namespace cfg
