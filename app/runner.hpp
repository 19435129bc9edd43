// Stands in for the platform's extension runner: one JSON request per line, one answer per line.
#pragma once

#include <simdjson.h>

#include <iosfwd>
#include <string>
#include <string_view>

#include "app/widget.hpp"
#include "model/json/error.hpp"
#include "model/instant.hpp"

namespace corvlin {

// The answer to one request line (without its line break), as one line of JSON:
// {"presentations":...} on success, {"error":{...}} otherwise. `realNow` is used only when the
// request pins no "now". `parser` is only a reusable buffer; nothing else carries over.
std::string answer(const ActivityConfiguration& configuration, simdjson::dom::parser& parser,
                   std::string_view requestLine, const Now& realNow);

// The same with the widget's configuration and a parser of its own.
std::string answer(std::string_view requestLine, const Now& realNow);

// The error answer for a fault of the request itself rather than of its content: the coder's
// error form with "request":true inside "error".
std::string requestErrorJson(const DecodingError& error);

// Answers every line of `in` on `out`, flushing after each, until the end of input.
void serve(const ActivityConfiguration& configuration, std::istream& in, std::ostream& out,
           const Now& realNow);

}  // namespace corvlin
