// Stands in for the platform's extension runner: one JSON request per line, one answer per line.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "extension/widget.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "json/writer.hpp"
#include "model/instant.hpp"

namespace corvlin {

// The answer to one request line (without its line break), as one line of JSON:
// {"presentations":...} on success, {"error":{...}} otherwise. `realNow` is used only when the
// request pins no "now". `parser` is only a reusable buffer; nothing else carries over: after a
// failed parse it is replaced. Throws std::bad_alloc when memory runs out, the parser then
// replaced too.
std::string answer(const ActivityConfiguration& configuration, simdjson::dom::parser& parser,
                   std::string_view requestLine, const Now& realNow);

// The same answer written into `out` after what it already holds (no line break), so that a
// caller answering many lines reuses one buffer. On std::bad_alloc `out` may hold part of it.
void writeAnswer(json::Writer& out, const ActivityConfiguration& configuration,
                 simdjson::dom::parser& parser, std::string_view requestLine, const Now& realNow);

// The same with the widget's configuration and a parser of its own.
std::string answer(std::string_view requestLine, const Now& realNow);

// The error answer for a fault of the request itself rather than of its content: the coder's
// error form with "request":true inside "error".
std::string requestErrorJson(const DecodingError& error);

// The longest request line answered: room for the host's 1 MiB payload bound and the request
// around it. A longer line is answered with a dataCorrupted request error, read and dropped
// without being held in memory.
inline constexpr std::size_t maxRequestLineBytes = 2u << 20;

// Reads up to `size` bytes into `buffer`: how many, 0 at the end of input, or why it failed.
using ReadSome = std::function<Result<std::size_t, std::string>(char* buffer, std::size_t size)>;
// Writes all of `bytes`, or says why it could not.
using WriteAll = std::function<Result<std::size_t, std::string>(std::string_view bytes)>;

// Reading, writing or memory failed: the requests cannot all be answered.
struct ServeFailure {
  std::string message;
  std::size_t answered = 0;  // answers written before it
};

// Answers every line read until the end of input, one answer line per request line; bytes after
// the last line break make one more line. Answers go out together, in one call of `write`,
// once no further whole line is waiting in what was read (or 64 KiB of them gather): never
// later than the next call of `read`. Returns how many were answered. A failure to read or write,
// or to allocate memory, is never the end of input: the lines before it are answered, and the
// failure says what happened.
Result<std::size_t, ServeFailure> serve(const ActivityConfiguration& configuration,
                                        const ReadSome& read, const WriteAll& write,
                                        const Now& realNow);

// The same over file descriptors, read through a fixed buffer.
Result<std::size_t, ServeFailure> serve(const ActivityConfiguration& configuration, int input,
                                        int output, const Now& realNow);

}  // namespace corvlin
