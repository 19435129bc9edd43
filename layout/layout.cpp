// The layers of a view: its modifiers from the outermost inwards, then its kind.
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

#include "layout/engine.hpp"

namespace corvlin::layout {
namespace detail {
namespace {

// A symbol is drawn 1.05 times the font's size tall, on a 14 by 18 grid.
constexpr double symbolHeightPerPoint = 1.05;
constexpr double symbolAspect = 14.0 / 18.0;
// What a shape takes when it is asked for its ideal size, as the toolkit's shapes do.
constexpr double idealShapeLength = 10;

void shift(Node& node, double dx, double dy) {
  if (dx == 0 && dy == 0) return;
  node.frame.x += dx;
  node.frame.y += dy;
  for (auto& line : node.lines) {
    line.frame.x += dx;
    line.frame.y += dy;
  }
  for (auto& child : node.children) shift(child, dx, dy);
}

std::optional<double> minus(std::optional<double> value, double amount) {
  if (!value) return std::nullopt;
  return std::max(0.0, *value - amount);
}

Environment inside(const ui::Modifier& modifier, Environment environment) {
  if (const auto* f = std::get_if<ui::FontModifier>(&modifier)) {
    environment.font = f->font;
  } else if (const auto* c = std::get_if<ui::ForegroundColor>(&modifier)) {
    environment.foreground = c->color;
  } else if (const auto* d = std::get_if<ui::LayoutDirectionModifier>(&modifier)) {
    environment.direction = d->value;
  } else if (const auto* a = std::get_if<ui::MultilineTextAlignment>(&modifier)) {
    environment.textAlignment = a->alignment;
  }
  return environment;
}

TextFont textFont(const Environment& environment) {
  const TextMetrics metrics = textMetrics(environment.font);
  return {metrics.size, metrics.weight, environment.font && environment.font->monospacedDigit,
          metrics.lineHeight};
}

double lineOffset(ui::TextAlignment alignment, double space, double width) {
  switch (alignment) {
    case ui::TextAlignment::leading:
      return 0;
    case ui::TextAlignment::center:
      return (space - width) / 2;
    case ui::TextAlignment::trailing:
      return space - width;
  }
  return 0;
}

}  // namespace

double length(double value) {
  if (std::isnan(value) || value < 0) return 0;
  return std::isinf(value) ? value : std::min(value, maxLength);
}

double physicalX(double parentX, double parentWidth, double logicalX, double width,
                 ui::LayoutDirection direction) {
  if (direction == ui::LayoutDirection::leftToRight) return parentX + logicalX;
  return parentX + parentWidth - logicalX - width;
}

double alignedOffset(ui::HorizontalAlignment alignment, double space, double size) {
  switch (alignment) {
    case ui::HorizontalAlignment::leading:
      return 0;
    case ui::HorizontalAlignment::center:
      return (space - size) / 2;
    case ui::HorizontalAlignment::trailing:
      return space - size;
  }
  return 0;
}

double alignedOffset(ui::VerticalAlignment alignment, double space, double size) {
  switch (alignment) {
    case ui::VerticalAlignment::top:
      return 0;
    case ui::VerticalAlignment::center:
      return (space - size) / 2;
    case ui::VerticalAlignment::bottom:
      return space - size;
  }
  return 0;
}

Item itemOf(const ui::View& view) {
  Item item{&view, {}};
  item.modifiers.reserve(view.modifiers.size());
  for (const auto& m : view.modifiers) item.modifiers.push_back(&m);
  return item;
}

Size Engine::run(const Item& item, std::size_t level, Proposal proposal,
                 const Environment& environment, Node* out, Point origin) {
  if (out) {
    if (level == 0) return kind(item, proposal, environment, out, origin);
    return modifier(item, level, proposal, environment, out, origin);
  }
  const Key key{item.view,
                level,
                proposal.width.has_value(),
                proposal.width.value_or(0),
                proposal.height.has_value(),
                proposal.height.value_or(0)};
  if (auto found = sizes_.find(key); found != sizes_.end()) return found->second;
  const Size size = level == 0 ? kind(item, proposal, environment, nullptr, origin)
                               : modifier(item, level, proposal, environment, nullptr, origin);
  sizes_.emplace(key, size);
  return size;
}

Size Engine::modifier(const Item& item, std::size_t level, Proposal proposal,
                      const Environment& environment, Node* out, Point origin) {
  const ui::Modifier& m = *item.modifiers[level - 1];
  const Environment inner = inside(m, environment);
  Node child;
  Node* childOut = out ? &child : nullptr;
  Size size;
  // Places the inner layer, sized `innerSize`, at (dx, dy) from the layer's top left; the inner
  // layer was laid out at the layer's own origin.
  auto placeInner = [&](Size innerSize, double logicalX, double dy) {
    if (!out) return;
    const double x =
        physicalX(origin.x, size.width, logicalX, innerSize.width, environment.direction);
    shift(child, x - origin.x, dy);
    out->overflows = innerSize.width > size.width + 1e-9 || innerSize.height > size.height + 1e-9 ||
                     logicalX < -1e-9 || dy < -1e-9;
  };

  std::visit(
      [&](const auto& mod) {
        using M = std::decay_t<decltype(mod)>;
        if constexpr (std::is_same_v<M, ui::Padding>) {
          const double length = detail::length(mod.length);
          const double top = (mod.edges & ui::top) ? length : 0;
          const double lead = (mod.edges & ui::leading) ? length : 0;
          const double bottom = (mod.edges & ui::bottom) ? length : 0;
          const double trail = (mod.edges & ui::trailing) ? length : 0;
          const Proposal p{minus(proposal.width, lead + trail),
                           minus(proposal.height, top + bottom)};
          const Size s = run(item, level - 1, p, inner, childOut, origin);
          size = {s.width + lead + trail, s.height + top + bottom};
          placeInner(s, lead, top);
        } else if constexpr (std::is_same_v<M, ui::Frame>) {
          size = {std::isfinite(mod.width) ? length(mod.width) : 0,
                  std::isfinite(mod.height) ? length(mod.height) : 0};
          const Size s = run(item, level - 1, {size.width, size.height}, inner, childOut, origin);
          placeInner(s, alignedOffset(mod.alignment.horizontal, size.width, s.width),
                     alignedOffset(mod.alignment.vertical, size.height, s.height));
        } else if constexpr (std::is_same_v<M, ui::FlexFrame>) {
          const double most = length(mod.maxWidth);
          Proposal p = proposal;
          if (p.width) p.width = std::min(*p.width, most);
          const Size s = run(item, level - 1, p, inner, childOut, origin);
          const double width = proposal.width ? std::min(most, std::max(s.width, *proposal.width))
                                              : std::min(most, s.width);
          size = {width, s.height};
          placeInner(s, alignedOffset(mod.alignment.horizontal, size.width, s.width), 0);
        } else if constexpr (std::is_same_v<M, ui::Background>) {
          const Size s = run(item, level - 1, proposal, inner, childOut, origin);
          size = s;
          if (out) {
            const Item backdrop = itemOf(*mod.content);
            Node behind = place(backdrop, {s.width, s.height}, environment, origin);
            const Size b{behind.frame.width, behind.frame.height};
            const double lx = alignedOffset(mod.alignment.horizontal, s.width, b.width);
            const double x = physicalX(origin.x, s.width, lx, b.width, environment.direction);
            const double y = alignedOffset(mod.alignment.vertical, s.height, b.height);
            shift(behind, x - origin.x, y);
            out->overflows = b.width > s.width + 1e-9 || b.height > s.height + 1e-9;
            out->children.push_back(std::move(behind));
          }
        } else {
          // Colours, fonts, directions, opacity, rotation and the shapes' own modifiers change
          // what is drawn, not where.
          size = run(item, level - 1, proposal, inner, childOut, origin);
        }
      },
      m);

  if (out) {
    out->view = item.view;
    out->modifier = &m;
    out->environment = environment;
    out->frame = {origin.x, origin.y, size.width, size.height};
    out->children.push_back(std::move(child));
  }
  return size;
}

Size Engine::kind(const Item& item, Proposal proposal, const Environment& environment, Node* out,
                  Point origin) {
  if (out) {
    out->view = item.view;
    out->environment = environment;
  }
  Size size;
  auto text = [&](std::string_view content, bool wraps) {
    if (content.empty()) return;
    const TextFont font = textFont(environment);
    std::optional<double> width;
    std::size_t maxLines = maxTextLines;
    if (wraps && proposal.width && std::isfinite(*proposal.width)) {
      width = std::max(0.0, *proposal.width);
    }
    if (wraps && proposal.height && std::isfinite(*proposal.height)) {
      // As many lines as fit, and at least the first: the toolkit never hides a text for want
      // of height (what still does not fit is cut at the presentation's edge).
      const double fit = std::floor((std::max(0.0, *proposal.height) + 1e-6) / font.lineHeight);
      maxLines = std::clamp<std::size_t>(static_cast<std::size_t>(fit), 1, maxLines);
    }
    const Budgeted budgeted = withinBudget(content);
    MeasuredText measured = measurer_.measure(budgeted.text, font, width, maxLines);
    if (budgeted.cut) {
      measured.truncated = true;
      measured.lineCount = std::max(measured.lineCount, measured.lines.size() + 1);
    }
    double textWidth = 0;
    for (const auto& line : measured.lines) textWidth = std::max(textWidth, line.width);
    size = {textWidth, static_cast<double>(measured.lines.size()) * font.lineHeight};
    if (!out) return;
    out->truncated = measured.truncated;
    out->lineCount = measured.lineCount;
    out->unknownGlyphs = measured.unknownGlyphs;
    for (std::size_t i = 0; i < measured.lines.size(); ++i) {
      const double w = measured.lines[i].width;
      const double x =
          physicalX(origin.x, textWidth, lineOffset(environment.textAlignment, textWidth, w), w,
                    environment.direction);
      out->lines.push_back(
          {std::move(measured.lines[i].text),
           {x, origin.y + static_cast<double>(i) * font.lineHeight, w, font.lineHeight}});
    }
  };

  std::visit(
      [&](const auto& k) {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, ui::HStack>) {
          size = hstack(k, item, proposal, environment, out, origin);
        } else if constexpr (std::is_same_v<K, ui::VStack>) {
          size = vstack(k, item, proposal, environment, out, origin);
        } else if constexpr (std::is_same_v<K, ui::ZStack>) {
          size =
              zstack(k.alignment, stackItems(k.children, {}), proposal, environment, out, origin);
        } else if constexpr (std::is_same_v<K, ui::ForEach>) {
          // A list outside a stack stands in a column of its own.
          static const ui::VStack column{ui::HorizontalAlignment::center, 0, {}};
          size = vstack(column, item, proposal, environment, out, origin);
        } else if constexpr (std::is_same_v<K, ui::Text>) {
          text(k.text, true);
        } else if constexpr (std::is_same_v<K, ui::TimerText>) {
          // A timer never wraps: it takes the width its text needs.
          text(options_.timerText ? options_.timerText(k) : std::string(), false);
        } else if constexpr (std::is_same_v<K, ui::Image>) {
          const double height = textMetrics(environment.font).size * symbolHeightPerPoint;
          size = {height * symbolAspect, height};
        } else if constexpr (std::is_same_v<K, ui::Circle> || std::is_same_v<K, ui::Capsule>) {
          size = {proposal.width ? length(*proposal.width) : idealShapeLength,
                  proposal.height ? length(*proposal.height) : idealShapeLength};
        } else if constexpr (std::is_same_v<K, ui::EmptyView>) {
          size = {};
        } else {
          static_assert(std::is_same_v<K, ui::Link>);
          Node label;
          size = run(itemOf(*k.label), k.label->modifiers.size(), proposal, environment,
                     out ? &label : nullptr, origin);
          if (out) out->children.push_back(std::move(label));
        }
      },
      item.view->kind);
  if (out) out->frame = {origin.x, origin.y, size.width, size.height};
  return size;
}

}  // namespace detail

Node layout(const ui::View& view, Proposal proposal, TextMeasurer& measurer, const Options& options,
            Point origin) {
  CachedMeasurer cached(measurer);
  detail::Engine engine(cached, options);
  return engine.place(detail::itemOf(view), proposal, options.environment, origin);
}

Size sizeThatFits(const ui::View& view, Proposal proposal, TextMeasurer& measurer,
                  const Options& options) {
  CachedMeasurer cached(measurer);
  detail::Engine engine(cached, options);
  return engine.size(detail::itemOf(view), proposal, options.environment);
}

}  // namespace corvlin::layout
