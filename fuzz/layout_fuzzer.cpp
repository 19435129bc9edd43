// The layout of arbitrary view trees (the toolkit's JSON form of one view): for a few proposals,
// every frame and text line is finite and not negative in size, and every layer lies within the
// layer around it unless that layer is marked as overflowing (a frame smaller than its content,
// a background larger than its view).
#include <simdjson.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  simdjson::dom::parser parser;
  auto document = corvlin::json::parse(parser, bytes);
  if (!document) return 0;
  auto view = corvlin::ui::viewFromJson(document.value());
  if (!view) return 0;

  layout::FixedAdvanceMeasurer measurer;
  layout::Options options;
  options.timerText = [](const corvlin::ui::TimerText&) { return std::string("10:00:00"); };
  const layout::Proposal proposals[] = {
      {371, std::nullopt}, {52, 37}, {std::nullopt, std::nullopt}, {0, 0}};
  for (const auto& proposal : proposals) {
    const layout::Node root = layout::layout(view.value(), proposal, measurer, options);
    check(root);
    const layout::Size measured = layout::sizeThatFits(view.value(), proposal, measurer, options);
    require(measured.width == root.frame.width && measured.height == root.frame.height,
            "measuring and placing give the same size");
  }
  return 0;
}
