#include "host/checks/warning.hpp"

#include "json/writer.hpp"

namespace corvlin::host {

std::string_view kindName(Warning::Kind kind) {
  using K = Warning::Kind;
  switch (kind) {
    case K::unknownKey:
      return "unknownKey";
    case K::millisecondsInstant:
      return "millisecondsInstant";
    case K::instantFarFromNow:
      return "instantFarFromNow";
    case K::unknownKeyword:
      return "unknownKeyword";
    case K::timerIncomplete:
      return "timerIncomplete";
    case K::progressOutOfRange:
      return "progressOutOfRange";
    case K::actionsDropped:
      return "actionsDropped";
    case K::emptyLabel:
      return "emptyLabel";
    case K::alreadyEnded:
      return "alreadyEnded";
    case K::overBudget:
      return "overBudget";
    case K::dismissalDateNotEnd:
      return "dismissalDateNotEnd";
    case K::clipped:
      return "clipped";
  }
  return "unknown";
}

void writeWarning(json::Writer& writer, const Warning& warning) {
  writer.beginObject();
  writer.key("warning");
  writer.beginObject();
  writer.key("kind");
  writer.string(kindName(warning.kind));
  writer.key("codingPath");
  json::writeCodingPath(writer, warning.codingPath);
  if (!warning.presentation.empty()) {
    writer.key("presentation");
    writer.string(warning.presentation);
  }
  writer.key("description");
  writer.string(warning.description);
  if (!warning.hint.empty()) {
    writer.key("hint");
    writer.string(warning.hint);
  }
  writer.endObject();
  writer.endObject();
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
