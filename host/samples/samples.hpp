// The payloads built into corvlin-host, used when no file is given.
#pragma once

#include <string_view>

namespace corvlin::host {

// A coded content state: an order on its way, with two actions (decode's default input).
std::string_view sampleContentState();

// A coded attributes record for the same order (decode --attributes' default input).
std::string_view sampleAttributes();

// The default activity, {"attributes","contentState","now"}: tone "warning", progress 0.4, a
// countdown that ends 90 seconds after "now", and two actions, the first requiring auth.
std::string_view defaultActivity();

}  // namespace corvlin::host
