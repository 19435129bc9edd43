#include "host/warning/warning.hpp"

#include "json/names.hpp"
#include "json/writer.hpp"

template <>
struct corvlin::json::EnumNames<corvlin::host::Warning::Kind> {
  static constexpr std::array<std::string_view, 17> values{
      "unknownKey",      "millisecondsInstant",  "instantFarFromNow",   "unknownKeyword",
      "timerIncomplete", "progressOutOfRange",   "actionsDropped",      "emptyLabel",
      "alreadyEnded",    "overBudget",           "dismissalDateNotEnd", "staleOnArrival",
      "clipped",         "missingProviderToken", "truncated",           "missingGlyph",
      "http1Push"};
};

namespace corvlin::host {

static_assert(json::namesEvery(Warning::Kind::http1Push));

std::string_view kindName(Warning::Kind kind) { return json::nameOf(kind, "unknown"); }

void writeWarning(json::Writer& writer, const Warning& warning) {
  writer.beginObject();
  writer.key("warning");
  writer.beginObject();
  writeWarningMembers(writer, warning);
  writer.endObject();
  writer.endObject();
}

void writeWarningMembers(json::Writer& writer, const Warning& warning) {
  writer.key("kind");
  writer.string(kindName(warning.kind));
  writer.key("codingPath");
  json::writeCodingPath(writer, warning.codingPath);
  if (!warning.presentation.empty()) {
    writer.key("presentation");
    writer.string(warning.presentation);
  }
  if (warning.shownLines) {
    writer.key("shownLines");
    writer.number(static_cast<double>(*warning.shownLines));
  }
  if (warning.lines) {
    writer.key("lines");
    writer.number(static_cast<double>(*warning.lines));
  }
  writer.key("description");
  writer.string(warning.description);
  if (!warning.hint.empty()) {
    writer.key("hint");
    writer.string(warning.hint);
  }
}

void writeWarnings(json::Writer& writer, const std::vector<Warning>& warnings) {
  writer.beginArray();
  for (const Warning& warning : warnings) writeWarning(writer, warning);
  writer.endArray();
}

std::string warningJson(const Warning& warning) {
  json::Writer writer;
  writeWarning(writer, warning);
  return writer.take();
}

std::string warningText(const Warning& warning) {
  std::string out = std::string(kindName(warning.kind)) + " at " +
                    describePath(warning.codingPath) + ": " + warning.description;
  if (!warning.hint.empty()) out += " (" + warning.hint + ")";
  return out;
}

std::string warningsJson(const std::vector<Warning>& warnings) {
  json::Writer writer;
  writeWarnings(writer, warnings);
  return writer.take();
}

}  // namespace corvlin::host
