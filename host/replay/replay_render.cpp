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

// Answers `pending` with as few processes as the extension allows: all in one when it
// survives; else halves, down to the one request a failure belongs to.
void answer(const std::string& executable, const std::vector<Pending>& pending,
            const ExtensionLimits& limits, std::vector<ReplayedStep>& out) {
  if (pending.empty()) return;
  std::vector<std::string> requests;
  requests.reserve(pending.size());
  for (const Pending& p : pending) requests.push_back(p.request);
  auto answers = exchangeWithExtension(executable, requests, limits);
  if (answers) {
    for (std::size_t i = 0; i < pending.size(); ++i) {
      RenderedActivity read = readAnswer(answers.value()[i]);
      read.codedStateBytes = out[pending[i].step].rendered->codedStateBytes;
      out[pending[i].step].rendered = std::move(read);
    }
    return;
  }
  // An extension that cannot start or hangs would do so again for every half: no splitting.
  const auto kind = answers.error().kind;
  if (pending.size() == 1 || kind == ExtensionFailure::Kind::cannotStart ||
      kind == ExtensionFailure::Kind::timedOut) {
    for (const Pending& p : pending) out[p.step].rendered->extensionFailure = answers.error();
    return;
  }
  const auto middle = pending.begin() + static_cast<std::ptrdiff_t>(pending.size() / 2);
  answer(executable, {pending.begin(), middle}, limits, out);
  answer(executable, {middle, pending.end()}, limits, out);
}

}  // namespace

std::vector<ReplayedStep> renderSteps(const std::string& executable,
                                      std::vector<updates::Step> steps,
                                      const ExtensionLimits& limits) {
  std::vector<ReplayedStep> out;
  out.reserve(steps.size());
  std::vector<Pending> pending;
  for (updates::Step& step : steps) {
    ReplayedStep replayed{std::move(step), std::nullopt};
    if (const auto& shown = replayed.step.shown) {
      const Activity activity{shown->attributes, shown->content};
      RenderedActivity rendered;
      // Decoded from JSON, so it holds nothing that JSON cannot carry.
      rendered.codedStateBytes = encodeContentState(shown->content).value().size();
      replayed.rendered = std::move(rendered);
      pending.push_back(
          {out.size(), requestLine(activity, replayed.step.at.timeIntervalSince1970)});
    }
    out.push_back(std::move(replayed));
  }
  answer(executable, pending, limits, out);
  return out;
}

}  // namespace corvlin::host
