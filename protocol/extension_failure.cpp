#include "protocol/extension_failure.hpp"

#include <array>

#include "json/names.hpp"

template <>
struct corvlin::json::EnumNames<corvlin::protocol::ExtensionFailure::Kind> {
  static constexpr std::array<std::string_view, 6> values{
      "cannotStart", "crashed", "exitedEarly", "timedOut", "malformedAnswer", "answerTooLarge"};
};

namespace corvlin::protocol {

static_assert(json::namesEvery(ExtensionFailure::Kind::answerTooLarge));

std::string_view kindName(ExtensionFailure::Kind kind) { return json::nameOf(kind, "unknown"); }

}  // namespace corvlin::protocol
