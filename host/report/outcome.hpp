// What became of an activity or of a replay's step: the outcome each writer reports.
#pragma once

#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "host/warning/warning.hpp"
#include "json/error.hpp"
#include "protocol/extension_failure.hpp"
#include "toolkit/view.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host {

using protocol::ExtensionFailure;

// What became of one activity: its presentations; the decoding error that the payload or the
// extension gave; or how the extension misbehaved.
using ActivityOutcome = std::variant<ui::Presentations, DecodingError, ExtensionFailure>;

struct RenderedActivity {
  ActivityOutcome outcome;

  // The extension's answer at the next instant where it changes, when it was asked for.
  struct Later {
    double at = 0;
    ui::Presentations presentations;
  };
  std::optional<Later> later;
  std::vector<Warning> warnings;  // what the phone would show differently from what was meant
};

// An activity with this outcome and nothing more.
inline RenderedActivity renderedAs(ActivityOutcome outcome) {
  RenderedActivity activity;
  activity.outcome = std::move(outcome);
  return activity;
}

// A step of a replay and what it showed.
struct ReplayedStep {
  updates::Step step;
  // The warnings of the step's own record, paths from the record's root; none for a time step.
  std::vector<Warning> warnings;
  // The extension's answer for what is shown after the step, rendered with now = step.at;
  // absent when nothing is visible.
  std::optional<RenderedActivity> rendered;
  // The extension had been given up on before this visible step, which was not asked for: its
  // failure says so.
  bool notAsked = false;
};

}  // namespace corvlin::host
