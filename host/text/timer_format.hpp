// How the host shows a timer text at an instant: M:SS under an hour, H:MM:SS from an hour.
#pragma once

#include <string>

#include "toolkit/view.hpp"

namespace corvlin::host {

// The text a TimerText shows at `now`: time left until `upper` when counting down (never
// below "0:00", which it reaches exactly at `upper`), time passed since `lower` when counting up.
std::string timerTextAt(const ui::TimerText& timer, double now);

}  // namespace corvlin::host
