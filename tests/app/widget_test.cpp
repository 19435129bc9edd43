#include "app/widget.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvlin
