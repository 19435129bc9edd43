#include "protocol/extension_failure.hpp"

#include <array>
#include <cstddef>

namespace corvlin::protocol {
namespace {

// Each kind's name, by its position in the enumeration.
constexpr std::array<std::string_view, 6> kindNames{
    "cannotStart", "crashed", "exitedEarly", "timedOut", "malformedAnswer", "answerTooLarge"};

}  // namespace

std::string_view kindName(ExtensionFailure::Kind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < kindNames.size() ? kindNames[index] : "unknown";
}

}  // namespace corvlin::protocol
