#include "host/checks/warning.hpp"

#include "model/json_writer.hpp"

namespace corvlin::host {

std::string_view kindName(Warning::Kind kind) {
  switch (kind) {
    case Warning::Kind::unknownKey:
      return "unknownKey";
    case Warning::Kind::millisecondsInstant:
      return "millisecondsInstant";
    case Warning::Kind::instantFarFromNow:
      return "instantFarFromNow";
    case Warning::Kind::unknownKeyword:
      return "unknownKeyword";
    case Warning::Kind::timerIncomplete:
      return "timerIncomplete";
    case Warning::Kind::progressOutOfRange:
      return "progressOutOfRange";
    case Warning::Kind::actionsDropped:
      return "actionsDropped";
    case Warning::Kind::emptyLabel:
      return "emptyLabel";
    case Warning::Kind::alreadyEnded:
      return "alreadyEnded";
    case Warning::Kind::overBudget:
      return "overBudget";
  }
  return "unknown";
}

namespace {

void writeWarning(json::Writer& writer, const Warning& warning) {
  writer.beginObject();
  writer.key("kind");
  writer.string(kindName(warning.kind));
  writer.key("codingPath");
  writer.beginArray();
  for (const auto& step : warning.codingPath) {
    if (const auto* key = std::get_if<std::string>(&step)) {
      writer.string(*key);
    } else {
      writer.number(static_cast<double>(std::get<std::size_t>(step)));
    }
  }
  writer.endArray();
  writer.key("description");
  writer.string(warning.description);
  writer.key("hint");
  writer.string(warning.hint);
  writer.endObject();
}

}  // namespace

std::string warningJson(const Warning& warning) {
  json::Writer writer;
  writer.beginObject();
  writer.key("warning");
  writeWarning(writer, warning);
  writer.endObject();
  return writer.take();
}

std::string warningObjectJson(const Warning& warning) {
  json::Writer writer;
  writeWarning(writer, warning);
  return writer.take();
}

}  // namespace corvlin::host
