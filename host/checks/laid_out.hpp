// One answer of the extension laid out in the phone's frames, with what that layout warns of:
// the one layout behind the snapshots, the layout warnings and every page.
#pragma once

#include <memory>
#include <vector>

#include "host/checks/warning.hpp"
#include "layout/presentations.hpp"

namespace corvlin::host {

// The presentations and their layout, kept together: the layout's nodes point into `views`, so
// the record is made in place and never copied or moved (hold it by the pointer layOutAnswer
// gives).
struct LaidOutAnswer {
  ui::Presentations views;
  double at = 0;  // the instant the timers' texts were laid out for
  double lockScreenWidth = layout::defaultLockScreenWidth;
  layout::ActivityLayout layout;
  std::vector<Warning> warnings;  // what the phone cuts off, paths from the content state's root

  explicit LaidOutAnswer(ui::Presentations v) : views(std::move(v)) {}
  LaidOutAnswer(const LaidOutAnswer&) = delete;
  LaidOutAnswer& operator=(const LaidOutAnswer&) = delete;
};

// `views` laid out for the instant `now` (the timers show their text of that instant), the lock
// screen `lockScreenWidth` wide, measured with `measurer`.
std::shared_ptr<const LaidOutAnswer> layOutAnswer(const ui::Presentations& views, double now,
                                                  double lockScreenWidth,
                                                  layout::TextMeasurer& measurer);

}  // namespace corvlin::host
