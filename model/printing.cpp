// A readable form of the Clock, for test failures and diagnostics. (The records print their
// coded form; see coding.cpp.)
#include <ostream>
#include <string>
#include <type_traits>
#include <variant>

#include "json/writer.hpp"
#include "model/records.hpp"

namespace corvlin {

namespace {

std::string seconds(Instant instant) {
  std::string out;
  json::appendNumber(out, instant.timeIntervalSince1970);
  return out;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Clock& clock) {
  std::visit(
      [&out](const auto& state) {
        using State = std::decay_t<decltype(state)>;
        if constexpr (std::is_same_v<State, Clock::Running>) {
          out << "running(" << seconds(state.lower) << "..." << seconds(state.upper)
              << ", countsDown: " << (state.countsDown ? "true" : "false") << ')';
        } else if constexpr (std::is_same_v<State, Clock::Elapsed>) {
          out << "elapsed";
        } else {
          out << "hidden";
        }
      },
      clock.value);
  return out;
}

}  // namespace corvlin
