#include "views/lock_screen_view.hpp"

#include <cmath>
#include <limits>

#include "views/action_row.hpp"
#include "views/palette.hpp"
#include "views/timer_view.hpp"

namespace corvlin {

namespace {

ui::View textColumn(const ContentState& state, const Now& now, ui::Allocator allocator) {
  ui::Views children(allocator);
  children.reserve(4);
  children.push_back(ui::text(state.title, allocator)
                         .with(ui::FontModifier{ui::font(ui::TextStyle::headline)})
                         .with(ui::ForegroundColor{ui::white}));
  if (state.body) {
    children.push_back(ui::text(*state.body, allocator)
                           .with(ui::FontModifier{ui::font(ui::TextStyle::subheadline)})
                           .with(ui::ForegroundColor{ui::white.withOpacity(0.75)}));
  }
  if (state.detail) {
    children.push_back(ui::text(*state.detail, allocator)
                           .with(ui::FontModifier{ui::font(ui::TextStyle::caption)})
                           .with(ui::ForegroundColor{ui::white.withOpacity(0.6)}));
  }
  // The row is placed, padded, even when it draws nothing.
  children.push_back(actionRowBody(state, now, allocator).with(ui::Padding{ui::top, 4}));
  return ui::vstack(ui::HorizontalAlignment::trailing, 4, std::move(children))
      .with(ui::FlexFrame{std::numeric_limits<double>::infinity(), ui::trailingCentered});
}

ui::View progressRing(const ContentState& state, const Now& now, ui::Allocator allocator) {
  ui::View track = ui::circle(allocator).with(ui::Stroke{ui::white.withOpacity(0.15),
                                                         ringLineWidth,
                                                         ui::LineCap::butt,
                                                         ui::LineJoin::miter,
                                                         10,
                                                         {},
                                                         0});
  // The circle's path starts at its rightmost point; turning it back a quarter starts the arc
  // at the top.
  ui::View arc = ui::circle(allocator)
                     .with(ui::Trim{0, ringProgress(state.progress)})
                     .with(ui::Stroke{toneColor(state.tone),
                                      ringLineWidth,
                                      ui::LineCap::round,
                                      ui::LineJoin::miter,
                                      10,
                                      {},
                                      0})
                     .with(ui::RotationEffect{-90, {0.5, 0.5}});
  ui::View timer =
      timerBody(state, now, allocator)
          .with(ui::FontModifier{
              ui::font(ui::TextStyle::caption).monospaced().withWeight(ui::FontWeight::semibold)})
          .with(ui::ForegroundColor{ui::white});
  return ui::zstack(ui::centered, ui::viewList(std::move(track), std::move(arc), std::move(timer)))
      .with(ui::Frame{ringDiameter, ringDiameter, ui::centered});
}

}  // namespace

double ringProgress(std::optional<double> progress) {
  if (!progress || !std::isfinite(*progress)) return 1;
  const double c = *progress <= 0 ? 0 : *progress;
  return c > 1 ? 1 : c;
}

ui::View lockScreenBody(const ContentState& state, const Now& now, ui::Allocator allocator) {
  return ui::hstack(
             ui::VerticalAlignment::center, 14,
             ui::viewList(textColumn(state, now, allocator), progressRing(state, now, allocator)))
      .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});
}

ui::View LockScreenView::body(const Now& now) const { return lockScreenBody(state, now); }

}  // namespace corvlin
