#include "host/cli/replay_command.hpp"

#include <optional>
#include <variant>

#include "host/checks/laid_out.hpp"
#include "host/drawing/fonts.hpp"
#include "host/html/replay_page.hpp"
#include "host/replay/replay_render.hpp"
#include "host/replay/timeline.hpp"
#include "host/report/diagnostics.hpp"
#include "host/report/replay_formats.hpp"

namespace corvlin::host {
namespace {

// A diagnostic line {"error":{...}} with the place it belongs to added last inside its object:
// {"error":{...,"record":2}}, as a list's lines name their activity.
std::string placed(std::string line, std::string_view member, std::size_t index) {
  line.insert(line.size() - 2, ",\"" + std::string(member) + "\":" + std::to_string(index));
  return line;
}

}  // namespace

int runReplay(const Options& options, Environment& env) {
  auto bytes = loadPayload(options.file, {}, env);
  if (!bytes) return bytes.error();
  auto timeline = readTimeline(bytes.value());
  if (!timeline) {
    env.err << errorLine(timeline.error()) << "\n";
    return exitDataError;
  }
  // On standard error, each warning's path starts with its record's index.
  bool anyWarning = false;
  for (std::size_t record = 0; record < timeline.value().warnings.size(); ++record) {
    for (Warning warning : timeline.value().warnings[record]) {
      anyWarning = true;
      warning.codingPath.insert(warning.codingPath.begin(), record);
      env.err << warningJson(warning) << "\n";
    }
  }
  bool anyRejected = false;
  for (const updates::Record& record : timeline.value().records) {
    if (const auto* rejection = std::get_if<updates::Rejection>(&record)) {
      anyRejected = true;
      env.err << placed(errorLine(rejection->error), "record", rejection->record) << "\n";
    }
  }

  ExtensionLimits limits;
  if (options.timeoutMs) limits.timeout = std::chrono::milliseconds(*options.timeoutMs);
  const std::string extension = options.extension.value_or(env.defaultExtension);
  std::vector<ReplayedStep> steps =
      renderSteps(extension, updates::replay(timeline.value().records), limits);
  for (ReplayedStep& replayed : steps) {
    const auto record = replayed.step.record;
    if (record && *record < timeline.value().warnings.size()) {
      replayed.warnings = timeline.value().warnings[*record];
    }
  }
  // Each visible step laid out with the host's fonts: the page places its views by it, and what
  // the phone would cut off or truncate after a record is a warning of that record (the texts'
  // paths name the fields of the record's content state; a broadcast's under its "push").
  const CodingPath statePathOfRecord{std::string("aps"), std::string("content-state")};
  const CodingPath statePathOfBroadcast{std::string("push"), std::string("aps"),
                                        std::string("content-state")};
  std::vector<std::shared_ptr<const LaidOutAnswer>> layouts(steps.size());
  if (auto fonts = drawing::Fonts::open(drawing::defaultFontFiles()); !fonts) {
    env.err << "corvlin-host: cannot lay out the presentations: " << fonts.error() << "\n";
  } else {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      ReplayedStep& replayed = steps[i];
      const auto* views =
          replayed.rendered ? std::get_if<ui::Presentations>(&replayed.rendered->outcome) : nullptr;
      if (!views) continue;
      const ContentState* state = replayed.step.shown ? &replayed.step.shown->content : nullptr;
      layouts[i] = layOutAnswer(
          *views, state, replayed.step.channel ? statePathOfBroadcast : statePathOfRecord,
          replayed.step.at.timeIntervalSince1970, options.lockScreenWidth, *fonts.value());
      if (!replayed.step.record) continue;
      for (const Warning& warning : layouts[i]->warnings) {
        anyWarning = true;
        Warning line = warning;
        line.codingPath.insert(line.codingPath.begin(), *replayed.step.record);
        env.err << warningJson(line) << "\n";
        replayed.warnings.push_back(warning);
      }
    }
  }

  bool anyExtensionFailure = false;
  std::optional<std::size_t> firstNotAsked;
  std::size_t notAsked = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const auto& rendered = steps[i].rendered;
    const auto* failure = rendered ? std::get_if<ExtensionFailure>(&rendered->outcome) : nullptr;
    if (!failure) continue;
    anyExtensionFailure = true;
    if (steps[i].notAsked) {
      // One line for all of them, at the first.
      if (!firstNotAsked) firstNotAsked = i;
      ++notAsked;
      continue;
    }
    env.err << placed(extensionFailureLine(*failure), "step", i) << "\n";
  }
  if (firstNotAsked) {
    ExtensionFailure failure = std::get<ExtensionFailure>(steps[*firstNotAsked].rendered->outcome);
    if (notAsked > 1) {
      failure.message += ", nor were the " + std::to_string(notAsked - 1) + " visible step" +
                         (notAsked == 2 ? "" : "s") + " after it";
    }
    env.err << placed(extensionFailureLine(failure), "step", *firstNotAsked) << "\n";
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
    case Format::png:  // refused for replay when the arguments are read
      text =
          renderReplayHtml(steps, layouts, *options.file == "-" ? "standard input" : *options.file);
      break;
  }
  if (const int status = emit(options.out, text, env); status != exitOk) return status;
  if (options.out) env.err << "corvlin-host: wrote " << *options.out << "\n";
  if (anyExtensionFailure) return exitUnavailable;
  if (anyRejected) return exitDataError;
  return options.strict && anyWarning ? int(exitDataError) : int(exitOk);
}

}  // namespace corvlin::host
