// The request line: written by the host, one per activity and instant, and read by the
// extension. {"contentState":...,"attributes":...,"now":...}, "attributes" and "now" optional.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "json/error.hpp"
#include "json/result.hpp"
#include "model/instant.hpp"
#include "model/records.hpp"

namespace corvlin::protocol {

// The longest request line the extension answers: room for the host's 1 MiB payload bound and
// the request around it. A longer line is answered with a dataCorrupted request error, read and
// dropped without being held in memory.
inline constexpr std::size_t maxRequestLineBytes = 2u << 20;

// The request line for one activity at one instant, from its records in their coded form
// (attributes left out when absent).
std::string requestLine(std::string_view contentState, const std::optional<std::string>& attributes,
                        double now);

// A request as the extension reads it.
struct Request {
  std::optional<Instant> now;  // the instant it pins; nothing: the real clock's
  ContentState contentState;
  std::optional<CorvlinLiveActivityAttributes> attributes;
};

// Why a request gets an error answer: a fault of the request itself (`request`: not JSON, not
// an object, no "contentState", a "now" that is no number), or the coder's own error for one of
// the records it carries (`record`), its path relative to that record.
struct RequestError {
  DecodingError error;
  ErrorSource source = ErrorSource::request;
};

// Reads one request line (without its line break). A missing or null "now" or "attributes"
// counts as absent. `parser` is only a reusable buffer; nothing else carries over: after a
// failed parse it is replaced. Throws std::bad_alloc when the parser's memory cannot be had,
// the parser then replaced too.
Result<Request, RequestError> readRequest(simdjson::dom::parser& parser, std::string_view line);

// The error for a line longer than maxRequestLineBytes.
RequestError overlongRequest();

}  // namespace corvlin::protocol
