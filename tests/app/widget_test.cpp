#include "app/widget.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/views/view_test_support.hpp"

namespace corvlin {
namespace {

using test::stateWith;
using test::T0;

ActivityViewContext contextFor(ContentState state, std::string kind = "delivery",
                               std::string activityId = "A42") {
  return {{std::move(kind), std::move(activityId)}, std::move(state)};
}

// States that exercise every optional part of the presentations.
std::vector<ContentState> sampleStates() {
  const double t = T0.timeIntervalSince1970;
  return {
      stateWith(),
      stateWith([&](ContentState& s) {
        s.body = "b";
        s.tone = "warning";
        s.progress = 0.4;
        s.timerDirection = "down";
        s.timerEnd = t + 90;
        s.actions = {test::action("cancel", "Cancel", true), test::action("call")};
      }),
      stateWith([&](ContentState& s) {
        s.detail = "";
        s.tone = "sideways";
        s.timerDirection = "up";
        s.timerStart = t - 300;
      }),
      stateWith([&](ContentState& s) {
        s.tone = "danger";
        s.timerDirection = "down";
        s.timerEnd = t - 1;
        s.actions = {test::action("x")};
      }),
  };
}

bool setsLayoutDirection(const ui::View& view) {
  for (const auto& m : view.modifiers) {
    if (std::holds_alternative<ui::LayoutDirectionModifier>(m)) return true;
  }
  return false;
}

// The slots' contents are checked by the golden files; here what holds for every state.
TEST(DynamicIslandPresentation, ThreeRegionsInOrderAndOnlyTheDetailsRightToLeft) {
  for (const auto& state : sampleStates()) {
    SCOPED_TRACE(::testing::Message() << state.tone.value_or("<no tone>"));
    const ui::DynamicIsland island = dynamicIslandPresentation(contextFor(state), fixedNow(T0));
    ASSERT_EQ(island.expanded.size(), 3u);
    EXPECT_EQ(island.expanded[0].position, ui::ExpandedRegionPosition::leading);
    EXPECT_EQ(island.expanded[1].position, ui::ExpandedRegionPosition::trailing);
    EXPECT_EQ(island.expanded[2].position, ui::ExpandedRegionPosition::bottom);
    EXPECT_EQ(island.minimal, island.compactLeading);
    EXPECT_FALSE(setsLayoutDirection(island.expanded[0].content));
    EXPECT_FALSE(setsLayoutDirection(island.compactTrailing));
    EXPECT_TRUE(setsLayoutDirection(island.expanded[2].content));
  }
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

}  // namespace
}  // namespace corvlin
