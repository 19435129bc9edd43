#include "host/cli/instant_option.hpp"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "host/checks/content_state_warnings.hpp"
#include "host/cli/option_values.hpp"
#include "json/number_format.hpp"

namespace corvlin::host::cli {
namespace {

std::string numberText(double value) {
  std::string out;
  json::appendNumber(out, value);
  return out;
}

int field(const std::ssub_match& match) { return std::atoi(match.str().c_str()); }

// An ISO 8601 instant: absent when `text` is not written as one at all.
std::optional<Result<double, std::string>> isoInstant(const std::string& name,
                                                      const std::string& text) {
  // date, time of day (seconds and their fraction optional), zone (optional here, to say so)
  static const std::regex form(
      R"(^(\d{4})-(\d{2})-(\d{2})[Tt ](\d{2}):(\d{2})(?::(\d{2})(\.\d+)?)?)"
      R"(([Zz]|([+-])(\d{2})(?::?(\d{2}))?)?$)");
  std::smatch m;
  if (!std::regex_match(text, m, form)) return std::nullopt;
  using Failed = Failure<std::string>;
  if (!m[8].matched) {
    return Failed{name + " needs a zone after an ISO 8601 time, as in 2026-01-01T09:00:00Z or " +
                  "2026-01-01T11:00:00+02:00, not '" + text + "'"};
  }
  namespace chrono = std::chrono;
  const chrono::year_month_day day{chrono::year{field(m[1])},
                                   chrono::month{static_cast<unsigned>(field(m[2]))},
                                   chrono::day{static_cast<unsigned>(field(m[3]))}};
  const int hours = field(m[4]), minutes = field(m[5]), seconds = m[6].matched ? field(m[6]) : 0;
  const int zoneHours = m[10].matched ? field(m[10]) : 0;
  const int zoneMinutes = m[11].matched ? field(m[11]) : 0;
  if (!day.ok() || hours > 23 || minutes > 59 || seconds > 59 || zoneHours > 23 ||
      zoneMinutes > 59) {
    return Failed{name + " needs a day of the calendar and a time of day (00:00:00 to " +
                  "23:59:59), not '" + text + "'"};
  }
  const double fraction = m[7].matched ? std::strtod(("0" + m[7].str()).c_str(), nullptr) : 0;
  const int zoneSign = m[9].str() == "-" ? -1 : 1;
  const auto days = chrono::sys_days(day).time_since_epoch().count();
  return static_cast<double>(days) * 86400 + hours * 3600 + minutes * 60 + seconds + fraction -
         zoneSign * (zoneHours * 3600 + zoneMinutes * 60);
}

}  // namespace

Result<double, std::string> readInstant(const std::string& name, const std::string& text) {
  if (auto iso = isoInstant(name, text)) return std::move(*iso);
  const auto seconds = jsonNumber(text);
  if (!seconds) {
    return Failure{name + " needs seconds since 1970 (a JSON number) or an ISO 8601 instant " +
                   "with a zone (2026-01-01T09:00:00Z), not '" + text + "'"};
  }
  // The threshold the warnings take an instant in milliseconds by.
  if (*seconds > millisecondsInstantThreshold) {
    const double year = std::floor(1970 + *seconds / (365.25 * 86400));
    return Failure{name + " " + text + " looks like milliseconds (as seconds since 1970 it " +
                   "falls in about the year " + numberText(year) + "); did you mean " + name + " " +
                   numberText(*seconds / 1000) + "?"};
  }
  return *seconds;
}

}  // namespace corvlin::host::cli
