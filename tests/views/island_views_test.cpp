#include "views/island_views.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "tests/views/view_test_support.hpp"
#include "views/action_row.hpp"

namespace corvlin {
namespace {

using test::stateWith;
using test::T0;

TEST(ToneDot, IsAFilledCircleOfTheGivenDiameter) {
  struct Case {
    std::optional<std::string> tone;
    double diameter;
    ui::Color color;
  };
  const Case cases[] = {
      {"danger", 8, {1.0, 0.3, 0.37, 1.0}},
      {"positive", 10, {0.13, 0.77, 0.37, 1.0}},
      {std::nullopt, 8, {0.18, 0.42, 1.0, 1.0}},
      {"alarm", 10, {0.18, 0.42, 1.0, 1.0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tone.value_or("<absent>"));
    const auto state = stateWith([&](ContentState& s) { s.tone = c.tone; });
    EXPECT_EQ(
        toneDot(state, c.diameter),
        ui::circle().with(ui::Fill{c.color}).with(ui::Frame{c.diameter, c.diameter, ui::centered}));
  }
}

TEST(IslandTimers, SetMonospacedFontsAndTheCompactWidth) {
  const double t = T0.timeIntervalSince1970;
  const ui::View running = ui::View{ui::TimerText{t, t + 90, true, std::nullopt, true}, {}}.with(
      ui::MultilineTextAlignment{ui::TextAlignment::trailing});
  struct Case {
    const char* name;
    ContentState state;
    ui::View timer;
  };
  const Case cases[] = {
      {"running", test::countdownTo(t + 90), running},
      {"hidden", stateWith(), ui::emptyView()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(expandedTimer(c.state, fixedNow(T0)),
              c.timer.with(ui::FontModifier{ui::Font{ui::TextStyle::title2, true, std::nullopt}}));
    EXPECT_EQ(compactTimer(c.state, fixedNow(T0)),
              c.timer.with(ui::FontModifier{ui::Font{ui::TextStyle::caption2, true, std::nullopt}})
                  .with(ui::FlexFrame{44, ui::centered}));
  }
}

TEST(DetailsStack, HoldsPresentTextsAndTheRowRightToLeft) {
  const ui::View title =
      ui::text("Title").with(ui::FontModifier{ui::font(ui::TextStyle::headline)});
  const auto caption = [](const char* text, double opacity) {
    return ui::text(text)
        .with(ui::FontModifier{ui::font(ui::TextStyle::caption)})
        .with(ui::Opacity{opacity});
  };
  struct Case {
    const char* name;
    std::optional<std::string> body;
    std::optional<std::string> detail;
    std::vector<ui::View> texts;
  };
  const Case cases[] = {
      {"title only", std::nullopt, std::nullopt, {title}},
      {"detail without body", std::nullopt, "d", {title, caption("d", 0.8)}},
      {"empty body", "", std::nullopt, {title, caption("", 0.9)}},
      {"both", "b", "d", {title, caption("b", 0.9), caption("d", 0.8)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto state = stateWith([&](ContentState& s) {
      s.body = c.body;
      s.detail = c.detail;
      s.actions = {test::action("a")};
    });
    auto children = c.texts;
    children.push_back(ActionRow{state}.body(fixedNow(T0)));
    const ui::View expected =
        ui::vstack(ui::HorizontalAlignment::trailing, 2, children)
            .with(ui::FlexFrame{std::numeric_limits<double>::infinity(),
                                {ui::HorizontalAlignment::trailing, ui::VerticalAlignment::center}})
            .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});
    EXPECT_EQ(detailsStack(state, fixedNow(T0)), expected);
  }
}

}  // namespace
}  // namespace corvlin
