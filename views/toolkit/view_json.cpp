#include "views/toolkit/view_json.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>

#include "model/json/writer.hpp"

namespace corvlin::ui {

namespace {

namespace dom = simdjson::dom;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// --- Names of enumeration values ---------------------------------------------------------------

template <class E>
struct Named {
  E value;
  std::string_view name;
};

constexpr std::array<Named<VerticalAlignment>, 3> verticalNames{{
    {VerticalAlignment::top, "top"},
    {VerticalAlignment::center, "center"},
    {VerticalAlignment::bottom, "bottom"},
}};
constexpr std::array<Named<HorizontalAlignment>, 3> horizontalNames{{
    {HorizontalAlignment::leading, "leading"},
    {HorizontalAlignment::center, "center"},
    {HorizontalAlignment::trailing, "trailing"},
}};
constexpr std::array<Named<Alignment>, 9> alignmentNames{{
    {{HorizontalAlignment::center, VerticalAlignment::center}, "center"},
    {{HorizontalAlignment::leading, VerticalAlignment::center}, "leading"},
    {{HorizontalAlignment::trailing, VerticalAlignment::center}, "trailing"},
    {{HorizontalAlignment::center, VerticalAlignment::top}, "top"},
    {{HorizontalAlignment::center, VerticalAlignment::bottom}, "bottom"},
    {{HorizontalAlignment::leading, VerticalAlignment::top}, "topLeading"},
    {{HorizontalAlignment::trailing, VerticalAlignment::top}, "topTrailing"},
    {{HorizontalAlignment::leading, VerticalAlignment::bottom}, "bottomLeading"},
    {{HorizontalAlignment::trailing, VerticalAlignment::bottom}, "bottomTrailing"},
}};
constexpr std::array<Named<TextAlignment>, 3> textAlignmentNames{{
    {TextAlignment::leading, "leading"},
    {TextAlignment::center, "center"},
    {TextAlignment::trailing, "trailing"},
}};
constexpr std::array<Named<TextStyle>, 6> textStyleNames{{
    {TextStyle::title2, "title2"},
    {TextStyle::headline, "headline"},
    {TextStyle::subheadline, "subheadline"},
    {TextStyle::footnote, "footnote"},
    {TextStyle::caption, "caption"},
    {TextStyle::caption2, "caption2"},
}};
constexpr std::array<Named<FontWeight>, 1> weightNames{{{FontWeight::semibold, "semibold"}}};
constexpr std::array<Named<LayoutDirection>, 2> directionNames{{
    {LayoutDirection::leftToRight, "leftToRight"},
    {LayoutDirection::rightToLeft, "rightToLeft"},
}};
constexpr std::array<Named<LineCap>, 3> lineCapNames{{
    {LineCap::butt, "butt"},
    {LineCap::round, "round"},
    {LineCap::square, "square"},
}};
constexpr std::array<Named<LineJoin>, 3> lineJoinNames{{
    {LineJoin::miter, "miter"},
    {LineJoin::round, "round"},
    {LineJoin::bevel, "bevel"},
}};
constexpr std::array<Named<RoundedCornerStyle>, 2> cornerStyleNames{{
    {RoundedCornerStyle::circular, "circular"},
    {RoundedCornerStyle::continuous, "continuous"},
}};
constexpr std::array<Named<ExpandedRegionPosition>, 4> positionNames{{
    {ExpandedRegionPosition::leading, "leading"},
    {ExpandedRegionPosition::trailing, "trailing"},
    {ExpandedRegionPosition::center, "center"},
    {ExpandedRegionPosition::bottom, "bottom"},
}};
// The order in which edges are listed.
constexpr std::array<Named<Edge>, 4> edgeNames{{
    {Edge::top, "top"},
    {Edge::leading, "leading"},
    {Edge::bottom, "bottom"},
    {Edge::trailing, "trailing"},
}};

template <class E, std::size_t N>
std::string_view nameOf(E value, const std::array<Named<E>, N>& table) {
  for (const auto& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return "?";
}

template <class E, std::size_t N>
std::optional<E> valueNamed(std::string_view name, const std::array<Named<E>, N>& table) {
  for (const auto& entry : table) {
    if (entry.name == name) return entry.value;
  }
  return std::nullopt;
}

// --- Writing -----------------------------------------------------------------------------------

void number(json::Writer& w, double value) {
  if (std::isfinite(value)) {
    w.number(value);
  } else {
    w.null();
  }
}

template <class E, std::size_t N>
void named(json::Writer& w, std::string_view key, E value, const std::array<Named<E>, N>& table) {
  w.key(key);
  w.string(nameOf(value, table));
}

void numberMember(json::Writer& w, std::string_view key, double value) {
  w.key(key);
  number(w, value);
}

void colorMember(json::Writer& w, std::string_view key, const Color& color) {
  w.key(key);
  w.beginObject();
  numberMember(w, "red", color.red);
  numberMember(w, "green", color.green);
  numberMember(w, "blue", color.blue);
  numberMember(w, "opacity", color.opacity);
  w.endObject();
}

void writeView(json::Writer& w, const View& view);

void childrenMember(json::Writer& w, const std::vector<View>& children) {
  w.key("children");
  w.beginArray();
  for (const auto& child : children) writeView(w, child);
  w.endArray();
}

void typeMember(json::Writer& w, std::string_view type) {
  w.key("type");
  w.string(type);
}

void writeModifier(json::Writer& w, const Modifier& modifier) {
  w.beginObject();
  std::visit(Overloaded{
                 [&](const Padding& m) {
                   typeMember(w, "padding");
                   w.key("edges");
                   w.beginArray();
                   for (const auto& edge : edgeNames) {
                     if ((m.edges & edge.value) != 0) w.string(edge.name);
                   }
                   w.endArray();
                   numberMember(w, "length", m.length);
                 },
                 [&](const Frame& m) {
                   typeMember(w, "frame");
                   numberMember(w, "width", m.width);
                   numberMember(w, "height", m.height);
                   named(w, "alignment", m.alignment, alignmentNames);
                 },
                 [&](const FlexFrame& m) {
                   typeMember(w, "flexFrame");
                   w.key("maxWidth");
                   if (std::isinf(m.maxWidth) && m.maxWidth > 0) {
                     w.string("infinity");
                   } else {
                     number(w, m.maxWidth);
                   }
                   named(w, "alignment", m.alignment, alignmentNames);
                 },
                 [&](const FontModifier& m) {
                   typeMember(w, "font");
                   named(w, "style", m.font.style, textStyleNames);
                   w.key("monospacedDigit");
                   w.boolean(m.font.monospacedDigit);
                   w.key("weight");
                   if (m.font.weight) {
                     w.string(nameOf(*m.font.weight, weightNames));
                   } else {
                     w.null();
                   }
                 },
                 [&](const ForegroundColor& m) {
                   typeMember(w, "foregroundColor");
                   colorMember(w, "color", m.color);
                 },
                 [&](const Opacity& m) {
                   typeMember(w, "opacity");
                   numberMember(w, "value", m.value);
                 },
                 [&](const Background& m) {
                   typeMember(w, "background");
                   w.key("content");
                   writeView(w, *m.content);
                   named(w, "alignment", m.alignment, alignmentNames);
                 },
                 [&](const Fill& m) {
                   typeMember(w, "fill");
                   colorMember(w, "color", m.color);
                 },
                 [&](const Stroke& m) {
                   typeMember(w, "stroke");
                   colorMember(w, "color", m.color);
                   numberMember(w, "lineWidth", m.lineWidth);
                   named(w, "lineCap", m.lineCap, lineCapNames);
                   named(w, "lineJoin", m.lineJoin, lineJoinNames);
                   numberMember(w, "miterLimit", m.miterLimit);
                   w.key("dash");
                   w.beginArray();
                   for (double d : m.dash) number(w, d);
                   w.endArray();
                   numberMember(w, "dashPhase", m.dashPhase);
                 },
                 [&](const Trim& m) {
                   typeMember(w, "trim");
                   numberMember(w, "from", m.from);
                   numberMember(w, "to", m.to);
                 },
                 [&](const RotationEffect& m) {
                   typeMember(w, "rotationEffect");
                   numberMember(w, "degrees", m.degrees);
                   w.key("anchor");
                   w.beginObject();
                   numberMember(w, "x", m.anchor.x);
                   numberMember(w, "y", m.anchor.y);
                   w.endObject();
                 },
                 [&](const MultilineTextAlignment& m) {
                   typeMember(w, "multilineTextAlignment");
                   named(w, "alignment", m.alignment, textAlignmentNames);
                 },
                 [&](const LayoutDirectionModifier& m) {
                   typeMember(w, "layoutDirection");
                   named(w, "value", m.value, directionNames);
                 },
                 [&](const ActivityBackgroundTint& m) {
                   typeMember(w, "activityBackgroundTint");
                   colorMember(w, "color", m.color);
                 },
                 [&](const ActivitySystemActionForegroundColor& m) {
                   typeMember(w, "activitySystemActionForegroundColor");
                   colorMember(w, "color", m.color);
                 },
             },
             modifier);
  w.endObject();
}

// Members: "type", the kind's own fields, "children" for containers, then "modifiers" last, as
// they wrap everything before them.
void writeView(json::Writer& w, const View& view) {
  w.beginObject();
  std::visit(Overloaded{
                 [&](const HStack& v) {
                   typeMember(w, "HStack");
                   named(w, "alignment", v.alignment, verticalNames);
                   numberMember(w, "spacing", v.spacing);
                   childrenMember(w, v.children);
                 },
                 [&](const VStack& v) {
                   typeMember(w, "VStack");
                   named(w, "alignment", v.alignment, horizontalNames);
                   numberMember(w, "spacing", v.spacing);
                   childrenMember(w, v.children);
                 },
                 [&](const ZStack& v) {
                   typeMember(w, "ZStack");
                   named(w, "alignment", v.alignment, alignmentNames);
                   childrenMember(w, v.children);
                 },
                 [&](const Text& v) {
                   typeMember(w, "Text");
                   w.key("text");
                   w.string(v.text);
                 },
                 [&](const TimerText& v) {
                   typeMember(w, "TimerText");
                   numberMember(w, "lower", v.lower);
                   numberMember(w, "upper", v.upper);
                   w.key("countsDown");
                   w.boolean(v.countsDown);
                   w.key("pauseTime");
                   if (v.pauseTime) {
                     number(w, *v.pauseTime);
                   } else {
                     w.null();
                   }
                   w.key("showsHours");
                   w.boolean(v.showsHours);
                 },
                 [&](const Image& v) {
                   typeMember(w, "Image");
                   w.key("systemName");
                   w.string(v.systemName);
                 },
                 [&](const Circle&) { typeMember(w, "Circle"); },
                 [&](const Capsule& v) {
                   typeMember(w, "Capsule");
                   named(w, "style", v.style, cornerStyleNames);
                 },
                 [&](const EmptyView&) { typeMember(w, "EmptyView"); },
                 [&](const ForEach& v) {
                   typeMember(w, "ForEach");
                   childrenMember(w, v.children);
                 },
                 [&](const Link& v) {
                   typeMember(w, "Link");
                   w.key("destination");
                   w.string(v.destination);
                   w.key("children");
                   w.beginArray();
                   writeView(w, *v.label);
                   w.endArray();
                 },
             },
             view.kind);
  w.key("modifiers");
  w.beginArray();
  for (const auto& modifier : view.modifiers) writeModifier(w, modifier);
  w.endArray();
  w.endObject();
}

void writePresentations(json::Writer& w, const Presentations& p) {
  w.beginObject();
  w.key("lockScreen");
  writeView(w, p.lockScreen);
  w.key("dynamicIsland");
  w.beginObject();
  w.key("expanded");
  w.beginArray();
  for (const auto& region : p.dynamicIsland.expanded) {
    w.beginObject();
    named(w, "position", region.position, positionNames);
    numberMember(w, "priority", region.priority);
    w.key("content");
    writeView(w, region.content);
    w.endObject();
  }
  w.endArray();
  w.key("compactLeading");
  writeView(w, p.dynamicIsland.compactLeading);
  w.key("compactTrailing");
  writeView(w, p.dynamicIsland.compactTrailing);
  w.key("minimal");
  writeView(w, p.dynamicIsland.minimal);
  w.endObject();
  w.endObject();
}

// --- Reading -----------------------------------------------------------------------------------

std::string memberPath(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string indexPath(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

std::string quoted(std::string_view text) {
  std::string out;
  json::appendString(out, text);
  return out;
}

// Reads one tree, keeping the first fault. After a fault every read returns a default value,
// and the caller reports the fault instead of the value.
class Reader {
 public:
  std::optional<std::string> error;

  void fail(const std::string& path, std::string_view message) {
    if (error) return;
    error = path.empty() ? std::string(message) : path + ": " + std::string(message);
  }

  std::optional<dom::object> object(dom::element e, const std::string& path) {
    dom::object o;
    if (e.get_object().get(o) != simdjson::SUCCESS) {
      fail(path, "expected an object");
      return std::nullopt;
    }
    return o;
  }

  std::optional<dom::element> member(dom::object o, const std::string& path, std::string_view key) {
    dom::element e;
    if (o.at_key(key).get(e) != simdjson::SUCCESS) {
      fail(path, "missing member " + quoted(key));
      return std::nullopt;
    }
    return e;
  }

  std::optional<dom::object> objectMember(dom::object o, const std::string& path,
                                          std::string_view key) {
    auto e = member(o, path, key);
    if (!e) return std::nullopt;
    return object(*e, memberPath(path, key));
  }

  std::optional<dom::array> arrayMember(dom::object o, const std::string& path,
                                        std::string_view key) {
    auto e = member(o, path, key);
    if (!e) return std::nullopt;
    dom::array a;
    if (e->get_array().get(a) != simdjson::SUCCESS) {
      fail(memberPath(path, key), "expected an array");
      return std::nullopt;
    }
    return a;
  }

  double number(dom::element e, const std::string& path) {
    double value = 0;
    if (e.get_double().get(value) != simdjson::SUCCESS) fail(path, "expected a number");
    return value;
  }

  double numberMember(dom::object o, const std::string& path, std::string_view key) {
    auto e = member(o, path, key);
    return e ? number(*e, memberPath(path, key)) : 0;
  }

  std::optional<double> optionalNumberMember(dom::object o, const std::string& path,
                                             std::string_view key) {
    auto e = member(o, path, key);
    if (!e || e->is_null()) return std::nullopt;
    return number(*e, memberPath(path, key));
  }

  bool booleanMember(dom::object o, const std::string& path, std::string_view key) {
    auto e = member(o, path, key);
    bool value = false;
    if (e && e->get_bool().get(value) != simdjson::SUCCESS) {
      fail(memberPath(path, key), "expected true or false");
    }
    return value;
  }

  std::optional<std::string_view> stringMember(dom::object o, const std::string& path,
                                               std::string_view key) {
    auto e = member(o, path, key);
    if (!e) return std::nullopt;
    std::string_view value;
    if (e->get_string().get(value) != simdjson::SUCCESS) {
      fail(memberPath(path, key), "expected a string");
      return std::nullopt;
    }
    return value;
  }

  template <class E, std::size_t N>
  E namedMember(dom::object o, const std::string& path, std::string_view key,
                const std::array<Named<E>, N>& table, std::string_view what) {
    auto name = stringMember(o, path, key);
    if (!name) return table[0].value;
    auto value = valueNamed(*name, table);
    if (!value) {
      fail(memberPath(path, key), "unknown " + std::string(what) + " " + quoted(*name));
      return table[0].value;
    }
    return *value;
  }

  Color colorMember(dom::object o, const std::string& path, std::string_view key) {
    auto c = objectMember(o, path, key);
    if (!c) return {};
    const std::string p = memberPath(path, key);
    return {numberMember(*c, p, "red"), numberMember(*c, p, "green"), numberMember(*c, p, "blue"),
            numberMember(*c, p, "opacity")};
  }

  Alignment alignmentMember(dom::object o, const std::string& path) {
    return namedMember(o, path, "alignment", alignmentNames, "alignment");
  }

  std::vector<View> children(dom::object o, const std::string& path) {
    std::vector<View> out;
    auto a = arrayMember(o, path, "children");
    if (!a) return out;
    const std::string p = memberPath(path, "children");
    std::size_t i = 0;
    for (dom::element child : *a) {
      if (error) break;
      out.push_back(view(child, indexPath(p, i++)));
    }
    return out;
  }

  View view(dom::element e, const std::string& path) {
    auto o = object(e, path);
    if (!o) return emptyView();
    auto type = stringMember(*o, path, "type");
    if (!type) return emptyView();
    auto kind = viewKind(*o, path, *type);
    if (!kind) return emptyView();
    View out{std::move(*kind), {}};
    auto list = arrayMember(*o, path, "modifiers");
    if (!list) return out;
    const std::string p = memberPath(path, "modifiers");
    std::size_t i = 0;
    for (dom::element m : *list) {
      if (error) break;
      auto read = modifier(m, indexPath(p, i++));
      if (read) out.modifiers.push_back(std::move(*read));
    }
    return out;
  }

  std::optional<ViewKind> viewKind(dom::object o, const std::string& path, std::string_view type) {
    if (type == "HStack") {
      const auto alignment = namedMember(o, path, "alignment", verticalNames, "alignment");
      const double spacing = numberMember(o, path, "spacing");
      return HStack{alignment, spacing, children(o, path)};
    }
    if (type == "VStack") {
      const auto alignment = namedMember(o, path, "alignment", horizontalNames, "alignment");
      const double spacing = numberMember(o, path, "spacing");
      return VStack{alignment, spacing, children(o, path)};
    }
    if (type == "ZStack") {
      const auto alignment = alignmentMember(o, path);
      return ZStack{alignment, children(o, path)};
    }
    if (type == "Text") {
      auto text = stringMember(o, path, "text");
      return Text{std::string(text.value_or(""))};
    }
    if (type == "TimerText") {
      TimerText timer;
      timer.lower = numberMember(o, path, "lower");
      timer.upper = numberMember(o, path, "upper");
      timer.countsDown = booleanMember(o, path, "countsDown");
      timer.pauseTime = optionalNumberMember(o, path, "pauseTime");
      timer.showsHours = booleanMember(o, path, "showsHours");
      return timer;
    }
    if (type == "Image") {
      auto name = stringMember(o, path, "systemName");
      return Image{std::string(name.value_or(""))};
    }
    if (type == "Circle") return Circle{};
    if (type == "Capsule") {
      return Capsule{namedMember(o, path, "style", cornerStyleNames, "corner style")};
    }
    if (type == "EmptyView") return EmptyView{};
    if (type == "ForEach") return ForEach{children(o, path)};
    if (type == "Link") {
      auto destination = stringMember(o, path, "destination");
      auto label = children(o, path);
      if (!error && label.size() != 1) {
        fail(memberPath(path, "children"), "a Link has exactly one child, its label");
      }
      if (error) return std::nullopt;
      return Link{std::string(destination.value_or("")), std::move(label.front())};
    }
    fail(path, "unknown view type " + quoted(type));
    return std::nullopt;
  }

  std::optional<Modifier> modifier(dom::element e, const std::string& path) {
    auto o = object(e, path);
    if (!o) return std::nullopt;
    auto type = stringMember(*o, path, "type");
    if (!type) return std::nullopt;
    if (*type == "padding") {
      Padding m;
      m.edges = edges(*o, path);
      m.length = numberMember(*o, path, "length");
      return m;
    }
    if (*type == "frame") {
      Frame m;
      m.width = numberMember(*o, path, "width");
      m.height = numberMember(*o, path, "height");
      m.alignment = alignmentMember(*o, path);
      return m;
    }
    if (*type == "flexFrame") {
      FlexFrame m;
      auto maxWidth = member(*o, path, "maxWidth");
      if (maxWidth) {
        std::string_view word;
        if (maxWidth->get_string().get(word) == simdjson::SUCCESS) {
          if (word == "infinity") {
            m.maxWidth = std::numeric_limits<double>::infinity();
          } else {
            fail(memberPath(path, "maxWidth"), "expected a number or \"infinity\"");
          }
        } else {
          m.maxWidth = number(*maxWidth, memberPath(path, "maxWidth"));
        }
      }
      m.alignment = alignmentMember(*o, path);
      return m;
    }
    if (*type == "font") {
      Font font;
      font.style = namedMember(*o, path, "style", textStyleNames, "text style");
      font.monospacedDigit = booleanMember(*o, path, "monospacedDigit");
      auto weight = member(*o, path, "weight");
      if (weight && !weight->is_null()) {
        font.weight = namedMember(*o, path, "weight", weightNames, "font weight");
      }
      return FontModifier{font};
    }
    if (*type == "foregroundColor") return ForegroundColor{colorMember(*o, path, "color")};
    if (*type == "opacity") return Opacity{numberMember(*o, path, "value")};
    if (*type == "background") {
      Background m;
      auto content = member(*o, path, "content");
      if (content) m.content = view(*content, memberPath(path, "content"));
      m.alignment = alignmentMember(*o, path);
      return m;
    }
    if (*type == "fill") return Fill{colorMember(*o, path, "color")};
    if (*type == "stroke") {
      Stroke m;
      m.color = colorMember(*o, path, "color");
      m.lineWidth = numberMember(*o, path, "lineWidth");
      m.lineCap = namedMember(*o, path, "lineCap", lineCapNames, "line cap");
      m.lineJoin = namedMember(*o, path, "lineJoin", lineJoinNames, "line join");
      m.miterLimit = numberMember(*o, path, "miterLimit");
      if (auto dash = arrayMember(*o, path, "dash")) {
        const std::string p = memberPath(path, "dash");
        std::size_t i = 0;
        for (dom::element d : *dash) m.dash.push_back(number(d, indexPath(p, i++)));
      }
      m.dashPhase = numberMember(*o, path, "dashPhase");
      return m;
    }
    if (*type == "trim") {
      Trim m;
      m.from = numberMember(*o, path, "from");
      m.to = numberMember(*o, path, "to");
      return m;
    }
    if (*type == "rotationEffect") {
      RotationEffect m;
      m.degrees = numberMember(*o, path, "degrees");
      if (auto anchor = objectMember(*o, path, "anchor")) {
        const std::string p = memberPath(path, "anchor");
        m.anchor = {numberMember(*anchor, p, "x"), numberMember(*anchor, p, "y")};
      }
      return m;
    }
    if (*type == "multilineTextAlignment") {
      return MultilineTextAlignment{
          namedMember(*o, path, "alignment", textAlignmentNames, "text alignment")};
    }
    if (*type == "layoutDirection") {
      return LayoutDirectionModifier{
          namedMember(*o, path, "value", directionNames, "layout direction")};
    }
    if (*type == "activityBackgroundTint") {
      return ActivityBackgroundTint{colorMember(*o, path, "color")};
    }
    if (*type == "activitySystemActionForegroundColor") {
      return ActivitySystemActionForegroundColor{colorMember(*o, path, "color")};
    }
    fail(path, "unknown modifier type " + quoted(*type));
    return std::nullopt;
  }

  Edges edges(dom::object o, const std::string& path) {
    Edges out = 0;
    auto list = arrayMember(o, path, "edges");
    if (!list) return out;
    const std::string p = memberPath(path, "edges");
    std::size_t i = 0;
    for (dom::element e : *list) {
      const std::string at = indexPath(p, i++);
      std::string_view name;
      if (e.get_string().get(name) != simdjson::SUCCESS) {
        fail(at, "expected a string");
        break;
      }
      auto edge = valueNamed(name, edgeNames);
      if (!edge) {
        fail(at, "unknown edge " + quoted(name));
        break;
      }
      out |= *edge;
    }
    return out;
  }

  ExpandedRegion region(dom::element e, const std::string& path) {
    ExpandedRegion out;
    auto o = object(e, path);
    if (!o) return out;
    out.position = namedMember(*o, path, "position", positionNames, "region position");
    out.priority = numberMember(*o, path, "priority");
    if (auto content = member(*o, path, "content")) {
      out.content = view(*content, memberPath(path, "content"));
    }
    return out;
  }

  Presentations presentations(dom::element e) {
    Presentations out;
    auto o = object(e, "");
    if (!o) return out;
    if (auto lock = member(*o, "", "lockScreen")) out.lockScreen = view(*lock, "lockScreen");
    auto island = objectMember(*o, "", "dynamicIsland");
    if (!island) return out;
    const std::string p = "dynamicIsland";
    if (auto expanded = arrayMember(*island, p, "expanded")) {
      const std::string ep = memberPath(p, "expanded");
      std::size_t i = 0;
      for (dom::element r : *expanded) {
        if (error) break;
        out.dynamicIsland.expanded.push_back(region(r, indexPath(ep, i++)));
      }
    }
    if (auto v = member(*island, p, "compactLeading")) {
      out.dynamicIsland.compactLeading = view(*v, memberPath(p, "compactLeading"));
    }
    if (auto v = member(*island, p, "compactTrailing")) {
      out.dynamicIsland.compactTrailing = view(*v, memberPath(p, "compactTrailing"));
    }
    if (auto v = member(*island, p, "minimal")) {
      out.dynamicIsland.minimal = view(*v, memberPath(p, "minimal"));
    }
    return out;
  }
};

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

Result<View, std::string> viewFromJson(simdjson::dom::element element) {
  Reader reader;
  View view = reader.view(element, "");
  if (reader.error) return Failure{std::move(*reader.error)};
  return view;
}

Result<Presentations, std::string> presentationsFromJson(simdjson::dom::element element) {
  Reader reader;
  Presentations presentations = reader.presentations(element);
  if (reader.error) return Failure{std::move(*reader.error)};
  return presentations;
}

std::ostream& operator<<(std::ostream& out, const Color& color) {
  json::Writer w;
  w.beginObject();
  colorMember(w, "color", color);
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
