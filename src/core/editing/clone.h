#pragma once

#include <vector>

#include "core/model/configmodel.h"

namespace cfg {

// Gives each scale of `to` the known values of the editable items of scale `from`, item by item
// of the same ID; an item a target lacks is passed over, and read-only rows are never touched.
// The rows of the `to` scales that then differ from what the read found, scale by scale in the
// order of the scale list, each in table order. Owner 0 is the system, never a scale.
std::vector<ValueChange> CloneScale(ConfigModel& model, int from, const std::vector<int>& to);

}  // namespace cfg
