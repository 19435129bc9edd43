#include "host/server/watch_payload.hpp"

#include <simdjson.h>

#include <cmath>

#include "host/server/push_handler.hpp"
#include "json/parse.hpp"
#include "json/writer.hpp"

namespace corvlin::host::server {

std::string watchedPushBody(std::string_view contents, double now) {
  if (contents.size() > maxPushBodyBytes) return std::string(contents);
  simdjson::dom::parser parser;
  auto document = json::parse(parser, contents);
  if (!document) return std::string(contents);
  const simdjson::dom::element root = document.value();
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return std::string(contents);
  simdjson::dom::element member;
  if (object["aps"].get(member) == simdjson::SUCCESS) return std::string(contents);
  const simdjson::dom::element state =
      object["contentState"].get(member) == simdjson::SUCCESS ? member : root;
  json::Writer body;
  body.beginObject();
  body.beginObject("aps");
  body.plainMember("event", "update");
  body.numberMember("timestamp", std::isfinite(now) ? std::floor(now) : 0);
  body.key("content-state");
  body.raw(simdjson::minify(state));  // the file's own value, as it parsed
  body.endObject();
  body.endObject();
  return body.take();
}

bool watchedSaveBegins(std::string_view contents) {
  if (contents.size() > maxPushBodyBytes) return false;
  simdjson::dom::parser parser;
  auto document = json::parse(parser, contents);
  if (!document) return false;
  simdjson::dom::object object;
  if (document.value().get_object().get(object) != simdjson::SUCCESS) return false;
  simdjson::dom::element aps;
  if (object["aps"].get(aps) != simdjson::SUCCESS) return true;  // a content state
  std::string_view event;
  return aps["event"].get(event) == simdjson::SUCCESS && event == "start";
}

}  // namespace corvlin::host::server
