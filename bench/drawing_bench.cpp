// corvlin-bench-drawing: what render --format png spends on the default activity, per
// presentation: opening the fonts (fontconfig and Pango), laying each presentation out with
// the fonts' widths already kept, drawing it at 3x with its PNG, and all of it for the four
// snapshots together.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/payloads.hpp"
#include "extension/widget.hpp"
#include "host/drawing/draw.hpp"
#include "host/drawing/fonts.hpp"
#include "host/text/timer_format.hpp"
#include "layout/presentations.hpp"

namespace corvlin::bench {
namespace {

using host::drawing::Fonts;
using layout::ActivityLayout;

struct Fixture {
  ui::Presentations views;
  std::unique_ptr<Fonts> fonts;
  layout::Options options;

  Fixture() {
    const ActivityViewContext context{{"delivery", "A42"}, defaultActivityState()};
    const double now = defaultActivityNow().timeIntervalSince1970;
    views = presentations(CorvlinLiveActivityWidget{}.body(), context, fixedNow({now}));
    fonts = Fonts::open(host::drawing::defaultFontFiles()).value();
    options.timerText = [now](const ui::TimerText& t) { return host::timerTextAt(t, now); };
  }
  layout::ActivityLayout laidOut() { return layout::layoutActivity(views, 371, *fonts, options); }
};

Fixture& fixture() {
  static Fixture f;  // one font session for every benchmark, as one render keeps one
  return f;
}

void openFonts(benchmark::State& state) {
  for (auto _ : state) {
    auto fonts = Fonts::open(host::drawing::defaultFontFiles());
    benchmark::DoNotOptimize(fonts);
  }
}

// A fresh font session's first layout: what one render pays before any width is kept (the
// fonts' faces opened, HarfBuzz's shaping plans made).
void openAndLayOutOnce(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    auto fonts = Fonts::open(host::drawing::defaultFontFiles()).value();
    auto a = layout::layoutActivity(f.views, 371, *fonts, f.options);
    benchmark::DoNotOptimize(a);
  }
}

using layout::Which;

void layOut(benchmark::State& state) {
  Fixture& f = fixture();
  const auto which = static_cast<layout::Which>(state.range(0));
  for (auto _ : state) {
    auto p = layout::layoutPresentation(f.views, which, 371, *f.fonts, f.options);
    benchmark::DoNotOptimize(p);
  }
}

void draw(benchmark::State& state) {
  Fixture& f = fixture();
  const auto which = static_cast<layout::Which>(state.range(0));
  const auto p = layout::layoutPresentation(f.views, which, 371, *f.fonts, f.options);
  for (auto _ : state) {
    auto picture = host::drawing::drawPresentation(p, which, 3, *f.fonts);
    benchmark::DoNotOptimize(picture);
  }
}

void layOutAndDrawAll(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    layout::ActivityLayout a = f.laidOut();
    auto pictures = host::drawing::drawActivity(a, 3, *f.fonts);
    benchmark::DoNotOptimize(pictures);
  }
}

// The fonts opened with the groups a text needs: an Arabic title opens the scripts in daily use,
// a Japanese one the CJK faces too, a character no font draws every group.
void openAndCover(benchmark::State& state) {
  const char* texts[] = {"Order 42", "\xD8\xB7\xD9\x84\xD8\xA8",
                         "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xB8", "\xF4\x8F\xBF\xBD"};
  const char* text = texts[state.range(0) - 1];
  for (auto _ : state) {
    auto fonts = Fonts::open(host::drawing::defaultFontFiles()).value();
    fonts->cover(text);
    benchmark::DoNotOptimize(fonts);
  }
}

void presentations(benchmark::internal::Benchmark* b) {
  for (int i = 0; i < 4; ++i) b->Arg(i);
  b->ArgName("presentation");
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(openFonts)->Name("fonts/open")->Unit(benchmark::kMillisecond);
BENCHMARK(openAndLayOutOnce)->Name("fonts/open+first-layout")->Unit(benchmark::kMillisecond);
BENCHMARK(openAndCover)->Name("fonts/open+groups")->DenseRange(1, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(layOut)->Name("layout")->Apply(presentations);
BENCHMARK(draw)->Name("draw-3x-png")->Apply(presentations);
BENCHMARK(layOutAndDrawAll)->Name("layout+draw/four-snapshots")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvlin::bench

BENCHMARK_MAIN();
