#include "host/cli/diagnostics.hpp"

#include "model/json_writer.hpp"

namespace corvlin::host {
namespace {

// Closes the inner object of a one-member line, naming the activity first when there is one.
std::string closed(std::string line, std::optional<std::size_t> activity) {
  if (activity) line += ",\"activity\":" + std::to_string(*activity);
  return line + "}}";
}

}  // namespace

std::string_view kindName(ExtensionFailure::Kind kind) {
  using K = ExtensionFailure::Kind;
  switch (kind) {
    case K::cannotStart:
      return "cannotStart";
    case K::crashed:
      return "crashed";
    case K::exitedEarly:
      return "exitedEarly";
    case K::timedOut:
      return "timedOut";
    case K::malformedAnswer:
      return "malformedAnswer";
    case K::answerTooLarge:
      return "answerTooLarge";
  }
  return "unknown";
}

std::string errorLine(const DecodingError& error, std::optional<std::size_t> activity) {
  // The model writes the error line; the activity is one more member of its inner object.
  std::string line = errorJson(error);
  line.resize(line.size() - 2);  // the closing "}}"
  return closed(std::move(line), activity);
}

std::string extensionFailureLine(const ExtensionFailure& failure,
                                 std::optional<std::size_t> activity) {
  std::string line = "{\"extensionFailure\":{\"kind\":";
  json::appendString(line, kindName(failure.kind));
  line += ",\"description\":";
  json::appendString(line, failure.message);
  return closed(std::move(line), activity);
}

std::optional<std::string> budgetWarning(std::size_t bytes, std::optional<std::size_t> activity) {
  if (bytes <= activityDataBudgetBytes) return std::nullopt;
  // Prose for people, so the activity is counted from 1 as the text and the page count it.
  const std::string which = activity ? "activity " + std::to_string(*activity + 1) + ": " : "";
  return "corvlin-host: warning: " + which + "the coded content state is " + std::to_string(bytes) +
         " bytes, over the " + std::to_string(activityDataBudgetBytes) +
         "-byte budget for an activity's data; the phone would refuse this update";
}

}  // namespace corvlin::host
