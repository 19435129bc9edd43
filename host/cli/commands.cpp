#include "host/cli/commands.hpp"

#include <simdjson.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "host/extension/activity.hpp"
#include "host/html/html_renderer.hpp"
#include "host/cli/input.hpp"
#include "host/extension/render.hpp"
#include "host/cli/samples.hpp"
#include "host/cli/envelope_command.hpp"
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

std::string renderJson(const std::vector<RenderedActivity>& rendered, bool isList) {
  auto one = [](const RenderedActivity& r) {
    if (r.presentations) return ui::toJson(*r.presentations);
    if (r.decodingError) return errorJson(*r.decodingError);
    std::string line = "{\"extensionFailure\":";
    json::appendString(line, r.extensionFailure->message);
    return line + "}";
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
  if (!options.attributes && isEnvelope(*bytes)) return runDecodeEnvelope(*bytes, env);
  Result<std::string, EncodingError> written = std::string();
  if (options.attributes) {
    auto decoded = decodeAttributes(*bytes);
    if (!decoded) {
      env.err << errorJson(decoded.error()) << "\n";
      return exitDataError;
    }
    written = encodeAttributes(decoded.value());
  } else {
    auto decoded = decodeContentState(*bytes);
    if (!decoded) {
      env.err << errorJson(decoded.error()) << "\n";
      return exitDataError;
    }
    written = encodeContentState(decoded.value());
    if (written && written.value().size() > activityDataBudgetBytes) {
      env.err << "corvlin-host: warning: the coded content state is " << written.value().size()
              << " bytes, over the " << activityDataBudgetBytes
              << "-byte budget for an activity's data; the phone would refuse this update\n";
    }
  }
  if (!written) {
    env.err << errorJson(written.error()) << "\n";
    return exitDataError;
  }
  env.out << written.value() << "\n";
  return exitOk;
}

int runRender(const Options& options, Environment& env) {
  const double now = options.now.value_or(env.realNow);
  Payload payload;
  if (!options.file) {
    payload.entries.push_back(defaultActivityAt(now));
  } else {
    int status = exitOk;
    auto bytes = loadPayload(options, {}, env, status);
    if (!bytes) return status;
    auto decoded = decodePayload(*bytes);
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
  const auto rendered = renderActivities(extension, payload.entries, now, limits);

  bool anyDecodingError = false;
  bool anyExtensionFailure = false;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const auto& r = rendered[i];
    const std::string which = payload.isList ? "activity " + std::to_string(i + 1) + ": " : "";
    if (r.codedStateBytes > activityDataBudgetBytes) {
      env.err << "corvlin-host: warning: " << which << "the coded content state is "
              << r.codedStateBytes << " bytes, over the " << activityDataBudgetBytes
              << "-byte budget for an activity's data; the phone would refuse this update\n";
    }
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
  return exitOk;
}

}  // namespace corvlin::host
