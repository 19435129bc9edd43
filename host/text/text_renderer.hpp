// The text sketch of the presentations, for people: one line per view, nested by indentation.
#pragma once

#include <string>

#include "toolkit/view.hpp"

namespace corvlin::host {

// Texts as drawn, the toolkit's named colours by name, buttons with their deep links, and timers as
// the host shows them at `now` (seconds since 1970).
std::string renderText(const ui::Presentations& presentations, double now);
std::string renderText(const ui::View& view, double now);

// "white", "black 75%": the toolkit's name; the components for any other colour, such as
// "rgb(1, 0.62, 0.11)" (the extension's palette is its own, and this host does not know it).
std::string colorName(const ui::Color& color);

}  // namespace corvlin::host
