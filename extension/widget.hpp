// The extension's one widget: its activity configuration and its two builders.
#pragma once

#include <functional>
#include <vector>

#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin {

// What the host hands each builder. Builders read only `state`; the attributes are never shown.
struct ActivityViewContext {
  CorvlinLiveActivityAttributes attributes;
  ContentState state;
};

// Binds the attributes type to the lock-screen builder and the Dynamic Island builder. Each puts
// its views in the memory it is handed.
struct ActivityConfiguration {
  using LockScreenBuilder =
      std::function<ui::View(const ActivityViewContext&, const Now&, ui::Allocator)>;
  using DynamicIslandBuilder =
      std::function<ui::DynamicIsland(const ActivityViewContext&, const Now&, ui::Allocator)>;

  LockScreenBuilder content;
  DynamicIslandBuilder dynamicIsland;
};

// The lock-screen view, padded 16 on all edges, on a black tint at 0.85, white system action
// colour, right to left.
ui::View lockScreenPresentation(const ActivityViewContext& context, const Now& now,
                                ui::Allocator allocator = {});

// Expanded (leading timer, trailing 10-point dot, bottom details, all priority 0), compact
// leading and minimal the 8-point dot, compact trailing the compact timer.
ui::DynamicIsland dynamicIslandPresentation(const ActivityViewContext& context, const Now& now,
                                            ui::Allocator allocator = {});

// All seven presentations that a configuration gives for one context, in `allocator`'s memory,
// which must outlive them (the runner hands an arena that lives as long as the answer).
ui::Presentations presentations(const ActivityConfiguration& configuration,
                                const ActivityViewContext& context, const Now& now,
                                ui::Allocator allocator = {});

struct CorvlinLiveActivityWidget {
  ActivityConfiguration body() const;
};

}  // namespace corvlin
