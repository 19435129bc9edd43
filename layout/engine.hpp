// The layout's inner workings, shared by its parts: a view together with the modifiers around
// it, sized and placed one layer at a time from the outermost inwards.
#pragma once

#include <cstddef>
#include <map>
#include <tuple>
#include <vector>

#include "layout/layout.hpp"

namespace corvlin::layout::detail {

// A view with its modifiers, innermost first: its own, then those of each list (ForEach) it was
// spliced out of.
struct Item {
  const ui::View* view = nullptr;
  std::vector<const ui::Modifier*> modifiers;
};

Item itemOf(const ui::View& view);

// The views a stack lays out: a ForEach's children spliced in with its modifiers around each,
// and every EmptyView left out (it takes no place and no spacing).
std::vector<Item> stackItems(const ui::Views& children,
                             const std::vector<const ui::Modifier*>& outer);

class Engine {
 public:
  Engine(TextMeasurer& measurer, const Options& options) : measurer_(measurer), options_(options) {}

  // The size of `item` with its first `level` modifiers for `proposal`. With `out`, the layer is
  // also placed with its top left at `origin` (in the presentation's coordinates).
  Size run(const Item& item, std::size_t level, Proposal proposal, const Environment& environment,
           Node* out, Point origin);

  Size size(const Item& item, Proposal proposal, const Environment& environment) {
    return run(item, item.modifiers.size(), proposal, environment, nullptr, {});
  }
  Node place(const Item& item, Proposal proposal, const Environment& environment, Point origin) {
    Node node;
    run(item, item.modifiers.size(), proposal, environment, &node, origin);
    return node;
  }

  // The view's kind itself (level 0).
  Size kind(const Item& item, Proposal proposal, const Environment& environment, Node* out,
            Point origin);

  // Stacks (stacks.cpp).
  Size hstack(const ui::HStack& stack, const Item& item, Proposal proposal,
              const Environment& environment, Node* out, Point origin);
  Size vstack(const ui::VStack& stack, const Item& item, Proposal proposal,
              const Environment& environment, Node* out, Point origin);
  Size zstack(const ui::Alignment& alignment, const std::vector<Item>& items, Proposal proposal,
              const Environment& environment, Node* out, Point origin);

  TextMeasurer& measurer() { return measurer_; }
  const Options& options() const { return options_; }

 private:
  Size modifier(const Item& item, std::size_t level, Proposal proposal,
                const Environment& environment, Node* out, Point origin);

  // The sizes already worked out, by layer and proposal. A view stands in one place of its
  // tree, so its layers always inherit the same environment; without this a stack's three
  // measurements of each child would make nested stacks cost exponential time.
  using Key = std::tuple<const ui::View*, std::size_t, bool, double, bool, double>;
  std::map<Key, Size> sizes_;

  TextMeasurer& measurer_;
  const Options& options_;
};

// The x of a child `width` wide placed at `logicalX` from the leading edge of a parent at
// `parentX`, `parentWidth` wide: leading is the right edge under right-to-left.
double physicalX(double parentX, double parentWidth, double logicalX, double width,
                 ui::LayoutDirection direction);

double alignedOffset(ui::HorizontalAlignment alignment, double space, double size);
double alignedOffset(ui::VerticalAlignment alignment, double space, double size);

// A length a layout can use: not negative (NaN and negatives are 0) and at most `maxLength`
// (so that sums of lengths stay finite); infinity stays infinity.
inline constexpr double maxLength = 1e9;
double length(double value);

}  // namespace corvlin::layout::detail
