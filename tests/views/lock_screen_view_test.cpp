#include "views/lock_screen_view.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/views/view_test_support.hpp"
#include "views/action_row.hpp"
#include "views/timer_view.hpp"

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
  const Case cases[] = {
      {std::nullopt, 1},
      {std::numeric_limits<double>::quiet_NaN(), 1},
      {inf, 1},
      {-inf, 1},
      {0, 0},
      {-0.0, 0},
      {-0.5, 0},
      {0.25, 0.25},
      {0.4, 0.4},
      {1, 1},
      {1.7, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.progress ? std::to_string(*c.progress) : "absent");
    const double got = ringProgress(c.progress);
    EXPECT_EQ(got, c.expected);
    EXPECT_FALSE(std::signbit(got));
  }
}

TEST(LockScreenView, BuildsTheRightToLeftRowOfColumnAndRing) {
  const ContentState state = stateWith([](ContentState& s) {
    s.title = "Order 42";
    s.body = "On its way";
    s.detail = "Gate B";
    s.tone = "positive";
    s.progress = 0.25;
    s.timerDirection = "down";
    s.timerEnd = T0.timeIntervalSince1970 + 90;
    s.actions = {test::action("call", "Call")};
  });
  const ui::Color green{0.13, 0.77, 0.37, 1.0};
  const auto now = fixedNow(T0);

  const ui::View column =
      ui::vstack(ui::HorizontalAlignment::trailing, 4,
                 {
                     ui::text("Order 42")
                         .with(ui::FontModifier{ui::font(ui::TextStyle::headline)})
                         .with(ui::ForegroundColor{{1, 1, 1, 1}}),
                     ui::text("On its way")
                         .with(ui::FontModifier{ui::font(ui::TextStyle::subheadline)})
                         .with(ui::ForegroundColor{{1, 1, 1, 0.75}}),
                     ui::text("Gate B")
                         .with(ui::FontModifier{ui::font(ui::TextStyle::caption)})
                         .with(ui::ForegroundColor{{1, 1, 1, 0.6}}),
                     ActionRow{state}.body(now).with(ui::Padding{ui::top, 4}),
                 })
          .with(ui::FlexFrame{inf,
                              {ui::HorizontalAlignment::trailing, ui::VerticalAlignment::center}});
  const ui::View ring =
      ui::zstack(
          ui::centered,
          {
              ui::circle().with(ui::Stroke{
                  {1, 1, 1, 0.15}, 5, ui::LineCap::butt, ui::LineJoin::miter, 10, {}, 0}),
              ui::circle()
                  .with(ui::Trim{0, 0.25})
                  .with(ui::Stroke{green, 5, ui::LineCap::round, ui::LineJoin::miter, 10, {}, 0})
                  .with(ui::RotationEffect{-90, {0.5, 0.5}}),
              TimerView{state}
                  .body(now)
                  .with(ui::FontModifier{
                      ui::Font{ui::TextStyle::caption, true, ui::FontWeight::semibold}})
                  .with(ui::ForegroundColor{{1, 1, 1, 1}}),
          })
          .with(ui::Frame{58, 58, ui::centered});
  const ui::View expected =
      ui::hstack(ui::VerticalAlignment::center, 14, {column, ring})
          .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});

  EXPECT_EQ(LockScreenView{state}.body(now), expected);
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
      EXPECT_EQ(test::as<ui::Text>(column[i]).text, c.texts[i]);
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
