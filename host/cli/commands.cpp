#include "host/cli/commands.hpp"

#include <simdjson.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "host/checks/payload_warnings.hpp"
#include "host/cli/input.hpp"
#include "host/cli/samples.hpp"
#include "host/extension/activity.hpp"
#include "host/extension/render.hpp"
#include "host/html/html_renderer.hpp"
#include "host/text/text_renderer.hpp"
#include "model/coding.hpp"
#include "model/json/writer.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

// The payload named by the options, or the exit status after saying why there is none.
std::optional<std::string> loadPayload(const Options& options, std::string_view builtIn,
                                       Environment& env, int& status) {
  if (!options.file) return std::string(builtIn);
  auto bytes = readPayload(*options.file);
  if (!bytes) {
    env.err << "corvlin-host: " << bytes.error().message << "\n";
    status = bytes.error().kind == InputError::Kind::tooLarge ? exitDataError : exitNoInput;
    return std::nullopt;
  }
  return std::move(bytes).value();
}

// The embedded default activity, with its countdown moved to end 90 seconds after `now`
// (its file pins the instant the countdown was written against).
Activity defaultActivityAt(double now) {
  auto payload = decodePayload(defaultActivity());
  Activity activity = payload.value().entries.front().value();
  simdjson::dom::parser parser;
  double writtenAt = 0;
  if (activity.state.timerEnd &&
      !parser.parse(std::string(defaultActivity()))["now"].get(writtenAt)) {
    activity.state.timerEnd = now + (*activity.state.timerEnd - writtenAt);
  }
  return activity;
}

bool writeOutput(const Options& options, const std::string& text, Environment& env) {
  if (!options.out) {
    env.out << text;
    env.out.flush();
    return true;
  }
  std::ofstream file(*options.out, std::ios::binary | std::ios::trunc);
  if (file) file << text;
  if (!file || !file.flush()) {
    env.err << "corvlin-host: cannot write " << *options.out << ": " << std::strerror(errno)
            << "\n";
    return false;
  }
  return true;
}

// Each warning as one JSON line on standard error; with --strict, any of them fails the command.
int reportWarnings(const std::vector<Warning>& warnings, const Options& options, Environment& env) {
  for (const auto& w : warnings) env.err << warningJson(w) << "\n";
  return options.strict && !warnings.empty() ? exitDataError : exitOk;
}

// {"presentations":{...},"warnings":[...]} per activity ("extensionFailure" in place of
// "presentations" when the extension failed), or the decoding error's {"error":{...}}. Each
// warning is the same {"warning":{...}} object as its line on standard error.
std::string renderJson(const std::vector<RenderedActivity>& rendered, bool isList) {
  auto one = [](const RenderedActivity& r) {
    if (r.decodingError) return errorJson(*r.decodingError);
    std::string line;
    if (r.presentations) {
      line = "{\"presentations\":" + ui::toJson(*r.presentations);
    } else {
      line = "{\"extensionFailure\":";
      json::appendString(line, r.extensionFailure->message);
    }
    line += ",\"warnings\":[";
    for (std::size_t i = 0; i < r.warnings.size(); ++i) {
      line += (i ? "," : "") + warningJson(r.warnings[i]);
    }
    return line + "]}";
  };
  if (!isList) return one(rendered.front()) + "\n";
  std::string out = "[";
  for (std::size_t i = 0; i < rendered.size(); ++i) out += (i ? "," : "") + one(rendered[i]);
  return out + "]\n";
}

std::string renderTextAll(const std::vector<RenderedActivity>& rendered, bool isList, double now) {
  std::string out;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const auto& r = rendered[i];
    if (isList) {
      out += (i ? "\n" : "") + std::string("=== Activity ") + std::to_string(i + 1) + " of " +
             std::to_string(rendered.size()) + " ===\n";
    }
    if (r.presentations) {
      out += renderText(*r.presentations, now);
    } else if (r.decodingError) {
      out += "does not decode: " + errorJson(*r.decodingError) + "\n";
    } else {
      out += "extension failed: " + r.extensionFailure->message + "\n";
    }
  }
  return out;
}

}  // namespace

int runDecode(const Options& options, Environment& env) {
  int status = exitOk;
  auto bytes = loadPayload(options, sampleContentState(), env, status);
  if (!bytes) return status;
  Result<std::string, EncodingError> written = std::string();
  std::vector<Warning> warnings;
  if (options.attributes) {
    auto decoded = decodeAttributes(*bytes);
    if (!decoded) {
      env.err << errorJson(decoded.error()) << "\n";
      return exitDataError;
    }
    written = encodeAttributes(decoded.value());
    warnings = attributesDocumentWarnings(*bytes);
  } else {
    auto decoded = decodeContentState(*bytes);
    if (!decoded) {
      env.err << errorJson(decoded.error()) << "\n";
      return exitDataError;
    }
    written = encodeContentState(decoded.value());
    warnings = contentStateDocumentWarnings(*bytes, decoded.value());
  }
  if (!written) {
    env.err << errorJson(written.error()) << "\n";
    return exitDataError;
  }
  env.out << written.value() << "\n";
  return reportWarnings(warnings, options, env);
}

int runRender(const Options& options, Environment& env) {
  const double now = options.now.value_or(env.realNow);
  Payload payload;
  std::string bytes(defaultActivity());
  if (!options.file) {
    payload.entries.push_back(defaultActivityAt(now));
  } else {
    int status = exitOk;
    auto loaded = loadPayload(options, {}, env, status);
    if (!loaded) return status;
    bytes = std::move(*loaded);
    auto decoded = decodePayload(bytes);
    if (!decoded) {
      env.err << errorJson(decoded.error()) << "\n";
      return exitDataError;
    }
    payload = std::move(decoded).value();
    if (payload.entries.empty()) {
      env.err << "corvlin-host: the list holds no activity\n";
      return exitDataError;
    }
  }
  if (!payload.isList && !payload.entries.front()) {
    env.err << errorJson(payload.entries.front().error()) << "\n";
    return exitDataError;
  }

  ExtensionLimits limits;
  if (options.timeoutMs) limits.timeout = std::chrono::milliseconds(*options.timeoutMs);
  const std::string extension = options.extension.value_or(env.defaultExtension);
  // The page switches to the extension's later answer when its clock reaches that instant.
  auto rendered =
      renderActivities(extension, payload.entries, now, limits, options.format == Format::html);
  auto warnings = payloadWarnings(bytes, payload, Instant{now});

  bool anyDecodingError = false;
  bool anyExtensionFailure = false;
  int warningStatus = exitOk;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    auto& r = rendered[i];
    r.warnings = std::move(warnings[i]);
    warningStatus = std::max(warningStatus, reportWarnings(r.warnings, options, env));
    const std::string which = payload.isList ? "activity " + std::to_string(i + 1) + ": " : "";
    anyDecodingError = anyDecodingError || r.decodingError.has_value();
    anyExtensionFailure = anyExtensionFailure || r.extensionFailure.has_value();
    if (payload.isList) {
      if (r.decodingError)
        env.err << "corvlin-host: " << which << errorJson(*r.decodingError) << "\n";
      if (r.extensionFailure)
        env.err << "corvlin-host: " << which << r.extensionFailure->message << "\n";
    }
  }

  if (!payload.isList) {
    const auto& r = rendered.front();
    if (r.extensionFailure) {
      env.err << "corvlin-host: " << r.extensionFailure->message << "\n";
      return exitUnavailable;
    }
    if (r.decodingError) {
      env.err << errorJson(*r.decodingError) << "\n";
      return exitDataError;
    }
  }

  std::string text;
  switch (options.format) {
    case Format::text:
      text = renderTextAll(rendered, payload.isList, now);
      break;
    case Format::json:
      text = renderJson(rendered, payload.isList);
      break;
    case Format::html:
      text = renderHtml(rendered, now);
      break;
  }
  if (!writeOutput(options, text, env)) return exitCannotCreate;
  if (options.out) env.err << "corvlin-host: wrote " << *options.out << "\n";
  // In a list every activity is shown in its place; the status still tells of any failure.
  if (anyExtensionFailure) return exitUnavailable;
  if (anyDecodingError) return exitDataError;
  return warningStatus;
}

}  // namespace corvlin::host
