// The answer line: written by the extension, one per request line, and read by the host.
// {"presentations":...} on success, {"error":{...}} otherwise.
#pragma once

#include <string_view>
#include <variant>

#include "json/error.hpp"
#include "json/writer.hpp"
#include "protocol/extension_failure.hpp"
#include "protocol/request.hpp"
#include "toolkit/view.hpp"

namespace corvlin::protocol {

// Writes {"presentations":...} into `out` after what it already holds (no line break).
void writeAnswer(json::Writer& out, const ui::Presentations& presentations);
// Writes the error answer for `error` the same way: the coder's error form, with
// "request":true inside "error" for a fault of the request itself.
void writeAnswer(json::Writer& out, const RequestError& error);

// What an answer line says: the presentations, the extension's error, or, for a line that is
// neither, a malformedAnswer failure saying what is wrong with it.
using Answer = std::variant<ui::Presentations, DecodingError, ExtensionFailure>;

// Reads one answer line (without its line break).
Answer readAnswer(std::string_view line);

}  // namespace corvlin::protocol
