#include "host/checks/unknown_keys.hpp"

#include <algorithm>
#include <string>

#include "json/near_key.hpp"
#include "json/writer.hpp"

namespace corvlin::host {

std::vector<Warning> unknownKeyWarnings(simdjson::dom::object object,
                                        std::span<const std::string_view> known,
                                        const CodingPath& at, std::string_view recordName) {
  std::vector<Warning> warnings;
  for (const auto field : object) {
    const std::string_view name = field.key;
    if (std::find(known.begin(), known.end(), name) != known.end()) continue;
    Warning warning;
    warning.kind = Warning::Kind::unknownKey;
    warning.codingPath = at;
    warning.codingPath.emplace_back(std::string(name));
    warning.description = "No " + std::string(recordName) + " reads the member ";
    json::appendString(warning.description, name);
    warning.description += "; it is ignored.";
    if (auto key = json::nearestKey(name, known)) {
      warning.hint = "did you mean ";
      json::appendString(warning.hint, *key);
      warning.hint += "?";
    }
    warnings.push_back(std::move(warning));
  }
  return warnings;
}

}  // namespace corvlin::host
