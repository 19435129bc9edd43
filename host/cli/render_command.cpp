// render: asks the extension for each activity's presentations, decides the verdict, and
// presents what it got.
#include <simdjson.h>

#include "host/cli/commands.hpp"
#include "host/cli/diagnostics.hpp"
#include "host/cli/render_output.hpp"
#include "host/cli/render_verdict.hpp"
#include "host/cli/samples.hpp"
#include "host/extension/activity.hpp"
#include "host/extension/render.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

// The embedded default activity, with its countdown moved to end 90 seconds after `now`
// (its file pins the instant the countdown was written against).
Activity defaultActivityAt(double now) {
  Activity activity = decodeActivity(defaultActivity()).value();
  simdjson::dom::parser parser;
  double writtenAt = 0;
  if (activity.state.timerEnd &&
      !parser.parse(std::string(defaultActivity()))["now"].get(writtenAt)) {
    activity.state.timerEnd = now + (*activity.state.timerEnd - writtenAt);
  }
  return activity;
}

// The payload's activities, or the exit status after saying why there are none.
Result<Payload, int> loadActivities(const Options& options, double now, Environment& env) {
  if (!options.file) return Payload{false, {defaultActivityAt(now)}};
  auto bytes = loadPayload(options.file, {}, env);
  if (!bytes) return Failure{bytes.error()};
  auto payload = decodePayload(bytes.value());
  if (!payload) {
    env.err << errorLine(payload.error()) << "\n";
    return Failure{int(exitDataError)};
  }
  return std::move(payload).value();
}

}  // namespace

int runRender(const Options& options, Environment& env) {
  const double now = options.now.value_or(env.realNow);
  auto payload = loadActivities(options, now, env);
  if (!payload) return payload.error();

  ExtensionLimits limits;
  if (options.timeoutMs) limits.timeout = std::chrono::milliseconds(*options.timeoutMs);
  const std::string extension = options.extension.value_or(env.defaultExtension);
  const auto rendered = renderActivities(extension, payload.value().entries, now, limits);

  const RenderVerdict verdict = decideRender(rendered, payload.value().isList);
  for (const auto& line : verdict.diagnostics) env.err << line << "\n";
  if (!verdict.writesOutput) return verdict.status;
  const int written =
      emit(options.out, presentRender(rendered, payload.value().isList, options.format, now), env);
  if (written != exitOk) return written;
  if (options.out) env.err << "corvlin-host: wrote " << *options.out << "\n";
  return verdict.status;
}

}  // namespace corvlin::host
