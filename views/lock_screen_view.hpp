// The lock-screen view: a right-to-left row of the text column and the progress ring.
#pragma once

#include <optional>

#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin {

inline constexpr double ringDiameter = 58;
inline constexpr double ringLineWidth = 5;

// The drawn fraction of the ring: 1 for absent or non-finite progress, else clamped to 0...1.
double ringProgress(std::optional<double> progress);

struct LockScreenView {
  ContentState state;

  // `now` is handed to the timer and the action row, which read it themselves.
  ui::View body(const Now& now) const;
};

// The body of a `LockScreenView` of `state`, for the builder, which hands on the context's state.
ui::View lockScreenBody(const ContentState& state, const Now& now, ui::Allocator allocator = {});

}  // namespace corvlin
