#include "host/checks/laid_out.hpp"

#include "host/checks/clipping.hpp"
#include "host/text/timer_format.hpp"

namespace corvlin::host {

std::shared_ptr<const LaidOutAnswer> layOutAnswer(const ui::Presentations& views,
                                                  const ContentState* state,
                                                  const CodingPath& statePath, double now,
                                                  double lockScreenWidth,
                                                  layout::TextMeasurer& measurer) {
  auto answer = std::make_shared<LaidOutAnswer>(views);
  answer->at = now;
  answer->lockScreenWidth = lockScreenWidth;
  layout::Options options;
  options.timerText = [now](const ui::TimerText& t) { return timerTextAt(t, now); };
  answer->layout = layout::layoutActivity(answer->views, lockScreenWidth, measurer, options);
  answer->warnings = layoutWarnings(answer->layout, state, {}, statePath);
  return answer;
}

}  // namespace corvlin::host
