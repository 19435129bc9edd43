#include "views/lock_screen_view.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/views/view_test_support.hpp"

namespace corvlin {
namespace {

using test::childrenOf;
using test::stateWith;
using test::T0;

constexpr double inf = std::numeric_limits<double>::infinity();

TEST(RingProgress, FullRingForUnusableProgressOtherwiseClamped) {
  struct Case {
    std::optional<double> progress;
    double expected;
  };
  const Case cases[] = {{std::nullopt, 1},
                        {std::numeric_limits<double>::quiet_NaN(), 1},
                        {inf, 1},
                        {-inf, 1},
                        {0, 0},
                        {-0.0, 0},
                        {-0.5, 0},
                        {0.25, 0.25},
                        {1, 1},
                        {1.7, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.progress ? std::to_string(*c.progress) : "absent");
    const double got = ringProgress(c.progress);
    EXPECT_EQ(got, c.expected);
    EXPECT_FALSE(std::signbit(got));
  }
}

TEST(LockScreenView, ColumnLeavesOutOnlyAbsentTexts) {
  struct Case {
    const char* name;
    std::optional<std::string> body;
    std::optional<std::string> detail;
    std::vector<std::string> texts;  // the text children before the action row
  };
  const Case cases[] = {
      {"both absent", std::nullopt, std::nullopt, {"Title"}},
      {"body absent, detail present", std::nullopt, "d", {"Title", "d"}},
      {"empty body", "", std::nullopt, {"Title", ""}},
      {"both present", "b", "d", {"Title", "b", "d"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto state = stateWith([&](ContentState& s) {
      s.body = c.body;
      s.detail = c.detail;
    });
    const ui::View body = LockScreenView{state}.body(fixedNow(T0));
    const auto& column = childrenOf(childrenOf(body).at(0));
    ASSERT_EQ(column.size(), c.texts.size() + 1);
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      EXPECT_EQ(std::string_view(test::as<ui::Text>(column[i]).text), c.texts[i]);
    }
    // The padded row is placed even when it draws nothing.
    EXPECT_EQ(column.back(), ui::emptyView().with(ui::Padding{ui::top, 4}));
  }
}

TEST(LockScreenView, RingFollowsProgressToneAndClock) {
  struct Case {
    const char* name;
    std::function<void(ContentState&)> edit;
    double trimTo;
    ui::Color arc;
    ui::View centre;
  };
  const ui::Color blue{0.18, 0.42, 1.0, 1.0};
  const ui::Color amber{1.0, 0.62, 0.11, 1.0};
  const ui::View finished =
      ui::text("0:00").with(ui::MultilineTextAlignment{ui::TextAlignment::trailing});
  const Case cases[] = {
      {"nothing set", [](ContentState&) {}, 1, blue, ui::emptyView()},
      {"unknown tone, no progress", [](ContentState& s) { s.tone = "Warning"; }, 1, blue,
       ui::emptyView()},
      {"warning, 40 %",
       [](ContentState& s) {
         s.tone = "warning";
         s.progress = 0.4;
       },
       0.4, amber, ui::emptyView()},
      {"negative progress, elapsed",
       [](ContentState& s) {
         s.progress = -0.5;
         s.timerDirection = "down";
         s.timerEnd = 0;
       },
       0, blue, finished},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ui::View body = LockScreenView{stateWith(c.edit)}.body(fixedNow(T0));
    const auto& ring = childrenOf(childrenOf(body).at(1));
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(std::get<ui::Trim>(ring[1].modifiers.at(0)).to, c.trimTo);
    EXPECT_EQ(std::get<ui::Stroke>(ring[1].modifiers.at(1)).color, c.arc);
    EXPECT_EQ(ring[2].kind, c.centre.kind);
  }
}

}  // namespace
}  // namespace corvlin
