// compare as a user runs it: its statuses and lines for the changes people make (a picture that
// grew, one added or removed, one deep in a folder), every differing picture listed whatever else
// failed, a picture it cannot read named with why, and never a match when memory runs out.
#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/drawing/png_diff.hpp"
#include "host/snapshot_folders.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A PNG of one opaque colour; RGB24 is written without alpha.
std::string solidPng(int width, int height, double r, double g, double b,
                     cairo_format_t format = CAIRO_FORMAT_ARGB32) {
  cairo_surface_t* surface = cairo_image_surface_create(format, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::string png;
  EXPECT_EQ(cairo_surface_write_to_png_stream(surface, append, &png), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(surface);
  return png;
}

TEST(Compare, ExitStatusAndOneLinePerDifferingPicture) {
  const Scratch scratch;
  const std::string old = scratch / "old";
  ASSERT_EQ(snapshot(old).status, 0);
  ASSERT_EQ(snapshot(scratch / "same").status, 0);
  // Ten seconds on, the timer texts differ; the dots do not.
  ASSERT_EQ(snapshot(scratch / "later", {"--now", "1767225520"}).status, 0);
  ASSERT_EQ(snapshot(scratch / "wide", {"--width", "408"}).status, 0);
  ASSERT_EQ(snapshot(scratch / "fewer").status, 0);
  fs::remove(fs::path(scratch / "fewer") / "island-minimal.png");
  // The later pictures, one of which cannot be read.
  fs::copy(scratch / "later", scratch / "mixed");
  writeBytes(fs::path(scratch / "mixed") / "lock-screen.png", "not a picture");
  // The same pictures, one of them a FIFO: named, and never waited on.
  ASSERT_EQ(snapshot(scratch / "fifo").status, 0);
  const fs::path fifo = fs::path(scratch / "fifo") / "island-compact.png";
  fs::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A header that claims 100000 x 100000 pixels: refused before anything is decoded.
  fs::copy(old, scratch / "huge");
  writeBytes(
      fs::path(scratch / "huge") / "lock-screen.png",
      std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0", 29));
  // Pictures deep in folders, whatever the case of their names.
  const std::string deep = "a/b/c/d/e/Lock-Screen.PNG";
  writeBytes(fs::path(scratch / "deep-old") / deep, bytesOf(fs::path(old) / "lock-screen.png"));
  writeBytes(fs::path(scratch / "deep-new") / deep,
             bytesOf(fs::path(scratch / "later") / "lock-screen.png"));

  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> out;  // parts of standard output, in order; none: it is empty
    std::string err;               // a part of standard error
  };
  const Case cases[] = {
      {"the same pictures", {"compare", old, scratch / "same"}, 0, {}, ""},
      {"a later timer",
       {"compare", old, scratch / "later"},
       1,
       {"island-compact.png: ", " pixels changed, in the box from (",
        "island-expanded.png: ", "lock-screen.png: "},
       ""},
      {"within a tolerance of every channel",
       {"compare", old, scratch / "later", "--tolerance", "255"},
       0,
       {},
       ""},
      {"another size is a difference that says both sizes",
       {"compare", old, scratch / "wide"},
       1,
       {"lock-screen.png: the size changed from 1113 x ", " to 1224 x ", " pixels; "},
       ""},
      {"a picture the new folder lacks",
       {"compare", old, scratch / "fewer"},
       1,
       {"island-minimal.png: only in " + old + "\n"},
       ""},
      {"a picture only the new folder has",
       {"compare", scratch / "fewer", old},
       1,
       {"island-minimal.png: only in " + old + "\n"},
       ""},
      {"every differing picture is listed beside one that cannot be read",
       {"compare", old, scratch / "mixed"},
       2,
       {"island-compact.png: ", "island-expanded.png: "},
       "corvlin-host: compare: lock-screen.png: the new picture is not a readable PNG"},
      {"a FIFO of a picture's name",
       {"compare", old, scratch / "fifo"},
       2,
       {},
       "corvlin-host: compare: cannot read " + fifo.string() +
           ": it is a FIFO, not a regular file\n"},
      {"a picture too large to decode",
       {"compare", old, scratch / "huge"},
       2,
       {},
       "the new picture claims 10000000000 pixels, more than 64 Mpixels"},
      {"at any depth, whatever the case of .png",
       {"compare", scratch / "deep-old", scratch / "deep-new"},
       1,
       {deep + ": "},
       ""},
      {"a missing folder", {"compare", old, scratch / "nowhere"}, 2, {}, "nowhere is not a folder"},
      {"one folder", {"compare", old}, 64, {}, "two snapshot folders"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    if (c.out.empty()) {
      EXPECT_EQ(run.out, "");
    }
    std::size_t at = 0;
    for (const auto& part : c.out) {
      at = run.out.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << " in\n" << run.out;
    }
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
  const HostRun later = runHost({"compare", old, scratch / "later"});
  EXPECT_EQ(later.out.find("island-minimal.png"), std::string::npos) << later.out;
}

TEST(Compare, PicturesOfOneWidthAndTwoHeightsAreADifferenceDrawnSideBySide) {
  const Scratch scratch;
  // The same red where both have pixels; only the new one's last 20 rows are new.
  writeBytes(fs::path(scratch / "old") / "tall.png", solidPng(40, 30, 1, 0, 0));
  writeBytes(fs::path(scratch / "new") / "tall.png", solidPng(40, 50, 1, 0, 0));
  const HostRun run =
      runHost({"compare", scratch / "old", scratch / "new", "--out", scratch / "diff"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "tall.png: the size changed from 40 x 30 to 40 x 50 pixels; 800 pixels changed, in "
            "the box from (0, 30) to (39, 49)\n");
  EXPECT_EQ(run.err, "");
  // Shrinking is the same change the other way.
  EXPECT_EQ(runHost({"compare", scratch / "new", scratch / "old"}).out,
            "tall.png: the size changed from 40 x 50 to 40 x 30 pixels; 800 pixels changed, in "
            "the box from (0, 30) to (39, 49)\n");

  // Old at the left, new at the right, 24 pixels apart on white.
  const std::string picture = bytesOf(fs::path(scratch / "diff") / "tall.png");
  struct Pixel {
    const char* name;
    int x, y;
    std::array<int, 4> rgba;
  };
  const std::array<int, 4> dimRed{87, 24, 24, 255}, red{255, 0, 0, 255}, white{255, 255, 255, 255},
      magenta{255, 0, 200, 255};
  const Pixel pixels[] = {
      {"the old picture, unchanged, dimmed", 5, 5, dimRed},
      {"below the old picture", 5, 40, white},
      {"between the two", 50, 10, white},
      {"the new picture, unchanged, dimmed", 64 + 5, 5, dimRed},
      {"the new picture's new rows, as they are", 64 + 5, 40, red},
      {"the box's outline on the new picture", 64, 40, magenta},
      {"the box's outline below the old picture", 0, 40, magenta},
      {"the last pixel", 64 + 39, 49, magenta},
  };
  for (const auto& p : pixels) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(host::drawing::pixelAt(picture, p.x, p.y), p.rgba);
  }
  EXPECT_FALSE(host::drawing::pixelAt(picture, 104, 0).has_value()) << "104 pixels wide";
  EXPECT_TRUE(host::drawing::pixelAt(picture, 103, 49).has_value()) << "50 pixels tall";
}

TEST(Compare, OutReplacesALinkOrAFifoOfAChangeAndWritesOnlyChanges) {
  const Scratch scratch;
  ASSERT_EQ(snapshot(scratch / "old").status, 0);
  ASSERT_EQ(snapshot(scratch / "new", {"--now", "1767225520"}).status, 0);
  const fs::path diff = scratch / "diff";
  fs::create_directories(diff);
  writeBytes(scratch.root / "victim", "kept");
  fs::create_symlink(scratch.root / "victim", diff / "island-compact.png");
  ASSERT_EQ(::mkfifo((diff / "lock-screen.png").c_str(), 0600), 0);
  const HostRun run = runHost({"compare", scratch / "old", scratch / "new", "--out", diff});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(bytesOf(scratch.root / "victim"), "kept");
  for (const char* name : {"island-compact.png", "lock-screen.png"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(diff / name)));
    EXPECT_TRUE(host::drawing::pixelAt(bytesOf(diff / name), 0, 0).has_value());
  }
  EXPECT_FALSE(fs::exists(diff / "island-minimal.png"));
}

// The pictures' memory is bounded under ASan by its own means, not by RLIMIT_AS.
#if defined(__SANITIZE_ADDRESS__)
#define CORVLIN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVLIN_UNDER_ASAN 1
#endif
#endif

TEST(Compare, RunningOutOfMemoryIsTroubleNeverAMatch) {
#ifdef CORVLIN_UNDER_ASAN
  GTEST_SKIP() << "a limit on address space cannot be set under AddressSanitizer";
#else
  const Scratch scratch;
  // Each picture takes 256 MiB decoded, and as much again to convert it to pixels with alpha.
  writeBytes(fs::path(scratch / "old") / "big.png",
             solidPng(8192, 8192, 0, 0, 0, CAIRO_FORMAT_RGB24));
  writeBytes(fs::path(scratch / "new") / "big.png",
             solidPng(8192, 8192, 1, 1, 1, CAIRO_FORMAT_RGB24));
  HostSetup setup;
  setup.memoryLimit = 400L << 20;
  const HostRun run = runHost({"compare", scratch / "old", scratch / "new"}, setup);
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("corvlin-host: compare: big.png: out of memory ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("(8192 x 8192 pixels)"), std::string::npos) << run.err;
#endif
}

}  // namespace
}  // namespace corvlin::test
