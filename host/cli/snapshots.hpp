// render's layout pass: each activity the extension drew is laid out in the phone's frames with
// the host's fonts, which gives its clipping warnings and, with --format png, its snapshots.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "host/cli/commands.hpp"
#include "host/drawing/fonts.hpp"
#include "host/drawing/presentation_layout.hpp"
#include "host/process/render.hpp"

namespace corvlin::host {

struct LaidOut {
  std::unique_ptr<drawing::Fonts> fonts;  // absent when the fonts could not be loaded
  std::vector<std::optional<drawing::ActivityLayout>> activities;  // absent: nothing drawn
};

// Lays out every activity of `rendered` that has presentations and adds its clipping warnings
// to it (paths start with its index in a list). When the fonts cannot be loaded, says so on
// standard error and lays out nothing. `rendered` must outlive the result.
LaidOut layOutActivities(std::vector<RenderedActivity>& rendered, bool isList,
                         const Options& options, double now, Environment& env);

// Writes each laid-out activity's four pictures to the folder `options.out` (a list: its
// subfolder N/), each file replaced atomically: exitOk, or the status after saying why not.
int writeSnapshots(LaidOut& laidOut, bool isList, const Options& options, Environment& env);

}  // namespace corvlin::host
