#include "app/runner.hpp"

#include <cmath>
#include <istream>
#include <optional>
#include <ostream>
#include <variant>

#include "model/coding.hpp"
#include "model/json/writer.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin {

namespace {

namespace dom = simdjson::dom;

using Kind = DecodingError::Kind;

DecodingError requestFault(Kind kind, std::string description) {
  return {kind, {}, std::move(description)};
}

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// A member that is missing or null counts as absent.
std::optional<dom::element> presentMember(dom::object request, std::string_view key) {
  dom::element value;
  if (request.at_key(key).get(value) != simdjson::SUCCESS || value.is_null()) return std::nullopt;
  return value;
}

}  // namespace

std::string requestErrorJson(const DecodingError& error) {
  return errorJson(error, ErrorSource::request);
}

std::string answer(const ActivityConfiguration& configuration, dom::parser& parser,
                   std::string_view requestLine, const Now& realNow) {
  if (isBlank(requestLine)) {
    return requestErrorJson(requestFault(Kind::dataCorrupted, "The request line is empty."));
  }
  auto document = json::parse(parser, requestLine);
  if (!document) {
    DecodingError error = document.error();
    return requestErrorJson(error);
  }
  dom::object request;
  if (document.value().get_object().get(request) != simdjson::SUCCESS) {
    return requestErrorJson(requestFault(Kind::typeMismatch, "The request is not a JSON object."));
  }

  std::optional<Instant> pinned;
  if (auto now = presentMember(request, "now")) {
    double seconds = 0;
    if (now->get_double().get(seconds) != simdjson::SUCCESS) {
      return requestErrorJson(
          requestFault(Kind::typeMismatch, "\"now\" is not a number of seconds since 1970."));
    }
    if (!std::isfinite(seconds)) {
      return requestErrorJson(requestFault(Kind::dataCorrupted, "\"now\" is not finite."));
    }
    pinned = Instant{seconds};
  }

  dom::element stateElement;
  if (request.at_key("contentState").get(stateElement) != simdjson::SUCCESS) {
    return requestErrorJson(
        requestFault(Kind::keyNotFound, "The request has no \"contentState\"."));
  }
  if (stateElement.is_null()) {
    return requestErrorJson(
        requestFault(Kind::valueNotFound, "The request's \"contentState\" is null."));
  }

  // The coder's own errors go back unchanged, their paths relative to the record read.
  auto state = decodeContentState(stateElement);
  if (!state) return errorJson(state.error());
  ActivityViewContext context{{}, std::move(state).value()};
  if (auto attributesElement = presentMember(request, "attributes")) {
    auto attributes = decodeAttributes(*attributesElement);
    if (!attributes) return errorJson(attributes.error());
    context.attributes = std::move(attributes).value();
  }

  const Now now = pinned ? fixedNow(*pinned) : realNow;
  json::Writer w;
  w.reserve(8192);  // the answer for a typical activity is about 7 KB
  w.beginObject();
  w.key("presentations");
  ui::writeJson(w, presentations(configuration, context, now));
  w.endObject();
  return w.take();
}

std::string answer(std::string_view requestLine, const Now& realNow) {
  dom::parser parser;
  return answer(CorvlinLiveActivityWidget{}.body(), parser, requestLine, realNow);
}

void serve(const ActivityConfiguration& configuration, std::istream& in, std::ostream& out,
           const Now& realNow) {
  dom::parser parser;
  std::string line;
  while (std::getline(in, line)) {
    out << answer(configuration, parser, line, realNow) << '\n';
    out.flush();
  }
}

}  // namespace corvlin
