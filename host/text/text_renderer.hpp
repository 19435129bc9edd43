// The text sketch of the presentations, for people: one line per view, nested by indentation.
#pragma once

#include <string>

#include "views/toolkit/view.hpp"

namespace corvlin::host {

// Texts as drawn, colours named by tone, buttons with their deep links, and timers as the
// host shows them at `now` (seconds since 1970).
std::string renderText(const ui::Presentations& presentations, double now);
std::string renderText(const ui::View& view, double now);

// "amber (warning)", "white 75%", or the components for a colour without a name.
std::string colorName(const ui::Color& color);

}  // namespace corvlin::host
