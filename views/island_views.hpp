// The Dynamic Island's views: the tone dot, the two timers and the details stack.
#pragma once

#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin {

inline constexpr double compactDotDiameter = 8;
inline constexpr double expandedDotDiameter = 10;
inline constexpr double compactTimerMaxWidth = 44;

// A filled circle in the tone colour, `diameter` points square.
ui::View toneDot(const ContentState& state, double diameter, ui::Allocator allocator = {});

// The timer in title2 with monospaced digits (expanded leading region).
ui::View expandedTimer(const ContentState& state, const Now& now, ui::Allocator allocator = {});

// The timer in caption2 with monospaced digits, at most 44 points wide (compact trailing).
ui::View compactTimer(const ContentState& state, const Now& now, ui::Allocator allocator = {});

// Title, optional body and detail, and the action row; right to left (expanded bottom region).
ui::View detailsStack(const ContentState& state, const Now& now, ui::Allocator allocator = {});

}  // namespace corvlin
