// render: asks the extension for each activity's presentations, lays them out in the phone's
// frames with the host's fonts (which gives the clipping warnings and, with --format png, the
// snapshots), decides the verdict, and presents what it got.

#include <memory>
#include <optional>
#include <vector>

#include "host/checks/laid_out.hpp"
#include "host/checks/payload_warnings.hpp"
#include "host/cli/commands.hpp"
#include "host/cli/default_activity.hpp"
#include "host/cli/render_output.hpp"
#include "host/cli/render_verdict.hpp"
#include "host/drawing/fonts.hpp"
#include "host/drawing/snapshots.hpp"
#include "host/payload/activity.hpp"
#include "host/process/render.hpp"
#include "host/report/diagnostics.hpp"
#include "host/samples/samples.hpp"
#include "layout/presentations.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

struct LoadedPayload {
  std::string bytes;  // the document, which the warnings read as it was written
  Payload payload;
};

// The payload's activities, or the exit status after saying why there are none.
Result<LoadedPayload, int> loadActivities(const Options& options, double now, Environment& env) {
  if (!options.file) {
    return LoadedPayload{std::string(defaultActivity()), Payload{false, {defaultActivityAt(now)}}};
  }
  auto bytes = loadPayload(options.file, {}, env);
  if (!bytes) return Failure{bytes.error()};
  auto payload = decodePayload(bytes.value());
  if (!payload) {
    env.err << errorLine(payload.error()) << "\n";
    return Failure{int(exitDataError)};
  }
  return LoadedPayload{std::move(bytes).value(), std::move(payload).value()};
}

struct LaidOut {
  std::unique_ptr<drawing::Fonts> fonts;    // absent when the fonts could not be loaded
  std::vector<ActivityLayouts> activities;  // beside the rendered activities
};

// Where an activity's content state stands in the payload: its index in a list, then
// "contentState" in the wrapped form or "aps", "content-state" in an envelope.
CodingPath statePath(const Activity& activity, bool isList, std::size_t index) {
  CodingPath path;
  if (isList) path.emplace_back(index);
  if (activity.wrapped) path.emplace_back(std::string("contentState"));
  if (activity.envelope) {
    path.emplace_back(std::string("aps"));
    path.emplace_back(std::string("content-state"));
  }
  return path;
}

// Lays out every activity of `rendered` that has presentations (for a page, its later answer
// too, for its own instant) and adds the layout's warnings (clipped, truncated, missingGlyph) to
// it: paths start with its index in a list. When the fonts cannot be loaded, says so on standard
// error and lays out nothing.
LaidOut layOutActivities(std::vector<RenderedActivity>& rendered, const Payload& payload,
                         const Options& options, double now, Environment& env) {
  const bool isList = payload.isList;
  LaidOut out;
  out.activities.resize(rendered.size());
  auto fonts = drawing::Fonts::open(drawing::defaultFontFiles());
  if (!fonts) {
    env.err << "corvlin-host: cannot lay out the presentations: " << fonts.error() << "\n";
    return out;
  }
  out.fonts = std::move(fonts).value();
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const auto* views = std::get_if<ui::Presentations>(&rendered[i].outcome);
    if (!views) continue;
    const Activity* activity =
        i < payload.entries.size() && payload.entries[i] ? &payload.entries[i].value() : nullptr;
    const ContentState* state = activity ? &activity->state : nullptr;
    const CodingPath fields = activity ? statePath(*activity, false, i) : CodingPath{};
    out.activities[i].shown =
        layOutAnswer(*views, state, fields, now, options.lockScreenWidth, *out.fonts);
    for (Warning w : out.activities[i].shown->warnings) {
      if (isList) w.codingPath.insert(w.codingPath.begin(), i);
      rendered[i].warnings.push_back(std::move(w));
    }
    if (const auto& later = rendered[i].later; later && options.format == Format::html) {
      out.activities[i].later = layOutAnswer(later->presentations, state, fields, later->at,
                                             options.lockScreenWidth, *out.fonts);
    }
  }
  return out;
}

// Writes the laid-out activities' pictures to the folder `options.out` (a list: its subfolder
// N/): exitOk, or the status after saying why not.
int writeSnapshots(LaidOut& laidOut, bool isList, const Options& options, Environment& env) {
  if (!laidOut.fonts) return exitUnavailable;
  const std::string root = options.out.value_or(".");
  std::vector<std::optional<layout::ActivityLayout>> layouts(laidOut.activities.size());
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    if (const auto& shown = laidOut.activities[i].shown) layouts[i] = shown->layout;
  }
  auto written = drawing::writeSnapshots(layouts, isList, options.scale, *laidOut.fonts, root);
  if (!written) {
    env.err << "corvlin-host: " << written.error().message << "\n";
    switch (written.error().kind) {
      case drawing::SnapshotFailure::Kind::cannotCreate:
        return exitCannotCreate;
      case drawing::SnapshotFailure::Kind::cannotDraw:
        return exitSoftware;
    }
    return exitSoftware;
  }
  env.err << "corvlin-host: wrote the snapshots to " << root << "/\n";
  return exitOk;
}

}  // namespace

int runRender(const Options& options, Environment& env) {
  const double now = options.now.value_or(env.realNow);
  auto loaded = loadActivities(options, now, env);
  if (!loaded) return loaded.error();
  const Payload& payload = loaded.value().payload;

  ExtensionLimits limits;
  if (options.timeoutMs) limits.timeout = std::chrono::milliseconds(*options.timeoutMs);
  const std::string extension = options.extension.value_or(env.defaultExtension);
  // The page switches to the extension's later answer when its own clock reaches that instant.
  auto rendered =
      renderActivities(extension, payload.entries, now, limits, options.format == Format::html);
  auto warnings = payloadWarnings(loaded.value().bytes, payload, Instant{now});
  for (std::size_t i = 0; i < rendered.size(); ++i) rendered[i].warnings = std::move(warnings[i]);
  // The layout tells what the phone cuts off; the snapshots are drawn from it.
  LaidOut laidOut = layOutActivities(rendered, payload, options, now, env);

  const RenderVerdict verdict = decideRender(rendered, payload.isList, options.strict);
  for (const auto& line : verdict.diagnostics) env.err << line << "\n";
  if (!verdict.writesOutput) return verdict.status;
  if (options.format == Format::png) {
    const int drawn = writeSnapshots(laidOut, payload.isList, options, env);
    return drawn != exitOk ? drawn : verdict.status;
  }
  const int written =
      emit(options.out,
           presentRender(rendered, laidOut.activities, payload.isList, options.format, now), env);
  if (written != exitOk) return written;
  if (options.out) env.err << "corvlin-host: wrote " << *options.out << "\n";
  return verdict.status;
}

}  // namespace corvlin::host
