#include "protocol/answer.hpp"

#include <simdjson.h>

#include <string>
#include <utility>

#include "json/parse.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::protocol {
namespace {

ExtensionFailure malformed(std::string why) {
  return {ExtensionFailure::Kind::malformedAnswer, "the extension's answer " + std::move(why)};
}

}  // namespace

void writeAnswer(json::Writer& out, const ui::Presentations& presentations) {
  out.beginObject();
  out.key("presentations");
  ui::writeJson(out, presentations);
  out.endObject();
}

void writeAnswer(json::Writer& out, const RequestError& error) {
  out.raw(errorJson(error.error, error.source));
}

Answer readAnswer(std::string_view line) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, line);
  if (!document) return malformed("is not one line of JSON: " + document.error().description);
  simdjson::dom::element answer = document.value();
  simdjson::dom::element part;
  if (!answer["presentations"].get(part)) {
    auto presentations = ui::presentationsFromJson(part);
    if (!presentations) {
      return malformed("holds no valid view description: " + errorJson(presentations.error()));
    }
    return std::move(presentations).value();
  }
  if (!answer["error"].get(part)) {
    auto error = decodeErrorObject(part);
    if (error) return std::move(error).value();
    return malformed("holds an error in an unknown form: " + errorJson(error.error()));
  }
  return malformed("holds neither \"presentations\" nor \"error\"");
}

}  // namespace corvlin::protocol
