#include "views/timer_view.hpp"

#include <variant>

namespace corvlin {

namespace {

constexpr ui::MultilineTextAlignment trailingLines{ui::TextAlignment::trailing};

}  // namespace

ui::View timerBody(const ContentState& state, const Now& now) {
  const Clock clock = state.clock(now());
  if (const auto* running = std::get_if<Clock::Running>(&clock.value)) {
    ui::TimerText timer{running->lower.timeIntervalSince1970, running->upper.timeIntervalSince1970,
                        running->countsDown, std::nullopt, true};
    return ui::View{timer, {}}.with(trailingLines);
  }
  if (std::holds_alternative<Clock::Elapsed>(clock.value)) {
    return ui::text("0:00").with(trailingLines);
  }
  return ui::emptyView();
}

ui::View TimerView::body(const Now& now) const { return timerBody(state, now); }

}  // namespace corvlin
