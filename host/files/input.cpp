#include "host/files/input.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace corvlin::host {

Result<std::string, InputError> readPayload(const std::string& path) {
  const bool fromStdin = path == "-";
  const std::string name = fromStdin ? "standard input" : path;
  std::unique_ptr<FILE, int (*)(FILE*)> file(fromStdin ? stdin : std::fopen(path.c_str(), "rb"),
                                             fromStdin ? [](FILE*) { return 0; } : &std::fclose);
  if (!file) {
    return Failure{InputError{InputError::Kind::unreadable,
                              "cannot open " + name + ": " + std::strerror(errno)}};
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, n);
    if (bytes.size() > maxPayloadBytes) {
      return Failure{InputError{InputError::Kind::tooLarge, name + " is larger than " +
                                                                std::to_string(maxPayloadBytes) +
                                                                " bytes; refusing to read it"}};
    }
    if (n < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    return Failure{InputError{InputError::Kind::unreadable,
                              "cannot read " + name + ": " + std::strerror(errno)}};
  }
  return bytes;
}

Result<std::string, InputError> loadPayload(const std::optional<std::string>& file,
                                            std::string_view builtIn) {
  if (!file) return std::string(builtIn);
  return readPayload(*file);
}

}  // namespace corvlin::host
