// The layout of an activity whose body is a long text, at growing lengths: one word of letters
// (which Pango breaks between characters) and short words. The four presentations are laid out
// with the host's fonts as one render lays them out; each iteration's text differs in its first
// letter, so no text is measured from the fonts' kept shaping passes. Growth is read from
// 4 KB to 16 KB (the part past the 4 KB data budget is only counted as cut).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/payloads.hpp"
#include "extension/widget.hpp"
#include "host/drawing/fonts.hpp"
#include "host/text/timer_format.hpp"
#include "layout/presentations.hpp"

namespace corvlin::bench {
namespace {

std::string body(bool oneWord, std::size_t bytes) {
  std::string out;
  out.reserve(bytes);
  for (std::size_t i = 0; out.size() < bytes; ++i) {
    if (oneWord) {
      out += static_cast<char>('a' + i % 26);
    } else {
      out += out.empty() ? "a" : " a";
    }
  }
  out.resize(bytes);
  return out;
}

void layOutLongBody(benchmark::State& state, bool oneWord) {
  static const std::unique_ptr<host::drawing::Fonts> fonts =
      host::drawing::Fonts::open(host::drawing::defaultFontFiles()).value();
  const auto bytes = static_cast<std::size_t>(state.range(0));
  ContentState content = defaultActivityState();
  const std::string text = body(oneWord, bytes);
  const double now = defaultActivityNow().timeIntervalSince1970;
  layout::Options options;
  options.timerText = [now](const ui::TimerText& t) { return host::timerTextAt(t, now); };
  std::size_t turn = 0;
  for (auto _ : state) {
    state.PauseTiming();
    content.body = text;
    (*content.body)[0] = static_cast<char>('A' + turn++ % 26);
    const ActivityViewContext context{{"delivery", "A42"}, content};
    const ui::Presentations views =
        presentations(CorvlinLiveActivityWidget{}.body(), context, fixedNow({now}));
    state.ResumeTiming();
    auto laidOut = layout::layoutActivity(views, 371, *fonts, options);
    benchmark::DoNotOptimize(laidOut);
  }
  state.SetComplexityN(state.range(0));
}

void lengths(benchmark::internal::Benchmark* b) {
  for (int bytes : {1024, 4096, 16384}) b->Arg(bytes);
  b->ArgName("bytes");
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(layOutLongBody, one - word, true)->Name("layout/one-word-body")->Apply(lengths);
BENCHMARK_CAPTURE(layOutLongBody, short - words, false)
    ->Name("layout/short-words-body")
    ->Apply(lengths);

}  // namespace
}  // namespace corvlin::bench
