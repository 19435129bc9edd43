// A whole timeline through the update rules: every record in order, then time until the end.
#pragma once

#include <variant>
#include <vector>

#include "updates/update_rules.hpp"

namespace corvlin::updates {

using Record = std::variant<Arrival, Rejection>;

// The steps of the activity's whole life: one per record, plus every time step, running on
// after the last record until the activity is dismissed. The clock starts at the first
// instant any record gives, so that a broken first record is shown where the timeline begins.
std::vector<Step> replay(const std::vector<Record>& records);

}  // namespace corvlin::updates
