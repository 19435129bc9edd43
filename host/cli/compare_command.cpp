// compare: two snapshot folders, picture by picture.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "host/cli/commands.hpp"
#include "host/drawing/png_diff.hpp"
#include "host/files/output.hpp"

namespace corvlin::host {
namespace {

namespace fs = std::filesystem;

constexpr int exitSame = 0;
constexpr int exitDiffers = 1;
constexpr int exitCannotCompare = 2;
// A snapshot is well under this; anything larger is not one of ours.
constexpr std::uintmax_t maxPictureBytes = 64u << 20;
// A list's pictures stand one folder down; nothing deeper is read.
constexpr int maxDepth = 3;

// The PNG files under `folder`, as paths relative to it.
std::set<std::string> pictures(const fs::path& folder) {
  std::set<std::string> out;
  std::error_code error;
  fs::recursive_directory_iterator it(folder, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it.depth() >= maxDepth) it.disable_recursion_pending();
    if (it->is_regular_file(error) && it->path().extension() == ".png") {
      out.insert(fs::relative(it->path(), folder, error).generic_string());
    }
  }
  return out;
}

// The file's bytes, or a message saying why they cannot be read.
Result<std::string, std::string> readPicture(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) return Failure{"cannot read " + path.string() + ": " + error.message()};
  if (size > maxPictureBytes) return Failure{path.string() + " is larger than 64 MiB"};
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
    return Failure{"cannot read " + path.string()};
  }
  return bytes;
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
  std::set<std::string> names = pictures(before);
  const std::set<std::string> newNames = pictures(after);
  names.insert(newNames.begin(), newNames.end());
  if (options.out) {
    std::error_code error;
    fs::create_directories(*options.out, error);
    if (error) {
      env.err << "corvlin-host: cannot create the folder " << *options.out << ": "
              << error.message() << "\n";
      return exitCannotCreate;
    }
  }

  int status = exitSame;
  std::ostringstream report;
  for (const auto& name : names) {
    const bool inOld = fs::exists(before / name);
    const bool inNew = fs::exists(after / name);
    if (!inOld || !inNew) {
      report << name << ": only in " << (inOld ? before : after).string() << "\n";
      status = exitDiffers;
      continue;
    }
    auto a = readPicture(before / name);
    auto b = readPicture(after / name);
    if (!a || !b) {
      env.err << "corvlin-host: compare: " << (!a ? a.error() : b.error()) << "\n";
      return exitCannotCompare;
    }
    auto result = drawing::comparePng(a.value(), b.value(), tolerance, options.out.has_value());
    if (const auto* failure = std::get_if<drawing::DiffFailure>(&result)) {
      env.err << "corvlin-host: compare: " << name << ": " << failure->message << "\n";
      return exitCannotCompare;
    }
    const auto& diff = std::get<drawing::PixelDiff>(result);
    if (diff.changed == 0) continue;
    status = exitDiffers;
    report << name << ": " << diff.changed << " pixels changed, in the box from (" << diff.left
           << ", " << diff.top << ") to (" << diff.right << ", " << diff.bottom << ")\n";
    if (options.out) {
      const fs::path target = fs::path(*options.out) / name;
      std::error_code error;
      fs::create_directories(target.parent_path(), error);
      if (auto written = replaceFile(target.string(), diff.picture); !written) {
        env.err << "corvlin-host: " << written.error() << "\n";
        return exitCannotCreate;
      }
    }
  }
  if (const int written = emit(std::nullopt, report.str(), env); written != exitOk) return written;
  return status;
}

}  // namespace corvlin::host
