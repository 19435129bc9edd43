// The layout of arbitrary view trees (the toolkit's JSON form of one view), measured with the
// fixed advance and with Pango on the host's fonts: for a few proposals, every frame and text
// line is finite and not negative in size, and every layer lies within the layer around it
// unless that layer is marked as overflowing (a frame smaller than its content, a background
// larger than its view). Every text of the tree is also grown to 4, 16 or 64 KB (by the input's
// length), and the Pango layouts of one input must finish within a bounded time: no text,
// however long, makes a layout cost more than a bounded amount.
#include <simdjson.h>
#include <time.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "fuzz_check.hpp"
#include "host/drawing/fonts.hpp"
#include "json/parse.hpp"
#include "layout/layout.hpp"
#include "toolkit/view_json.hpp"

namespace {

using corvlin::fuzz::require;
namespace layout = corvlin::layout;

std::string describe(const layout::Rect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

void checkRect(const layout::Rect& r) {
  require(
      std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height),
      "every frame is finite", describe(r));
  require(r.width >= 0 && r.height >= 0, "no frame has a negative size", describe(r));
}

bool inside(const layout::Rect& inner, const layout::Rect& outer) {
  // Sums of lengths up to a billion points lose a little to rounding.
  const double slack =
      1e-6 * (1 + std::fabs(outer.x) + std::fabs(outer.y) + outer.width + outer.height);
  return inner.x >= outer.x - slack && inner.y >= outer.y - slack &&
         inner.right() <= outer.right() + slack && inner.bottom() <= outer.bottom() + slack;
}

void check(const layout::Node& node) {
  checkRect(node.frame);
  for (const auto& line : node.lines) {
    checkRect(line.frame);
    // A line holds at least one character, which may be wider than a text proposed less.
    require(line.frame.width <= node.frame.width + 1e-6, "a text's lines fit its width",
            describe(line.frame) + " in " + describe(node.frame));
  }
  for (const auto& child : node.children) {
    if (!node.overflows) {
      require(inside(child.frame, node.frame), "a layer lies within the layer around it",
              describe(child.frame) + " in " + describe(node.frame));
    }
    check(child);
  }
}

// Every text of the tree repeated to `target` bytes (cut anywhere, even inside a character).
void grow(corvlin::ui::View& view, std::size_t target) {
  namespace ui = corvlin::ui;
  std::visit(
      [&](auto& k) {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, ui::Text>) {
          if (k.text.empty() || k.text.size() >= target) return;
          std::pmr::string longer(k.text.get_allocator());
          longer.reserve(target);
          while (longer.size() < target) {
            longer.append(k.text, 0, std::min(k.text.size(), target - longer.size()));
          }
          k.text = std::move(longer);
        } else if constexpr (std::is_same_v<K, ui::HStack> || std::is_same_v<K, ui::VStack> ||
                             std::is_same_v<K, ui::ZStack> || std::is_same_v<K, ui::ForEach>) {
          for (auto& child : k.children) grow(child, target);
        } else if constexpr (std::is_same_v<K, ui::Link>) {
          ui::View label = *k.label;
          grow(label, target);
          k.label = ui::Boxed(std::move(label));
        }
      },
      view.kind);
  for (auto& m : view.modifiers) {
    if (auto* background = std::get_if<ui::Background>(&m)) {
      ui::View content = *background->content;
      grow(content, target);
      background->content = ui::Boxed(std::move(content));
    }
  }
}

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The CPU time the Pango layouts of one input may take: generous (sanitizers, a loaded
// machine), and far below what a layout growing with the square of a 64 KB text would take.
constexpr double pangoSecondsAllowed = 3;

void layOut(const corvlin::ui::View& view, layout::TextMeasurer& measurer) {
  layout::Options options;
  options.timerText = [](const corvlin::ui::TimerText&) { return std::string("10:00:00"); };
  const layout::Proposal proposals[] = {
      {371, std::nullopt}, {52, 37}, {std::nullopt, std::nullopt}, {0, 0}, {371, 160}};
  for (const auto& proposal : proposals) {
    const layout::Node root = layout::layout(view, proposal, measurer, options);
    check(root);
    const layout::Size measured = layout::sizeThatFits(view, proposal, measurer, options);
    require(measured.width == root.frame.width && measured.height == root.frame.height,
            "measuring and placing give the same size");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  simdjson::dom::parser parser;
  auto document = corvlin::json::parse(parser, bytes);
  if (!document) return 0;
  auto view = corvlin::ui::viewFromJson(document.value());
  if (!view) return 0;

  layout::FixedAdvanceMeasurer fixed;
  layOut(view.value(), fixed);

  // The fonts are opened once for the whole run, as a command opens them once.
  static const std::unique_ptr<corvlin::host::drawing::Fonts> fonts =
      corvlin::host::drawing::Fonts::open(corvlin::host::drawing::defaultFontFiles()).value();
  constexpr std::size_t grownTo[] = {4096, 16384, 65536};
  corvlin::ui::View grown = view.value();
  grow(grown, grownTo[size % 3]);
  const double start = cpuSeconds();
  layOut(view.value(), *fonts);
  layOut(grown, *fonts);
  const double spent = cpuSeconds() - start;
  require(spent < pangoSecondsAllowed, "the Pango layouts of a tree finish in bounded time",
          std::to_string(spent) + " s");
  return 0;
}
