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

// The file a user named with --out. A regular file, or a name not taken, is replaced as
// OutputFolder::replace does (the folder is the user's path, followed as given), so that
// `path` holds either what it held before or all of `bytes`. A character device (/dev/null) is
// written in place, and so is a FIFO that a process holds open for reading; the open never
// waits. Refused, with a message that says what the path is: a symbolic link (it is not
// written through, nor replaced: it names the file the user meant), a folder, a FIFO that no
// process reads, a socket, a block device.
Written replaceFile(const std::string& path, std::string_view bytes);

// Flushes and closes standard output, at exit: a write that the buffer held back fails here.
// A descriptor that was closed before anything was written to it is not a failure.
Written closeStandardOutput();

}  // namespace corvlin::host
