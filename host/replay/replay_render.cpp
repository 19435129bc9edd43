#include "host/replay/replay_render.hpp"

#include <utility>

#include "host/extension/activity.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

struct Pending {
  std::size_t step;  // index into the replay's steps
  std::string request;
};

// Asks one extension process for every pending request in turn. When it fails, that step
// shows the failure and the next request goes to a new process.
void answer(const std::string& executable, const std::vector<Pending>& pending,
            const ExtensionLimits& limits, std::vector<ReplayedStep>& out) {
  std::optional<ExtensionProcess> process;
  for (const Pending& p : pending) {
    ActivityOutcome& outcome = out[p.step].rendered->outcome;
    if (!process || !process->running()) {
      auto started = ExtensionProcess::start(executable);
      if (!started) {
        outcome = std::move(started).error();
        continue;
      }
      process.emplace(std::move(started).value());
    }
    auto line = process->ask(p.request, limits);
    outcome = line ? readAnswer(line.value()) : ActivityOutcome(std::move(line).error());
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
