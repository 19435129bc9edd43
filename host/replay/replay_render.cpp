#include "host/replay/replay_render.hpp"

#include <string>
#include <utility>
#include <variant>

#include "host/payload/activity.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

struct Pending {
  std::size_t step;  // index into the replay's steps
  std::string request;
};

// "steps 4, 5 and 6"
std::string stepList(const std::vector<std::size_t>& steps) {
  std::string text = steps.size() == 1 ? "step " : "steps ";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) text += i + 1 == steps.size() ? " and " : ", ";
    text += std::to_string(steps[i]);
  }
  return text;
}

// Asks one extension process for every pending request in turn. When it fails, that step
// shows the failure and the next request goes to a new process, unless it has failed too many
// times in a row: then the steps left are not asked for.
void answer(const std::string& executable, const std::vector<Pending>& pending,
            const ExtensionLimits& limits, std::vector<ReplayedStep>& out) {
  std::optional<ExtensionProcess> process;
  std::vector<std::size_t> failedInARow;  // the steps
  for (const Pending& p : pending) {
    ActivityOutcome& outcome = out[p.step].rendered->outcome;
    if (failedInARow.size() >= maxFailuresInARow) {
      const auto& last = std::get<ExtensionFailure>(out[failedInARow.back()].rendered->outcome);
      outcome = ExtensionFailure{last.kind, "the extension failed on " + stepList(failedInARow) +
                                                " in a row, so the replay stopped asking it; this "
                                                "step was not drawn"};
      out[p.step].notAsked = true;
      continue;
    }
    if (!process || !process->running()) {
      auto started = ExtensionProcess::start(executable);
      if (started) {
        process.emplace(std::move(started).value());
      } else {
        outcome = std::move(started).error();
      }
    }
    if (process && process->running()) {
      auto line = process->ask(p.request, limits);
      outcome = line ? readAnswer(line.value()) : ActivityOutcome(std::move(line).error());
    }
    if (std::holds_alternative<ExtensionFailure>(outcome)) {
      failedInARow.push_back(p.step);
    } else {
      failedInARow.clear();
    }
  }
  // Every answer is in; how the extension then exits changes none of them.
  if (process && process->running()) (void)process->finish(limits);
}

}  // namespace

std::vector<ReplayedStep> renderSteps(const std::string& executable,
                                      std::vector<updates::Step> steps,
                                      const ExtensionLimits& limits) {
  std::vector<ReplayedStep> out;
  out.reserve(steps.size());
  std::vector<Pending> pending;
  for (updates::Step& step : steps) {
    ReplayedStep replayed{std::move(step), {}, std::nullopt};
    if (const auto& shown = replayed.step.shown) {
      // Decoded from JSON, so it holds nothing that JSON cannot carry.
      const CodedActivity coded =
          encodeActivity(Activity{shown->attributes, shown->content, false}).value();
      replayed.rendered = RenderedActivity{};
      pending.push_back({out.size(), requestLine(coded, replayed.step.at.timeIntervalSince1970)});
    }
    out.push_back(std::move(replayed));
  }
  answer(executable, pending, limits, out);
  return out;
}

}  // namespace corvlin::host
