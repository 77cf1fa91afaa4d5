#pragma once

#include <vector>

#include "core/model/configmodel.h"

namespace cfg {

// The items whose values differ between `before` and `after`, in the table order of `after`,
// then those only `before` has, in its order; items are matched by owner and ID. Each `before`
// and `after` as the models hold them, "?" for a value not known, "-" for an item the model
// lacks.
std::vector<ValueChange> CompareValues(const ConfigModel& before, const ConfigModel& after);

// Puts every known value of `snapshot` into the editable row of the same owner and ID of
// `model`, as the scale held it (no file rule applies), and refreshes those rows' nodes. The
// rows that then differ from what the read found, each with its value read and its value now.
std::vector<ValueChange> RestoreValues(ConfigModel& model, const ConfigModel& snapshot);

}  // namespace cfg
