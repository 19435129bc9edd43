#include "extension/widget.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <memory_resource>
#include <variant>

#include "tests/views/view_test_support.hpp"

namespace corvlin {
namespace {

using test::stateWith;
using test::T0;

ActivityViewContext contextFor(ContentState state, std::string kind = "delivery",
                               std::string activityId = "A42") {
  return {{std::move(kind), std::move(activityId)}, std::move(state)};
}

// The presentations' contents are pinned by the golden files; here that the attributes change
// nothing, for a plain state and one with every optional part.
std::vector<ContentState> sampleStates() {
  return {stateWith(), stateWith([](ContentState& s) {
            s.body = "b";
            s.tone = "warning";
            s.progress = 0.4;
            s.timerDirection = "down";
            s.timerEnd = T0.timeIntervalSince1970 + 90;
            s.actions = {test::action("cancel", "Cancel", true), test::action("call")};
          })};
}

TEST(Presentations, IgnoreTheAttributes) {
  struct Case {
    const char* kind;
    const char* activityId;
  };
  const Case cases[] = {{"", ""}, {"taxi", "B7"}, {"delivery\u00A0", "A42 "}};
  const CorvlinLiveActivityWidget widget;
  for (const auto& state : sampleStates()) {
    const ui::Presentations reference =
        presentations(widget.body(), contextFor(state), fixedNow(T0));
    for (const auto& c : cases) {
      SCOPED_TRACE(c.kind);
      EXPECT_EQ(presentations(widget.body(), contextFor(state, c.kind, c.activityId), fixedNow(T0)),
                reference);
    }
  }
}

// Every node of `view` (children, labels, backgrounds) in `memory`: true when all are.
bool allIn(const ui::View& view, const std::pmr::memory_resource* memory) {
  if (ui::allocatorOf(view).resource() != memory) return false;
  const auto all = [&](const ui::Views& views) {
    for (const auto& child : views) {
      if (child.modifiers.get_allocator().resource() != memory || !allIn(child, memory)) {
        return false;
      }
    }
    return views.get_allocator().resource() == memory;
  };
  for (const auto& modifier : view.modifiers) {
    if (const auto* background = std::get_if<ui::Background>(&modifier)) {
      if (!allIn(*background->content, memory)) return false;
    }
    // A dash list is a plain vector: only an empty one holds no heap memory.
    if (const auto* stroke = std::get_if<ui::Stroke>(&modifier); stroke && !stroke->dash.empty()) {
      return false;
    }
  }
  return std::visit(
      [&](const auto& kind) {
        using K = std::decay_t<decltype(kind)>;
        if constexpr (requires { kind.children; }) {
          return all(kind.children);
        } else if constexpr (std::is_same_v<K, ui::Link>) {
          return kind.destination.get_allocator().resource() == memory &&
                 allIn(*kind.label, memory);
        } else if constexpr (std::is_same_v<K, ui::Text>) {
          return kind.text.get_allocator().resource() == memory;
        } else {
          return true;
        }
      },
      view.kind);
}

bool allIn(const ui::Presentations& p, const std::pmr::memory_resource* memory) {
  const auto& island = p.dynamicIsland;
  bool in = allIn(p.lockScreen, memory) && allIn(island.compactLeading, memory) &&
            allIn(island.compactTrailing, memory) && allIn(island.minimal, memory);
  for (const auto& region : island.expanded) in = in && allIn(region.content, memory);
  return in;
}

// The runner builds each answer's trees in an arena and gives them up with it, unwalked: every
// node must land there (a node moved by assignment would quietly go to the heap, and leak), the
// trees equal those built on the heap, and a copy lives on the heap, so that it outlives the
// arena.
TEST(Presentations, BuiltInAnArenaLieWhollyInItAndCopiesOutliveIt) {
  const CorvlinLiveActivityWidget widget;
  for (const auto& state : sampleStates()) {
    const ui::Presentations onTheHeap =
        presentations(widget.body(), contextFor(state), fixedNow(T0));
    ui::Presentations copy;
    {
      std::array<std::byte, 1024> scratch{};  // small, so that the arena also grows
      std::pmr::monotonic_buffer_resource arena(scratch.data(), scratch.size());
      const ui::Presentations inArena =
          presentations(widget.body(), contextFor(state), fixedNow(T0), &arena);
      EXPECT_TRUE(allIn(inArena, &arena));
      EXPECT_EQ(inArena, onTheHeap);
      copy = inArena;
    }
    EXPECT_TRUE(allIn(copy, std::pmr::get_default_resource()));
    EXPECT_EQ(copy, onTheHeap);
  }
}

}  // namespace
}  // namespace corvlin
