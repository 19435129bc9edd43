// Stacks: a row or a column offers its children the space left, least flexible first.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "layout/engine.hpp"

namespace corvlin::layout::detail {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

enum class Axis { horizontal, vertical };

double& along(Size& size, Axis axis) { return axis == Axis::horizontal ? size.width : size.height; }
double& across(Size& size, Axis axis) {
  return axis == Axis::horizontal ? size.height : size.width;
}
std::optional<double>& along(Proposal& p, Axis axis) {
  return axis == Axis::horizontal ? p.width : p.height;
}

void splice(const ui::Views& children, const std::vector<const ui::Modifier*>& outer,
            std::vector<Item>& items) {
  for (const auto& child : children) {
    if (std::holds_alternative<ui::EmptyView>(child.kind)) continue;
    Item item = itemOf(child);
    item.modifiers.insert(item.modifiers.end(), outer.begin(), outer.end());
    if (const auto* list = std::get_if<ui::ForEach>(&child.kind)) {
      splice(list->children, item.modifiers, items);
    } else {
      items.push_back(std::move(item));
    }
  }
}

struct StackPlan {
  std::vector<Proposal> proposals;
  std::vector<Size> sizes;
  Size size;
};

// Each child's proposal and size along `axis`: with no length proposed each takes its ideal
// size; otherwise, in order of flexibility (how much its size along the axis can change between
// a proposal of zero and one of infinity), least flexible first, each is offered an equal share
// of what the children before it left.
StackPlan plan(Engine& engine, const std::vector<Item>& items, Axis axis, double spacing,
               Proposal proposal, const Environment& environment) {
  const std::size_t n = items.size();
  StackPlan out;
  out.proposals.assign(n, proposal);
  out.sizes.resize(n);
  const double gaps = spacing * static_cast<double>(n > 0 ? n - 1 : 0);
  const std::optional<double> offered = along(proposal, axis);
  if (!offered) {
    for (std::size_t i = 0; i < n; ++i) out.sizes[i] = engine.size(items[i], proposal, environment);
  } else {
    std::vector<double> flexibility(n);
    std::vector<double> least(n);
    std::vector<double> ideal(n);
    for (std::size_t i = 0; i < n; ++i) {
      Proposal zero = proposal;
      along(zero, axis) = 0.0;
      Proposal most = proposal;
      along(most, axis) = infinity;
      Proposal none = proposal;
      along(none, axis) = std::nullopt;
      Size small = engine.size(items[i], zero, environment);
      Size large = engine.size(items[i], most, environment);
      Size natural = engine.size(items[i], none, environment);
      least[i] = along(small, axis);
      ideal[i] = along(natural, axis);
      // Infinity less infinity: as flexible as can be.
      flexibility[i] = along(large, axis) - least[i];
      if (std::isnan(flexibility[i])) flexibility[i] = infinity;
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return flexibility[a] < flexibility[b]; });
    double remaining = std::max(0.0, *offered - gaps);
    // When every child's ideal size fits, a child whose ideal is more than its equal share is
    // offered its ideal, so that views that fit side by side are never squeezed into equal parts.
    double ideals = 0;
    for (double d : ideal) ideals += d;
    const bool idealsFit = ideals <= remaining;
    std::size_t left = n;
    for (std::size_t i : order) {
      double offer = std::isinf(remaining) ? remaining : remaining / static_cast<double>(left);
      if (idealsFit) offer = std::max(offer, ideal[i]);
      along(out.proposals[i], axis) = offer;
      out.sizes[i] = engine.size(items[i], out.proposals[i], environment);
      if (!std::isinf(remaining)) remaining = std::max(0.0, remaining - along(out.sizes[i], axis));
      --left;
    }
  }
  for (auto s : out.sizes) {
    along(out.size, axis) += along(s, axis);
    across(out.size, axis) = std::max(across(out.size, axis), across(s, axis));
  }
  along(out.size, axis) += n > 0 ? gaps : 0;
  return out;
}

// Lays the planned children out along `axis`; `crossFraction` places each across the stack
// (0 leading or top, 0.5 centre, 1 trailing or bottom).
void placeAll(Engine& engine, const std::vector<Item>& items, const StackPlan& plan, Axis axis,
              double spacing, double crossFraction, const Environment& environment, Node& out,
              Point origin) {
  double at = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    Size s = plan.sizes[i];
    Size whole = plan.size;
    const double cross = (across(whole, axis) - across(s, axis)) * crossFraction;
    Point p = origin;
    if (axis == Axis::horizontal) {
      p.x = physicalX(origin.x, whole.width, at, s.width, environment.direction);
      p.y = origin.y + cross;
    } else {
      p.x = physicalX(origin.x, whole.width, cross, s.width, environment.direction);
      p.y = origin.y + at;
    }
    out.children.push_back(engine.place(items[i], plan.proposals[i], environment, p));
    at += along(s, axis) + spacing;
  }
}

double fraction(ui::VerticalAlignment a) {
  return a == ui::VerticalAlignment::top ? 0 : a == ui::VerticalAlignment::center ? 0.5 : 1;
}
double fraction(ui::HorizontalAlignment a) {
  return a == ui::HorizontalAlignment::leading ? 0 : a == ui::HorizontalAlignment::center ? 0.5 : 1;
}

const ui::Views& childrenOf(const Item& item) {
  static const ui::Views none;
  return std::visit(
      [](const auto& k) -> const ui::Views& {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, ui::HStack> || std::is_same_v<K, ui::VStack> ||
                      std::is_same_v<K, ui::ZStack> || std::is_same_v<K, ui::ForEach>) {
          return k.children;
        } else {
          return none;
        }
      },
      item.view->kind);
}

}  // namespace

std::vector<Item> stackItems(const ui::Views& children,
                             const std::vector<const ui::Modifier*>& outer) {
  std::vector<Item> items;
  splice(children, outer, items);
  return items;
}

Size Engine::hstack(const ui::HStack& stack, const Item& item, Proposal proposal,
                    const Environment& environment, Node* out, Point origin) {
  const std::vector<Item> items = stackItems(childrenOf(item), {});
  const double spacing = length(stack.spacing);
  const StackPlan p = plan(*this, items, Axis::horizontal, spacing, proposal, environment);
  if (out) {
    placeAll(*this, items, p, Axis::horizontal, spacing, fraction(stack.alignment), environment,
             *out, origin);
  }
  return p.size;
}

Size Engine::vstack(const ui::VStack& stack, const Item& item, Proposal proposal,
                    const Environment& environment, Node* out, Point origin) {
  const std::vector<Item> items = stackItems(childrenOf(item), {});
  const double spacing = length(stack.spacing);
  const StackPlan p = plan(*this, items, Axis::vertical, spacing, proposal, environment);
  if (out) {
    placeAll(*this, items, p, Axis::vertical, spacing, fraction(stack.alignment), environment, *out,
             origin);
  }
  return p.size;
}

Size Engine::zstack(const ui::Alignment& alignment, const std::vector<Item>& items,
                    Proposal proposal, const Environment& environment, Node* out, Point origin) {
  std::vector<Size> sizes;
  sizes.reserve(items.size());
  Size size;
  for (const auto& item : items) {
    sizes.push_back(this->size(item, proposal, environment));
    size.width = std::max(size.width, sizes.back().width);
    size.height = std::max(size.height, sizes.back().height);
  }
  if (out) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Size s = sizes[i];
      const double lx = alignedOffset(alignment.horizontal, size.width, s.width);
      const Point p{physicalX(origin.x, size.width, lx, s.width, environment.direction),
                    origin.y + alignedOffset(alignment.vertical, size.height, s.height)};
      out->children.push_back(place(items[i], proposal, environment, p));
    }
  }
  return size;
}

}  // namespace corvlin::layout::detail
