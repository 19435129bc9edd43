// A warning: something a payload holds that decodes, but that the phone would not show as meant.
#pragma once

#include <string>
#include <string_view>

#include "model/coding_error.hpp"

namespace corvlin::host {

struct Warning {
  enum class Kind {
    unknownKey,
    millisecondsInstant,
    instantFarFromNow,
    unknownKeyword,
    timerIncomplete,
    progressOutOfRange,
    actionsDropped,
    emptyLabel,
    alreadyEnded,
    overBudget,
  };

  Kind kind = Kind::unknownKey;
  CodingPath codingPath;
  std::string description;
  std::string hint;  // empty when there is none

  friend bool operator==(const Warning&, const Warning&) = default;
};

std::string_view kindName(Warning::Kind kind);

// The one-line form {"warning":{"kind":...,"codingPath":[...],"description":...,"hint":...}}.
std::string warningJson(const Warning& warning);

// The inner object alone, {"kind":...,"codingPath":[...],"description":...,"hint":...}.
std::string warningObjectJson(const Warning& warning);

}  // namespace corvlin::host
