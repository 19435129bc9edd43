// corvlin-host serve --watch over a real folder: each save, the file as it stands at the start, and
// files and folders put in its way, which must neither end nor stall the server and are each said
// on the page's log and on standard error.
#include <gtest/gtest.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// An editor's save: the contents written beside the file, then renamed onto it.
void saveByRename(const fs::path& file, const std::string& contents) {
  const fs::path temporary = file.parent_path() / ("." + file.filename().string() + ".swp");
  std::ofstream(temporary, std::ios::binary) << contents;
  fs::rename(temporary, file);
}

TEST(ServeWatch, PostsEachSaveOfTheWatchedFile) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("corvlin-watch-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto file = folder / "activity.json";
  ServeProcess serve({"--watch", file.string()});
  EventReader events(serve.port());
  struct Case {
    const char* name;
    std::string contents;
    const char* title;  // expected in the drawing
  };
  const std::vector<Case> cases = {
      {"content state, written in place", R"({"title":"Saved once"})", "Saved once"},
      {"wrapped form, saved by rename",
       R"({"attributes":{"kind":"delivery","activityId":"A1"},"contentState":{"title":"Renamed"}})",
       "Renamed"},
      {"envelope",
       R"({"aps":{"event":"update","timestamp":4102444800,"content-state":{"title":"Envelope"}}})",
       "Envelope"},
  };
  bool rename = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (rename) {
      const auto temporary = folder / ".activity.json.swp";
      std::ofstream(temporary) << c.contents;
      std::filesystem::rename(temporary, file);
    } else {
      // An editor's burst: truncate, then write in pieces; one push follows.
      std::ofstream out(file);
      out << c.contents.substr(0, 5) << std::flush;
      out << c.contents.substr(5);
    }
    rename = !rename;
    const std::string event = events.next();
    EXPECT_EQ(member(event, {"token"}), "0");
    EXPECT_EQ(member(event, {"step", "outcome"}), "applied");
    EXPECT_NE(member(events.nextDrawing(), {"html"}).find(c.title), std::string::npos);
  }
  std::filesystem::remove_all(folder);
}

TEST(ServeWatch, PostsTheFileAsItStandsAtTheStart) {
  Scratch scratch("watch-start");
  const fs::path file = scratch.root / "activity.json";
  std::ofstream(file) << R"({"title":"As it stood"})";
  ServeProcess serve({"--watch", file.string()});
  // The file is posted before any request is taken, so this older update finds the activity
  // it started: ignored. Were the file not posted, the update would start the activity.
  const Answer answer =
      push(serve.port(), "0",
           R"({"aps":{"event":"update","timestamp":1000,"content-state":{"title":"Older"}}})");
  EXPECT_EQ(answer.status, 200u);
  EXPECT_EQ(member(answer.body, {"outcome"}), "ignored") << answer.body;
  EXPECT_EQ(member(answer.body, {"reason"}), "older than the last update");
  // Drawn behind the answers: the page shows it once its drawing has ended.
  bool shown = false;
  for (int attempt = 0; attempt < 200 && !shown; ++attempt) {
    shown = send(serve.port(), "GET", "/").body.find("As it stood") != std::string::npos;
    if (!shown) ::usleep(50'000);
  }
  EXPECT_TRUE(shown);
}

// Each case puts something in the file's way, and is then followed by a good save (into the
// folder made again where it was removed), which must be posted: the server neither died nor
// stalled, and the watch goes on.
TEST(ServeWatch, NoFileOrFolderInTheWayEndsOrStallsTheServerAndEachIsSaid) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& folder, const fs::path& file)> act;
    std::vector<std::string> said;       // log details, in part and in order, after `act`
    std::vector<std::string> saidAfter;  // and after the good save
  };
  const std::vector<Case> cases = {
      {"a link to /dev/zero renamed onto the file (once read whole until memory ran out)",
       [](const fs::path& folder, const fs::path& file) {
         fs::create_symlink("/dev/zero", folder / "zero");
         fs::rename(folder / "zero", file);
       },
       {"activity.json' is a character device, not a regular file; it was not read"},
       {}},
      {"a FIFO renamed onto the file (once opened, blocking the event loop)",
       [](const fs::path& folder, const fs::path& file) {
         ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
         fs::rename(folder / "fifo", file);
       },
       {"activity.json' is a FIFO, not a regular file; it was not read"},
       {}},
      {"a file larger than a push may hold, though what it holds would fit (once posted whole)",
       [](const fs::path&, const fs::path& file) {
         saveByRename(file, R"({"title":"Padded"})" + std::string(5000, ' '));
       },
       {"payloadTooLarge at <top level>: The body is 4097 bytes; the push service refuses "
        "bodies over 4096 bytes."},
       {}},
      {"the folder removed, then made again (once the silent end of the watch)",
       [](const fs::path& folder, const fs::path&) { fs::remove_all(folder); },
       {"/watched' was removed or moved away; its saves are posted again once it is back"},
       {"/watched' is back; watching it again"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch("watch-faults");
    const fs::path folder = scratch.root / "watched";
    const fs::path file = folder / "activity.json";
    const fs::path errors = scratch.root / "stderr";
    fs::create_directories(folder);
    ServeProcess serve({"--watch", file.string()}, {}, errors.string());
    EventReader events(serve.port());
    std::vector<std::string> notes;  // what the watch said of itself, from the events
    // Reads events until one whose log detail holds `part`, or a drawing with `title`.
    const auto waitFor = [&](const std::string& part, const std::string& title) {
      for (std::string event = events.next(); !event.empty(); event = events.next()) {
        const std::string detail = member(event, {"log", "detail"});
        if (member(event, {"log", "outcome"}) == "watch") notes.push_back(detail);
        if (!part.empty() && detail.find(part) != std::string::npos) return true;
        if (!title.empty() && !member(event, {"drawn"}).empty() &&
            member(event, {"html"}).find(title) != std::string::npos) {
          return true;
        }
      }
      return false;
    };
    c.act(folder, file);
    bool heard = true;
    for (const std::string& part : c.said) {
      heard = heard && waitFor(part, "");
      EXPECT_TRUE(heard) << "never said: " << part;
    }
    if (!heard) continue;
    fs::create_directories(folder);
    saveByRename(file, R"({"title":"Saved after"})");
    for (const std::string& part : c.saidAfter) {
      EXPECT_TRUE(waitFor(part, "")) << "never said: " << part;
    }
    EXPECT_TRUE(waitFor("", "Saved after")) << "the save after it was not posted";
    const std::string standardError = readAll(errors);
    for (const std::string& note : notes) {
      EXPECT_NE(standardError.find("corvlin-host: --watch: " + note + "\n"), std::string::npos)
          << note << " is not on standard error:\n"
          << standardError;
    }
  }
}

}  // namespace
}  // namespace corvlin::test
