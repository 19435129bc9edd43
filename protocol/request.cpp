#include "protocol/request.hpp"

#include <cmath>
#include <new>
#include <utility>

#include "json/writer.hpp"
#include "model/coding.hpp"

namespace corvlin::protocol {
namespace {

namespace dom = simdjson::dom;

using Kind = DecodingError::Kind;

Failure<RequestError> requestFault(Kind kind, std::string description) {
  return Failure{RequestError{{kind, {}, std::move(description)}, ErrorSource::request}};
}

// The coder's own error, its path relative to the record read.
Failure<RequestError> recordFault(DecodingError error) {
  return Failure{RequestError{std::move(error), ErrorSource::record}};
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

std::string requestLine(std::string_view contentState, const std::optional<std::string>& attributes,
                        double now) {
  std::string line = "{\"contentState\":";
  line += contentState;
  if (attributes) line += ",\"attributes\":" + *attributes;
  line += ",\"now\":";
  json::appendNumber(line, now);
  line += '}';
  return line;
}

Result<Request, RequestError> readRequest(dom::parser& parser, std::string_view line) {
  if (isBlank(line)) return requestFault(Kind::dataCorrupted, "The request line is empty.");
  // The parser's buffers are allocated here rather than inside the parse, so that running out
  // of memory is told apart from a line that is not JSON.
  if (parser.capacity() < line.size() && parser.allocate(line.size()) != simdjson::SUCCESS) {
    parser = dom::parser();  // a failed allocation leaves the parser unusable
    throw std::bad_alloc();
  }
  auto document = json::parse(parser, line);
  if (!document) {
    // Whatever the parse left behind, the next line gets a parser in a known state.
    parser = dom::parser();
    DecodingError error = document.error();
    if (error.description.find(simdjson::error_message(simdjson::MEMALLOC)) != std::string::npos) {
      throw std::bad_alloc();
    }
    return Failure{RequestError{std::move(error), ErrorSource::request}};
  }
  dom::object object;
  if (document.value().get_object().get(object) != simdjson::SUCCESS) {
    return requestFault(Kind::typeMismatch, "The request is not a JSON object.");
  }

  Request request;
  if (auto now = presentMember(object, "now")) {
    double seconds = 0;
    if (now->get_double().get(seconds) != simdjson::SUCCESS) {
      return requestFault(Kind::typeMismatch, "\"now\" is not a number of seconds since 1970.");
    }
    if (!std::isfinite(seconds)) return requestFault(Kind::dataCorrupted, "\"now\" is not finite.");
    request.now = Instant{seconds};
  }

  dom::element stateElement;
  if (object.at_key("contentState").get(stateElement) != simdjson::SUCCESS) {
    return requestFault(Kind::keyNotFound, "The request has no \"contentState\".");
  }
  if (stateElement.is_null()) {
    return requestFault(Kind::valueNotFound, "The request's \"contentState\" is null.");
  }
  auto state = decodeContentState(stateElement);
  if (!state) return recordFault(std::move(state).error());
  request.contentState = std::move(state).value();
  if (auto attributesElement = presentMember(object, "attributes")) {
    auto attributes = decodeAttributes(*attributesElement);
    if (!attributes) return recordFault(std::move(attributes).error());
    request.attributes = std::move(attributes).value();
  }
  return request;
}

RequestError overlongRequest() {
  return {{Kind::dataCorrupted,
           {},
           "The request line is longer than " + std::to_string(maxRequestLineBytes) + " bytes."},
          ErrorSource::request};
}

}  // namespace corvlin::protocol
