// The accent colour of an activity, chosen by its tone word.
#pragma once

#include <optional>
#include <string>

#include "toolkit/view.hpp"

namespace corvlin {

inline constexpr ui::Color dangerColor{1.0, 0.3, 0.37, 1.0};
inline constexpr ui::Color warningColor{1.0, 0.62, 0.11, 1.0};
inline constexpr ui::Color positiveColor{0.13, 0.77, 0.37, 1.0};
inline constexpr ui::Color defaultAccentColor{0.18, 0.42, 1.0, 1.0};

// "danger", "warning" and "positive" match only as whole, case-sensitive, untrimmed strings;
// anything else, and absence, gives the default blue.
ui::Color toneColor(const std::optional<std::string>& tone);

}  // namespace corvlin
