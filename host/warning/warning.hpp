// Warnings: what the phone would do that a payload probably did not mean. Data like the
// coder's errors (a kind, a coding path, a description) plus a hint; never a reason to refuse.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/error.hpp"

namespace corvlin::json {
class Writer;
}

namespace corvlin::host {

struct Warning {
  enum class Kind {
    unknownKey,            // a member that no record reads
    millisecondsInstant,   // an instant that looks like milliseconds since 1970
    instantFarFromNow,     // a timer instant more than a day from now, so the timer is clamped
    unknownKeyword,        // a tone or timer direction that is not one of the words read
    timerIncomplete,       // timer fields present, but the timer hidden for want of another
    progressOutOfRange,    // progress below 0 or above 1
    actionsDropped,        // actions that will not show
    emptyLabel,            // a button with no visible label
    alreadyEnded,          // a countdown already over at the render instant: no buttons
    overBudget,            // a content state over the platform's budget for an activity's data
    dismissalDateNotEnd,   // a dismissal date on an event that does not end the activity
    staleOnArrival,        // a stale-date already past when the push is sent or arrives
    clipped,               // a presentation's content larger than the frame the phone gives it
    missingProviderToken,  // a push without a provider token, which the push service refuses
    truncated,             // a text given fewer lines than it needs, cut with "…"
    missingGlyph,          // a text with characters that no font draws
    http1Push,             // a push over HTTP/1.1, which the push service does not speak
  };

  Warning() = default;
  Warning(Kind kind_, CodingPath path, std::string description_, std::string hint_ = {},
          std::string presentation_ = {})
      : kind(kind_),
        codingPath(std::move(path)),
        description(std::move(description_)),
        hint(std::move(hint_)),
        presentation(std::move(presentation_)) {}

  Kind kind = Kind::unknownKey;
  CodingPath codingPath;
  std::string description;
  std::string hint;  // empty when there is nothing to suggest
  // The presentation a layout warning is about ("lockScreen"); empty for the others. Written
  // after the coding path.
  std::string presentation;
  // A truncated text's lines shown and the lines it needs; written after the presentation.
  std::optional<std::size_t> shownLines;
  std::optional<std::size_t> lines;

  friend bool operator==(const Warning&, const Warning&) = default;
};

std::string_view kindName(Warning::Kind kind);

// The one-line form {"warning":{"kind":...,"codingPath":[...],"description":...,"hint":...}};
// "hint" is left out when empty. Every warning written anywhere has this form.
std::string warningJson(const Warning& warning);
void writeWarning(json::Writer& writer, const Warning& warning);
// The members inside "warning", into the object being written, for a form that adds its own.
void writeWarningMembers(json::Writer& writer, const Warning& warning);

// "unknownKey at aps.tone: ... (did you mean ...?)": a warning for people.
std::string warningText(const Warning& warning);

// A list of warnings as a JSON array of their one-line forms.
std::string warningsJson(const std::vector<Warning>& warnings);
void writeWarnings(json::Writer& writer, const std::vector<Warning>& warnings);

}  // namespace corvlin::host
