// How the extension process failed the host, as both sides and every writer name it.
#pragma once

#include <string>
#include <string_view>

namespace corvlin::protocol {

struct ExtensionFailure {
  enum class Kind { cannotStart, crashed, exitedEarly, timedOut, malformedAnswer, answerTooLarge };
  Kind kind = Kind::crashed;
  std::string message;  // says which, for people
};

// "cannotStart", "crashed", ...: the name each kind has in the JSON and text forms.
std::string_view kindName(ExtensionFailure::Kind kind);

}  // namespace corvlin::protocol
