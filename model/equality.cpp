// Equality of the records: strings under canonical equivalence, doubles as IEEE 754
// numbers, optionals absent-equals-absent, lists element by element; first difference ends it.
#include <optional>
#include <string>
#include <vector>

#include "model/records.hpp"
#include "model/unicode.hpp"

namespace corvlin {

namespace {

bool same(const std::string& a, const std::string& b) {
  return unicode::canonicallyEquivalent(a, b);
}
bool same(double a, double b) { return a == b; }  // +0 == -0; NaN equals nothing
bool same(bool a, bool b) { return a == b; }
bool same(const std::vector<ActionSpec>& a, const std::vector<ActionSpec>& b);

template <class T>
bool same(const std::optional<T>& a, const std::optional<T>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || same(*a, *b);
}

}  // namespace

bool operator==(const ActionSpec& a, const ActionSpec& b) {
  return same(a.actionId, b.actionId) && same(a.label, b.label) &&
         same(a.requiresAuth, b.requiresAuth);
}

namespace {

bool same(const std::vector<ActionSpec>& a, const std::vector<ActionSpec>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace

bool operator==(const ContentState& a, const ContentState& b) {
  return same(a.title, b.title) && same(a.body, b.body) && same(a.detail, b.detail) &&
         same(a.tone, b.tone) && same(a.progress, b.progress) && same(a.timerStart, b.timerStart) &&
         same(a.timerEnd, b.timerEnd) && same(a.timerDirection, b.timerDirection) &&
         same(a.actions, b.actions);
}

}  // namespace corvlin
