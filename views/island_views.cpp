#include "views/island_views.hpp"

#include <limits>

#include "views/action_row.hpp"
#include "views/palette.hpp"
#include "views/timer_view.hpp"

namespace corvlin {

ui::View toneDot(const ContentState& state, double diameter, ui::Allocator allocator) {
  return ui::circle(allocator)
      .with(ui::Fill{toneColor(state.tone)})
      .with(ui::Frame{diameter, diameter, ui::centered});
}

ui::View expandedTimer(const ContentState& state, const Now& now, ui::Allocator allocator) {
  return timerBody(state, now, allocator)
      .with(ui::FontModifier{ui::font(ui::TextStyle::title2).monospaced()});
}

ui::View compactTimer(const ContentState& state, const Now& now, ui::Allocator allocator) {
  return timerBody(state, now, allocator)
      .with(ui::FontModifier{ui::font(ui::TextStyle::caption2).monospaced()})
      .with(ui::FlexFrame{compactTimerMaxWidth, ui::centered});
}

ui::View detailsStack(const ContentState& state, const Now& now, ui::Allocator allocator) {
  ui::Views children(allocator);
  children.reserve(4);
  children.push_back(
      ui::text(state.title, allocator).with(ui::FontModifier{ui::font(ui::TextStyle::headline)}));
  if (state.body) {
    children.push_back(ui::text(*state.body, allocator)
                           .with(ui::FontModifier{ui::font(ui::TextStyle::caption)})
                           .with(ui::Opacity{0.9}));
  }
  if (state.detail) {
    children.push_back(ui::text(*state.detail, allocator)
                           .with(ui::FontModifier{ui::font(ui::TextStyle::caption)})
                           .with(ui::Opacity{0.8}));
  }
  children.push_back(actionRowBody(state, now, allocator));
  return ui::vstack(ui::HorizontalAlignment::trailing, 2, std::move(children))
      .with(ui::FlexFrame{std::numeric_limits<double>::infinity(), ui::trailingCentered})
      .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});
}

}  // namespace corvlin
