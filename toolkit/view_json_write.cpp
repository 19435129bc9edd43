// Writing the view description's JSON form: one line, members in a fixed order.
#include <cmath>
#include <ostream>
#include <string_view>

#include "json/writer.hpp"
#include "model/overloaded.hpp"
#include "toolkit/view_json.hpp"
#include "toolkit/view_keys.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::ui {
namespace {

template <json::CodingKey Key>
void key(json::Writer& w, Key k) {
  w.plainKey(json::stringValue(k));
}

void number(json::Writer& w, double value) {
  if (std::isfinite(value)) {
    w.number(value);
  } else {
    w.null();
  }
}

template <json::CodingKey Key>
void numberMember(json::Writer& w, Key k, double value) {
  if (std::isfinite(value)) {
    w.numberMember(json::stringValue(k), value);
  } else {
    w.nullMember(json::stringValue(k));
  }
}

template <json::CodingKey Key, class E>
void named(json::Writer& w, Key k, E value) {
  w.plainMember(json::stringValue(k), name(value));
}

template <json::CodingKey Key>
void colorMember(json::Writer& w, Key k, const Color& color) {
  w.beginObject(json::stringValue(k));
  // A component that is not finite is written null, as number() writes it.
  w.numberMembers({{json::stringValue(ColorKeys::red), color.red},
                   {json::stringValue(ColorKeys::green), color.green},
                   {json::stringValue(ColorKeys::blue), color.blue},
                   {json::stringValue(ColorKeys::opacity), color.opacity}});
  w.endObject();
}

void writeView(json::Writer& w, const View& view);

void childrenMember(json::Writer& w, const Views& children) {
  w.beginArray(json::stringValue(ViewKeys::children));
  for (const auto& child : children) writeView(w, child);
  w.endArray();
}

void writeModifier(json::Writer& w, const Modifier& modifier) {
  using K = ModifierKeys;
  w.beginObjectWithMember(json::stringValue(K::type), modifierTypeNames[modifier.index()]);
  std::visit(
      Overloaded{
          [&](const Padding& m) {
            w.beginArray(json::stringValue(K::edges));
            forEachValue<Edge>([&](Edge edge) {
              if ((m.edges & edge) != 0) w.plainString(name(edge));
            });
            w.endArray();
            numberMember(w, K::length, m.length);
          },
          [&](const Frame& m) {
            numberMember(w, K::width, m.width);
            numberMember(w, K::height, m.height);
            named(w, K::alignment, m.alignment);
          },
          [&](const FlexFrame& m) {
            if (std::isinf(m.maxWidth) && m.maxWidth > 0) {
              w.plainMember(json::stringValue(K::maxWidth), "infinity");
            } else {
              numberMember(w, K::maxWidth, m.maxWidth);
            }
            named(w, K::alignment, m.alignment);
          },
          [&](const FontModifier& m) {
            named(w, K::style, m.font.style);
            w.booleanMember(json::stringValue(K::monospacedDigit), m.font.monospacedDigit);
            if (m.font.weight) {
              w.plainMember(json::stringValue(K::weight), name(*m.font.weight));
            } else {
              w.nullMember(json::stringValue(K::weight));
            }
          },
          [&](const ForegroundColor& m) { colorMember(w, K::color, m.color); },
          [&](const Opacity& m) { numberMember(w, K::value, m.value); },
          [&](const Background& m) {
            key(w, K::content);
            writeView(w, *m.content);
            named(w, K::alignment, m.alignment);
          },
          [&](const Fill& m) { colorMember(w, K::color, m.color); },
          [&](const Stroke& m) {
            colorMember(w, K::color, m.color);
            numberMember(w, K::lineWidth, m.lineWidth);
            named(w, K::lineCap, m.lineCap);
            named(w, K::lineJoin, m.lineJoin);
            numberMember(w, K::miterLimit, m.miterLimit);
            w.beginArray(json::stringValue(K::dash));
            for (double d : m.dash) number(w, d);
            w.endArray();
            numberMember(w, K::dashPhase, m.dashPhase);
          },
          [&](const Trim& m) {
            numberMember(w, K::from, m.from);
            numberMember(w, K::to, m.to);
          },
          [&](const RotationEffect& m) {
            numberMember(w, K::degrees, m.degrees);
            w.beginObject(json::stringValue(K::anchor));
            numberMember(w, UnitPointKeys::x, m.anchor.x);
            numberMember(w, UnitPointKeys::y, m.anchor.y);
            w.endObject();
          },
          [&](const MultilineTextAlignment& m) { named(w, K::alignment, m.alignment); },
          [&](const LayoutDirectionModifier& m) { named(w, K::value, m.value); },
          [&](const ActivityBackgroundTint& m) { colorMember(w, K::color, m.color); },
          [&](const ActivitySystemActionForegroundColor& m) { colorMember(w, K::color, m.color); },
      },
      modifier);
  w.endObject();
}

// Members: "type", the kind's own fields, "children" for containers, then "modifiers" last, as
// they wrap everything before them.
void writeView(json::Writer& w, const View& view) {
  using K = ViewKeys;
  w.beginObjectWithMember(json::stringValue(K::type), viewTypeNames[view.kind.index()]);
  std::visit(Overloaded{
                 [&](const HStack& v) {
                   named(w, K::alignment, v.alignment);
                   numberMember(w, K::spacing, v.spacing);
                   childrenMember(w, v.children);
                 },
                 [&](const VStack& v) {
                   named(w, K::alignment, v.alignment);
                   numberMember(w, K::spacing, v.spacing);
                   childrenMember(w, v.children);
                 },
                 [&](const ZStack& v) {
                   named(w, K::alignment, v.alignment);
                   childrenMember(w, v.children);
                 },
                 [&](const Text& v) {
                   key(w, K::text);
                   w.string(v.text);
                 },
                 [&](const TimerText& v) {
                   numberMember(w, K::lower, v.lower);
                   numberMember(w, K::upper, v.upper);
                   w.booleanMember(json::stringValue(K::countsDown), v.countsDown);
                   if (v.pauseTime) {
                     numberMember(w, K::pauseTime, *v.pauseTime);
                   } else {
                     w.nullMember(json::stringValue(K::pauseTime));
                   }
                   w.booleanMember(json::stringValue(K::showsHours), v.showsHours);
                 },
                 [&](const Image& v) {
                   key(w, K::systemName);
                   w.string(v.systemName);
                 },
                 [&](const Circle&) {},
                 [&](const Capsule& v) { named(w, K::style, v.style); },
                 [&](const EmptyView&) {},
                 [&](const ForEach& v) { childrenMember(w, v.children); },
                 [&](const Link& v) {
                   key(w, K::destination);
                   w.string(v.destination);
                   w.beginArray(json::stringValue(K::children));
                   writeView(w, *v.label);
                   w.endArray();
                 },
             },
             view.kind);
  w.beginArray(json::stringValue(K::modifiers));
  for (const auto& modifier : view.modifiers) writeModifier(w, modifier);
  w.endArrayAndObject();
}

void writePresentations(json::Writer& w, const Presentations& p) {
  w.beginObject();
  key(w, PresentationsKeys::lockScreen);
  writeView(w, p.lockScreen);
  w.beginObject(json::stringValue(PresentationsKeys::dynamicIsland));
  w.beginArray(json::stringValue(IslandKeys::expanded));
  for (const auto& region : p.dynamicIsland.expanded) {
    w.beginObject();
    named(w, RegionKeys::position, region.position);
    numberMember(w, RegionKeys::priority, region.priority);
    key(w, RegionKeys::content);
    writeView(w, region.content);
    w.endObject();
  }
  w.endArray();
  key(w, IslandKeys::compactLeading);
  writeView(w, p.dynamicIsland.compactLeading);
  key(w, IslandKeys::compactTrailing);
  writeView(w, p.dynamicIsland.compactTrailing);
  key(w, IslandKeys::minimal);
  writeView(w, p.dynamicIsland.minimal);
  w.endObject();
  w.endObject();
}

}  // namespace

std::string toJson(const View& view) {
  json::Writer w;
  writeView(w, view);
  return w.take();
}

std::string toJson(const Presentations& presentations) {
  json::Writer w;
  w.reserve(8192);  // the seven presentations of a typical activity take about 7 KB
  writePresentations(w, presentations);
  return w.take();
}

void writeJson(json::Writer& writer, const Presentations& presentations) {
  writePresentations(writer, presentations);
}

std::ostream& operator<<(std::ostream& out, const Color& color) {
  json::Writer w;
  w.beginObject();
  colorMember(w, ModifierKeys::color, color);
  w.endObject();
  return out << w.str();
}

std::ostream& operator<<(std::ostream& out, const View& view) { return out << toJson(view); }

std::ostream& operator<<(std::ostream& out, const DynamicIsland& island) {
  return out << toJson(Presentations{emptyView(), island});
}

std::ostream& operator<<(std::ostream& out, const Presentations& presentations) {
  return out << toJson(presentations);
}

}  // namespace corvlin::ui
