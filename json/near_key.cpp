#include "json/near_key.hpp"

#include <algorithm>
#include <vector>

#include "json/string_format.hpp"

namespace corvlin::json {
namespace {

char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Edits between `a` and `b` ignoring ASCII case, counting a swap of neighbours as one; stops
// early once every path is past `limit` (the answer is then limit + 1).
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit) {
  const std::size_t longer = std::max(a.size(), b.size());
  const std::size_t shorter = std::min(a.size(), b.size());
  if (longer - shorter > limit) return limit + 1;
  // Three rows of the table: two rows back (for swaps), the previous one, the current one.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    std::size_t rowBest = current[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = folded(a[i - 1]) == folded(b[j - 1]);
      std::size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + !same});
      if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
          folded(a[i - 2]) == folded(b[j - 1])) {
        d = std::min(d, before[j - 2] + 1);
      }
      current[j] = d;
      rowBest = std::min(rowBest, d);
    }
    if (rowBest > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[b.size()], limit + 1);
}

// Lower case, without '-' and '_': the spelling a key keeps across naming conventions.
std::string squeezed(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c != '-' && c != '_') out += folded(c);
  }
  return out;
}

}  // namespace

std::optional<std::string_view> nearestKey(std::string_view name,
                                           std::span<const std::string_view> known) {
  constexpr std::size_t maxEdits = 2;
  std::optional<std::string_view> best;
  std::size_t bestDistance = maxEdits + 1;
  for (std::string_view key : known) {
    const std::size_t d = editDistance(name, key, maxEdits);
    // A short name is "near" everything of its length; it must keep something of its own.
    if (d < bestDistance && (d == 0 || d < name.size())) {
      best = key;
      bestDistance = d;
    }
  }
  return best;
}

std::string misspeltKeyHint(std::string_view found, std::string_view key) {
  std::string hint = "found ";
  appendString(hint, found);
  if (squeezed(found) == squeezed(key)) {
    hint += "; the key is ";
    appendString(hint, key);
  } else {
    hint += "; did you mean ";
    appendString(hint, key);
    hint += '?';
  }
  return hint;
}

std::optional<std::string_view> misspeltMember(simdjson::dom::object object, std::string_view key,
                                               std::span<const std::string_view> known) {
  for (const auto field : object) {
    const std::string_view name = field.key;
    if (std::find(known.begin(), known.end(), name) != known.end()) continue;
    if (nearestKey(name, known) == key) return name;
  }
  return std::nullopt;
}

}  // namespace corvlin::json
