// Members that no record reads, with a hint at the key that was probably meant.
#pragma once

#include <simdjson.h>

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "host/warning/warning.hpp"
#include "json/near_key.hpp"
#include "model/coding_keys.hpp"

namespace corvlin::host {

// The known key a member name most likely misspells (json/near_key.hpp).
using json::nearestKey;

// An unknownKey warning for each member of `object` whose name is not in `known`, in document
// order; each path is `at` followed by the member's name.
std::vector<Warning> unknownKeyWarnings(simdjson::dom::object object,
                                        std::span<const std::string_view> known,
                                        const CodingPath& at, std::string_view recordName);

template <CodingKey Key>
std::vector<Warning> unknownKeyWarnings(simdjson::dom::object object, const CodingPath& at,
                                        std::string_view recordName) {
  return unknownKeyWarnings(object, json::CodingKeyStrings<Key>::values, at, recordName);
}

}  // namespace corvlin::host
