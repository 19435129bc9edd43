// compare: two snapshot folders, picture by picture.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <new>
#include <set>
#include <sstream>
#include <vector>

#include "host/cli/commands.hpp"
#include "host/drawing/png_diff.hpp"
#include "host/files/input.hpp"
#include "host/files/output_folder.hpp"

namespace corvlin::host {
namespace {

namespace fs = std::filesystem;

constexpr int exitSame = 0;
constexpr int exitDiffers = 1;
constexpr int exitCannotCompare = 2;
// A snapshot is well under this; anything larger is not one of ours.
constexpr std::size_t maxPictureBytes = std::size_t{64} << 20;

bool isPngName(const fs::path& name) {
  std::string extension = name.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
}

struct Listing {
  std::set<std::string> names;        // relative to the folder, with '/' between folders
  std::vector<std::string> problems;  // what could not be listed, and why
};

// Every entry named *.png (in any case) under `folder`, at any depth. Links to folders are not
// entered, so no folder is listed twice; anything else of such a name is listed, so that a
// picture that cannot be read is reported rather than passed over.
Listing pictures(const fs::path& folder) {
  Listing listing;
  std::vector<fs::path> pending{fs::path()};
  while (!pending.empty()) {
    const fs::path relative = pending.back();
    pending.pop_back();
    const fs::path here = folder / relative;
    std::error_code error;
    fs::directory_iterator it(here, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      std::error_code typeError;
      const fs::path name = relative / it->path().filename();
      if (it->symlink_status(typeError).type() == fs::file_type::directory) {
        pending.push_back(name);
      } else if (isPngName(name)) {
        listing.names.insert(name.generic_string());
      }
    }
    if (error) listing.problems.push_back("cannot list " + here.string() + ": " + error.message());
  }
  return listing;
}

// The line that says how `name` changed.
std::string changeLine(const std::string& name, const drawing::PixelDiff& diff) {
  std::ostringstream line;
  line << name << ": ";
  if (diff.sizeChanged()) {
    line << "the size changed from " << diff.oldWidth << " x " << diff.oldHeight << " to "
         << diff.newWidth << " x " << diff.newHeight << " pixels; ";
  }
  line << diff.changed << " pixels changed, in the box from (" << diff.left << ", " << diff.top
       << ") to (" << diff.right << ", " << diff.bottom << ")\n";
  return line.str();
}

// Writes the change picture of `name` (folders and file) under the --out folder.
Result<std::monostate, std::string> writeChange(const OutputFolder& out, const std::string& name,
                                                const std::string& picture) {
  std::vector<std::string> parts;
  for (const auto& part : fs::path(name)) parts.push_back(part.string());
  std::vector<OutputFolder> folders;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    auto made = (folders.empty() ? out : folders.back()).subfolder(parts[i]);
    if (!made) return Failure{std::move(made).error()};
    folders.push_back(std::move(made).value());
  }
  return (folders.empty() ? out : folders.back()).replace(parts.back(), picture);
}

// What comparing one picture found: its line for standard output, or a message for standard
// error, or neither when it matched.
struct PictureVerdict {
  std::string line;
  std::string trouble;
  std::string picture;
};

PictureVerdict comparePicture(const fs::path& before, const fs::path& after,
                              const std::string& name, int tolerance, bool withPicture) {
  auto a = readRegularFile((before / name).string(), maxPictureBytes);
  if (!a) return {"", a.error().message, ""};
  auto b = readRegularFile((after / name).string(), maxPictureBytes);
  if (!b) return {"", b.error().message, ""};
  auto result = drawing::comparePng(a.value(), b.value(), tolerance, withPicture);
  if (const auto* failure = std::get_if<drawing::DiffFailure>(&result)) {
    return {"", name + ": " + failure->message, ""};
  }
  auto& diff = std::get<drawing::PixelDiff>(result);
  if (diff.changed == 0) return {};
  return {changeLine(name, diff), "", std::move(diff.picture)};
}

}  // namespace

int runCompare(const Options& options, Environment& env) {
  const fs::path before = options.folders.at(0);
  const fs::path after = options.folders.at(1);
  for (const auto& folder : {before, after}) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
      env.err << "corvlin-host: compare: " << folder.string() << " is not a folder\n";
      return exitCannotCompare;
    }
  }
  const int tolerance = static_cast<int>(options.tolerance.value_or(0));
  Listing old = pictures(before);
  Listing now = pictures(after);
  std::optional<OutputFolder> out;
  if (options.out) {
    auto opened = OutputFolder::open(*options.out);
    if (!opened) {
      env.err << "corvlin-host: " << opened.error() << "\n";
      return exitCannotCreate;
    }
    out.emplace(std::move(opened).value());
  }

  bool differs = false;
  bool trouble = false;
  bool unwritten = false;
  for (const auto* listing : {&old, &now}) {
    for (const auto& problem : listing->problems) {
      env.err << "corvlin-host: compare: " << problem << "\n";
      trouble = true;
    }
  }
  std::set<std::string> names = old.names;
  names.insert(now.names.begin(), now.names.end());
  std::ostringstream report;
  for (const auto& name : names) {
    const bool inOld = old.names.count(name) != 0;
    const bool inNew = now.names.count(name) != 0;
    if (!inOld || !inNew) {
      report << name << ": only in " << (inOld ? before : after).string() << "\n";
      differs = true;
      continue;
    }
    PictureVerdict verdict;
    try {
      verdict = comparePicture(before, after, name, tolerance, out.has_value());
    } catch (const std::bad_alloc&) {
      verdict.trouble = name + ": out of memory";
    }
    if (!verdict.trouble.empty()) {
      env.err << "corvlin-host: compare: " << verdict.trouble << "\n";
      trouble = true;
      continue;
    }
    if (verdict.line.empty()) continue;
    differs = true;
    report << verdict.line;
    if (out && !verdict.picture.empty()) {
      if (auto written = writeChange(*out, name, verdict.picture); !written) {
        env.err << "corvlin-host: " << written.error() << "\n";
        unwritten = true;
      }
    }
  }
  if (const int written = emit(std::nullopt, report.str(), env); written != exitOk) return written;
  if (unwritten) return exitCannotCreate;
  if (trouble) return exitCannotCompare;
  return differs ? exitDiffers : exitSame;
}

}  // namespace corvlin::host
