// One answer of the extension laid out in the phone's frames, with what that layout warns of:
// the one layout behind the snapshots, the layout warnings and every page.
#pragma once

#include <memory>
#include <vector>

#include "host/checks/warning.hpp"
#include "layout/presentations.hpp"
#include "model/records.hpp"

namespace corvlin::host {

// The presentations and their layout, kept together: the layout's nodes point into `views`, so
// the record is made in place and never copied or moved (hold it by the pointer layOutAnswer
// gives).
struct LaidOutAnswer {
  ui::Presentations views;
  double at = 0;  // the instant the timers' texts were laid out for
  double lockScreenWidth = layout::defaultLockScreenWidth;
  layout::ActivityLayout layout;
  // What the phone cuts off (clipped), ends in "…" (truncated) and cannot draw (missingGlyph):
  // the clipped warnings' paths empty, the texts' from the root of the content state's document.
  std::vector<Warning> warnings;

  explicit LaidOutAnswer(ui::Presentations v) : views(std::move(v)) {}
  LaidOutAnswer(const LaidOutAnswer&) = delete;
  LaidOutAnswer& operator=(const LaidOutAnswer&) = delete;
};

// `views` laid out for the instant `now` (the timers show their text of that instant), the lock
// screen and the expanded island `lockScreenWidth` wide, measured with `measurer`. The texts'
// warnings name the field of `state` they show (when it is known), from `statePath`, where the
// content state stands in its document.
std::shared_ptr<const LaidOutAnswer> layOutAnswer(const ui::Presentations& views,
                                                  const ContentState* state,
                                                  const CodingPath& statePath, double now,
                                                  double lockScreenWidth,
                                                  layout::TextMeasurer& measurer);

}  // namespace corvlin::host
