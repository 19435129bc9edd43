#include "host/cli/render_verdict.hpp"

#include <optional>
#include <type_traits>

#include "host/cli/cli.hpp"
#include "host/report/diagnostics.hpp"

namespace corvlin::host {

RenderVerdict decideRender(const std::vector<RenderedActivity>& rendered, bool isList,
                           bool strict) {
  RenderVerdict verdict;
  bool anyWarning = false;
  bool anyDecodingError = false;
  bool anyExtensionFailure = false;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const std::optional<std::size_t> activity =
        isList ? std::optional<std::size_t>(i) : std::nullopt;
    for (const auto& warning : rendered[i].warnings) {
      anyWarning = true;
      verdict.diagnostics.push_back(warningJson(warning));
    }
    std::visit(
        [&](const auto& outcome) {
          using T = std::decay_t<decltype(outcome)>;
          if constexpr (std::is_same_v<T, DecodingError>) {
            anyDecodingError = true;
            verdict.diagnostics.push_back(errorLine(outcome, activity));
          } else if constexpr (std::is_same_v<T, ExtensionFailure>) {
            anyExtensionFailure = true;
            // Alone, the failure is the whole answer, said to people; in a list, one JSON
            // line per activity lets a script tell which failed.
            verdict.diagnostics.push_back(isList ? extensionFailureLine(outcome, activity)
                                                 : "corvlin-host: " + outcome.message);
          }
        },
        rendered[i].outcome);
  }
  // In a list with both, the extension failure decides the status: 69 before 65.
  if (anyExtensionFailure) {
    verdict.status = exitUnavailable;
  } else if (anyDecodingError) {
    verdict.status = exitDataError;
  }
  verdict.writesOutput = isList || verdict.status == exitOk;
  // The presentations are still written: --strict is for CI, which wants the status and the
  // same output as without it.
  if (strict && anyWarning && verdict.status == exitOk) verdict.status = exitDataError;
  return verdict;
}

}  // namespace corvlin::host
