// Writing a command's output: to a stream checked to the last byte, or to a named file that is
// replaced atomically. Each failure says what could not be written and why.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "json/result.hpp"

namespace corvlin::host {

using Written = Result<std::monostate, std::string>;

// Writes `bytes` to `out` and flushes it; `name` is what the message calls it.
Written writeStream(std::ostream& out, std::string_view name, std::string_view bytes);

// Writes `bytes` to a temporary file in the folder of `path`, syncs it to disk and renames it
// over `path`, so that `path` holds either what it held before or all of `bytes`; a failure
// removes the temporary file. A symbolic link is followed, so the file it points to is
// replaced. A path that names something other than a regular file (a device, a pipe) cannot be
// replaced and is written in place.
Written replaceFile(const std::string& path, std::string_view bytes);

// Flushes and closes standard output, at exit: a write that the buffer held back fails here.
// A descriptor that was closed before anything was written to it is not a failure.
Written closeStandardOutput();

}  // namespace corvlin::host
