#include "views/palette.hpp"

namespace corvlin {

ui::Color toneColor(const std::optional<std::string>& tone) {
  if (!tone) return defaultAccentColor;
  if (*tone == "danger") return dangerColor;
  if (*tone == "warning") return warningColor;
  if (*tone == "positive") return positiveColor;
  return defaultAccentColor;
}

}  // namespace corvlin
