#include "views/timer_view.hpp"

#include <variant>

namespace corvlin {

namespace {

constexpr ui::MultilineTextAlignment trailingLines{ui::TextAlignment::trailing};

}  // namespace

ui::View timerBody(const ContentState& state, const Now& now, ui::Allocator allocator) {
  const Clock clock = state.clock(now());
  if (const auto* running = std::get_if<Clock::Running>(&clock.value)) {
    ui::TimerText timer{running->lower.timeIntervalSince1970, running->upper.timeIntervalSince1970,
                        running->countsDown, std::nullopt, true};
    return ui::timerText(timer, allocator).with(trailingLines);
  }
  if (std::holds_alternative<Clock::Elapsed>(clock.value)) {
    return ui::text("0:00", allocator).with(trailingLines);
  }
  return ui::emptyView(allocator);
}

ui::View TimerView::body(const Now& now) const { return timerBody(state, now); }

}  // namespace corvlin
