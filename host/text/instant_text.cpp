#include "host/text/instant_text.hpp"

#include <cmath>
#include <ctime>

#include "json/number_format.hpp"

namespace corvlin::host {

std::string utcText(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13) {
    std::string out;
    json::appendNumber(out, seconds);
    return out + " s";
  }
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  char buffer[64];
  if (!gmtime_r(&whole, &parts) ||
      std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0) {
    return std::to_string(whole) + " s";
  }
  return buffer;
}

}  // namespace corvlin::host
