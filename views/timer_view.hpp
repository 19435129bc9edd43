// The one view that turns the timer state into text: live timer, "0:00", or nothing.
#pragma once

#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin {

// Sets no font, colour or size; the containing view supplies them.
struct TimerView {
  ContentState state;

  // Reads `now` once and derives the clock from it.
  ui::View body(const Now& now) const;
};

// The body of a `TimerView` of `state`, for the views that place one without copying the state.
ui::View timerBody(const ContentState& state, const Now& now, ui::Allocator allocator = {});

}  // namespace corvlin
