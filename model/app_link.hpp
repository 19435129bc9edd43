// The containing app's links.
#pragma once

#include <string_view>

namespace corvlin {

// The containing app's URL scheme, as a link's start: the deep links of the activity's buttons
// open the app, and no other link is followed.
inline constexpr std::string_view appLinkPrefix = "corvlin://";

}  // namespace corvlin
