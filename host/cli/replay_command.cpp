#include "host/cli/replay_command.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <variant>

#include "host/cli/input.hpp"
#include "host/html/replay_page.hpp"
#include "host/replay/replay_formats.hpp"
#include "host/replay/replay_render.hpp"
#include "host/replay/timeline.hpp"

namespace corvlin::host {

std::string writeFileAtomically(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return std::strerror(errno);
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const int writeErrno = errno;
  // The page is to be opened by others: the usual permissions, not mkstemp's owner-only.
  const bool ok = written == text.size() && ::fchmod(fd, 0644) == 0;
  if (::close(fd) != 0 || !ok) {
    const std::string why = std::strerror(ok ? errno : writeErrno);
    ::unlink(temporary.c_str());
    return why;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temporary.c_str());
    return why;
  }
  return {};
}

int runReplay(const Options& options, Environment& env) {
  if (!options.file) {
    env.err << "corvlin-host: replay needs a TIMELINE file (or - for standard input)\n";
    return exitUsage;
  }
  auto bytes = readPayload(*options.file);
  if (!bytes) {
    env.err << "corvlin-host: " << bytes.error().message << "\n";
    return bytes.error().kind == InputError::Kind::tooLarge ? exitDataError : exitNoInput;
  }
  auto timeline = readTimeline(bytes.value());
  if (!timeline) {
    env.err << errorJson(timeline.error()) << "\n";
    return exitDataError;
  }
  for (const Warning& warning : timeline.value().warnings) {
    env.err << warningJson(warning) << "\n";
  }
  bool anyRejected = false;
  for (const updates::Record& record : timeline.value().records) {
    if (const auto* rejection = std::get_if<updates::Rejection>(&record)) {
      anyRejected = true;
      env.err << "corvlin-host: record " << rejection->record << ": " << errorJson(rejection->error)
              << "\n";
    }
  }

  ExtensionLimits limits;
  if (options.timeoutMs) limits.timeout = std::chrono::milliseconds(*options.timeoutMs);
  const std::string extension = options.extension.value_or(env.defaultExtension);
  const std::vector<ReplayedStep> steps =
      renderSteps(extension, updates::replay(timeline.value().records), limits);

  bool anyExtensionFailure = false;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const auto& rendered = steps[i].rendered;
    if (rendered && rendered->extensionFailure) {
      anyExtensionFailure = true;
      env.err << "corvlin-host: step " << i + 1 << ": " << rendered->extensionFailure->message
              << "\n";
    }
  }

  std::string text;
  switch (options.format) {
    case Format::text:
      text = replayText(steps);
      break;
    case Format::json:
      text = replayJson(steps);
      break;
    case Format::html:
      text = renderReplayHtml(steps, *options.file == "-" ? "standard input" : *options.file);
      break;
  }
  if (options.out) {
    if (const std::string why = writeFileAtomically(*options.out, text); !why.empty()) {
      env.err << "corvlin-host: cannot write " << *options.out << ": " << why << "\n";
      return exitCannotCreate;
    }
    env.err << "corvlin-host: wrote " << *options.out << "\n";
  } else {
    env.out << text;
    env.out.flush();
    if (!env.out) {
      env.err << "corvlin-host: cannot write the output\n";
      return exitCannotCreate;
    }
  }
  if (anyExtensionFailure) return exitUnavailable;
  if (anyRejected) return exitDataError;
  return exitOk;
}

}  // namespace corvlin::host
