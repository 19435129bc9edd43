#include "host/cli/snapshots.hpp"

#include <filesystem>

#include "host/checks/clipping.hpp"
#include "host/cli/output.hpp"
#include "host/drawing/draw.hpp"
#include "host/text/timer_format.hpp"

namespace corvlin::host {
namespace {

// Makes the folder, and those above it, unless it is one already; the message says why not.
std::optional<std::string> makeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!error && std::filesystem::is_directory(path, error)) return std::nullopt;
  return "cannot create the folder " + path + ": " +
         (error ? error.message() : std::string("it is not a folder"));
}

}  // namespace

LaidOut layOutActivities(std::vector<RenderedActivity>& rendered, bool isList,
                         const Options& options, double now, Environment& env) {
  LaidOut out;
  auto fonts = drawing::Fonts::open(drawing::defaultFontFiles());
  if (!fonts) {
    env.err << "corvlin-host: cannot lay out the presentations: " << fonts.error() << "\n";
    return out;
  }
  out.fonts = std::move(fonts).value();
  layout::Options layoutOptions;
  layoutOptions.timerText = [now](const ui::TimerText& t) { return timerTextAt(t, now); };
  out.activities.resize(rendered.size());
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const auto* views = std::get_if<ui::Presentations>(&rendered[i].outcome);
    if (!views) continue;
    out.activities[i] =
        drawing::layoutActivity(*views, options.lockScreenWidth, *out.fonts, layoutOptions);
    CodingPath path;
    if (isList) path.emplace_back(i);
    for (auto& w : clippingWarnings(*out.activities[i], path)) {
      rendered[i].warnings.push_back(std::move(w));
    }
  }
  return out;
}

int writeSnapshots(LaidOut& laidOut, bool isList, const Options& options, Environment& env) {
  if (!laidOut.fonts) return exitUnavailable;
  const std::string root = options.out.value_or(".");
  if (auto failed = makeFolder(root)) {
    env.err << "corvlin-host: " << *failed << "\n";
    return exitCannotCreate;
  }
  for (std::size_t i = 0; i < laidOut.activities.size(); ++i) {
    const auto& activity = laidOut.activities[i];
    if (!activity) continue;
    std::string folder = root;
    if (isList) {
      folder += "/" + std::to_string(i);
      if (auto failed = makeFolder(folder)) {
        env.err << "corvlin-host: " << *failed << "\n";
        return exitCannotCreate;
      }
    }
    auto pictures = drawing::drawActivity(*activity, options.scale, *laidOut.fonts);
    if (!pictures) {
      env.err << "corvlin-host: " << pictures.error() << "\n";
      return exitSoftware;
    }
    for (const auto& picture : pictures.value()) {
      const std::string path = folder + "/" + picture.file;
      if (auto written = replaceFile(path, picture.png); !written) {
        env.err << "corvlin-host: " << written.error() << "\n";
        return exitCannotCreate;
      }
    }
  }
  env.err << "corvlin-host: wrote the snapshots to " << root << "/\n";
  return exitOk;
}

}  // namespace corvlin::host
