// The key a misspelt member name most likely meant: one measure of "near" for every hint that
// names a key (the unknownKey warnings, the keyNotFound errors, the command line's suggestions).
#pragma once

#include <simdjson.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvlin::json {

// The known key that `name` most likely misspells: one that matches ignoring ASCII case, else
// the nearest within two edits (insertions, deletions, substitutions, swaps of neighbours,
// ignoring case) that leaves at least one character of `name` unchanged; the first in `known`
// on a tie. Absent when none is that near.
std::optional<std::string_view> nearestKey(std::string_view name,
                                           std::span<const std::string_view> known);

// The hint of a keyNotFound error for `key` in an object that holds `found`, a member no key
// reads whose nearest key (above) is `key`: "found \"action_id\"; the key is \"actionId\"" when
// the two differ only in case, '-' and '_', else "found \"titel\"; did you mean \"title\"?".
std::string misspeltKeyHint(std::string_view found, std::string_view key);

// The first member of `object` (in document order) that no key of `known` reads and whose
// nearest key is `key`: what was probably written for a `key` that is missing.
std::optional<std::string_view> misspeltMember(simdjson::dom::object object, std::string_view key,
                                               std::span<const std::string_view> known);

}  // namespace corvlin::json
