// A folder that a command writes its files into (render --format png, compare --out): opened
// once, and every name inside it reached through that open folder, so that nothing written
// there follows a link out of it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "json/result.hpp"

namespace corvlin::host {

// Writes every byte of `bytes` to `fd`, again after EINTR: 0 when every byte went, or the errno
// of the write that failed.
int writeAll(int fd, std::string_view bytes);

class OutputFolder {
 public:
  // Makes `path` and the missing folders above it, and opens it. `path` is the user's own and
  // is taken as given: a link to a folder there is followed.
  static Result<OutputFolder, std::string> open(const std::string& path);
  // The same for a folder that must exist already; "" is the working folder.
  static Result<OutputFolder, std::string> openExisting(const std::string& path);

  // The subfolder `name` (one path component), made when missing. A symbolic link, a FIFO, a
  // socket or a device of that name holds nothing and is replaced by the folder; a regular file
  // is refused.
  Result<OutputFolder, std::string> subfolder(const std::string& name) const;

  // Replaces the entry `name` (one path component) by a regular file holding `bytes`: written
  // to a temporary file beside it (`.NAME.XXXXXX`), synced, then renamed over it, so that it
  // holds what it held before or all of `bytes`. A symbolic link, a FIFO, a socket or a device
  // of that name is replaced, never followed nor opened; a folder is refused. The new file has
  // the permissions of the regular file it replaces, or those of a file created here.
  Result<std::monostate, std::string> replace(const std::string& name,
                                              std::string_view bytes) const;

  // The folder as named, for messages.
  const std::string& path() const { return path_; }
  // `name` inside the folder, as messages show it.
  std::string shown(const std::string& name) const;

  OutputFolder(OutputFolder&& other) noexcept;
  OutputFolder& operator=(OutputFolder&&) = delete;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  ~OutputFolder();

 private:
  OutputFolder(std::string path, int descriptor)
      : path_(std::move(path)), descriptor_(descriptor) {}

  std::string path_;
  int descriptor_ = -1;
};

}  // namespace corvlin::host
