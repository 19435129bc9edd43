#include "host/cli/diagnostics.hpp"

#include "model/json/writer.hpp"

namespace corvlin::host {
namespace {

// Names the activity, counted from 0 like a coding path, as the last member of the line.
void writeActivity(json::Writer& writer, std::optional<std::size_t> activity) {
  if (!activity) return;
  writer.key("activity");
  writer.number(static_cast<double>(*activity));
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
  json::Writer writer;
  writer.beginObject();
  writer.key("error");
  writer.beginObject();
  json::writeErrorMembers(writer, error);
  writeActivity(writer, activity);
  writer.endObject();
  writer.endObject();
  return writer.take();
}

std::string extensionFailureLine(const ExtensionFailure& failure,
                                 std::optional<std::size_t> activity) {
  json::Writer writer;
  writer.beginObject();
  writer.key("extensionFailure");
  writer.beginObject();
  writer.key("kind");
  writer.string(kindName(failure.kind));
  writer.key("description");
  writer.string(failure.message);
  writeActivity(writer, activity);
  writer.endObject();
  writer.endObject();
  return writer.take();
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
