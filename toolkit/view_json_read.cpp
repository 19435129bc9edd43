// Reading the view description's JSON form on the keyed containers: every fault is a
// DecodingError with its coding path, the first one found ends the reading.
#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "json/decoding.hpp"
#include "json/try.hpp"
#include "json/writer.hpp"
#include "toolkit/view_json.hpp"
#include "toolkit/view_keys.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::ui {
namespace {

using json::element;
using json::element_type;
using json::PathNode;

template <json::CodingKey Key>
using Container = json::KeyedDecodingContainer<Key>;
using ViewContainer = Container<ViewKeys>;
using ModifierContainer = Container<ModifierKeys>;

constexpr std::string_view stringTypeName = json::ValueCoder<std::string>::typeName;

std::string quoted(std::string_view text) {
  std::string out;
  json::appendString(out, text);
  return out;
}

Result<std::string_view, DecodingError> readName(element value, const PathNode* at) {
  if (value.type() != element_type::STRING) {
    return Failure{json::typeMismatch(at, stringTypeName, value.type())};
  }
  return value.get_string().value_unsafe();
}

// A value of E given by its name; `what` names E in the error.
template <class E>
auto namedReader(std::string_view what) {
  return [what](element value, const PathNode* at) -> Result<E, DecodingError> {
    CORVLIN_TRY(text, readName(value, at));
    if (auto found = valueNamed<E>(text)) return *found;
    return Failure{
        json::dataCorrupted(at, "Unknown " + std::string(what) + " " + quoted(text) + ".")};
  };
}

template <class E, json::CodingKey Key>
Result<E, DecodingError> decodeNamed(const Container<Key>& c, Key key, std::string_view what) {
  return c.decode(key, namedReader<E>(what), stringTypeName);
}

Result<Color, DecodingError> readColor(element value, const PathNode* at) {
  using K = ColorKeys;
  CORVLIN_TRY(c, Container<K>::make(value, at));
  CORVLIN_TRY(red, c.decode<double>(K::red));
  CORVLIN_TRY(green, c.decode<double>(K::green));
  CORVLIN_TRY(blue, c.decode<double>(K::blue));
  CORVLIN_TRY(opacity, c.decode<double>(K::opacity));
  return Color{red, green, blue, opacity};
}

Result<UnitPoint, DecodingError> readUnitPoint(element value, const PathNode* at) {
  using K = UnitPointKeys;
  CORVLIN_TRY(c, Container<K>::make(value, at));
  CORVLIN_TRY(x, c.decode<double>(K::x));
  CORVLIN_TRY(y, c.decode<double>(K::y));
  return UnitPoint{x, y};
}

Result<Edges, DecodingError> readEdges(element value, const PathNode* at) {
  CORVLIN_TRY(list, json::decodeArray(value, at, namedReader<Edge>("edge")));
  Edges edges = 0;
  for (Edge edge : list) edges |= edge;
  return edges;
}

// A number, or "infinity" for all the width offered.
Result<double, DecodingError> readMaxWidth(element value, const PathNode* at) {
  if (value.type() != element_type::STRING) return json::ValueCoder<double>::read(value, at);
  if (value.get_string().value_unsafe() == "infinity") {
    return std::numeric_limits<double>::infinity();
  }
  return Failure{json::dataCorrupted(at, "Expected a number or \"infinity\".")};
}

Result<View, DecodingError> readView(element value, const PathNode* at);

Result<Views, DecodingError> readViews(element value, const PathNode* at) {
  return json::decodeArrayAs<Views>(value, at, readView);
}

Result<Views, DecodingError> children(const ViewContainer& c) {
  return c.decode(ViewKeys::children, readViews, json::arrayTypeName);
}

// --- The kinds of view, one reader each --------------------------------------------------------

template <class T>
using Read = Result<T, DecodingError>;
using K = ViewKeys;

Read<HStack> read(std::type_identity<HStack>, const ViewContainer& c) {
  CORVLIN_TRY(alignment, decodeNamed<VerticalAlignment>(c, K::alignment, "vertical alignment"));
  CORVLIN_TRY(spacing, c.decode<double>(K::spacing));
  CORVLIN_TRY(list, children(c));
  return HStack{alignment, spacing, std::move(list)};
}

Read<VStack> read(std::type_identity<VStack>, const ViewContainer& c) {
  CORVLIN_TRY(alignment, decodeNamed<HorizontalAlignment>(c, K::alignment, "horizontal alignment"));
  CORVLIN_TRY(spacing, c.decode<double>(K::spacing));
  CORVLIN_TRY(list, children(c));
  return VStack{alignment, spacing, std::move(list)};
}

Read<ZStack> read(std::type_identity<ZStack>, const ViewContainer& c) {
  CORVLIN_TRY(alignment, decodeNamed<Alignment>(c, K::alignment, "alignment"));
  CORVLIN_TRY(list, children(c));
  return ZStack{alignment, std::move(list)};
}

Read<Text> read(std::type_identity<Text>, const ViewContainer& c) {
  CORVLIN_TRY(text, c.decode<std::string>(K::text));
  return Text{std::pmr::string(text)};
}

Read<TimerText> read(std::type_identity<TimerText>, const ViewContainer& c) {
  CORVLIN_TRY(lower, c.decode<double>(K::lower));
  CORVLIN_TRY(upper, c.decode<double>(K::upper));
  CORVLIN_TRY(countsDown, c.decode<bool>(K::countsDown));
  CORVLIN_TRY(pauseTime, c.decodeIfPresent<double>(K::pauseTime));
  CORVLIN_TRY(showsHours, c.decode<bool>(K::showsHours));
  return TimerText{lower, upper, countsDown, pauseTime, showsHours};
}

Read<Image> read(std::type_identity<Image>, const ViewContainer& c) {
  CORVLIN_TRY(systemName, c.decode<std::string>(K::systemName));
  return Image{std::pmr::string(systemName)};
}

Read<Circle> read(std::type_identity<Circle>, const ViewContainer&) { return Circle{}; }

Read<Capsule> read(std::type_identity<Capsule>, const ViewContainer& c) {
  CORVLIN_TRY(style, decodeNamed<RoundedCornerStyle>(c, K::style, "corner style"));
  return Capsule{style};
}

Read<EmptyView> read(std::type_identity<EmptyView>, const ViewContainer&) { return EmptyView{}; }

Read<ForEach> read(std::type_identity<ForEach>, const ViewContainer& c) {
  CORVLIN_TRY(list, children(c));
  return ForEach{std::move(list)};
}

Read<Link> read(std::type_identity<Link>, const ViewContainer& c) {
  CORVLIN_TRY(destination, c.decode<std::string>(K::destination));
  CORVLIN_TRY(label, children(c));
  if (label.size() != 1) {
    const PathNode at = PathNode::member(c.path(), json::stringValue(K::children));
    return Failure{json::dataCorrupted(&at, "A Link has exactly one child, its label; found " +
                                                std::to_string(label.size()) + ".")};
  }
  return Link{std::pmr::string(destination), std::move(label.front())};
}

// --- The modifiers, one reader each ------------------------------------------------------------

using M = ModifierKeys;

Read<Padding> read(std::type_identity<Padding>, const ModifierContainer& c) {
  CORVLIN_TRY(edges, c.decode(M::edges, readEdges, json::arrayTypeName));
  CORVLIN_TRY(length, c.decode<double>(M::length));
  return Padding{edges, length};
}

Read<Frame> read(std::type_identity<Frame>, const ModifierContainer& c) {
  CORVLIN_TRY(width, c.decode<double>(M::width));
  CORVLIN_TRY(height, c.decode<double>(M::height));
  CORVLIN_TRY(alignment, decodeNamed<Alignment>(c, M::alignment, "alignment"));
  return Frame{width, height, alignment};
}

Read<FlexFrame> read(std::type_identity<FlexFrame>, const ModifierContainer& c) {
  CORVLIN_TRY(maxWidth, c.decode(M::maxWidth, readMaxWidth, "Double"));
  CORVLIN_TRY(alignment, decodeNamed<Alignment>(c, M::alignment, "alignment"));
  return FlexFrame{maxWidth, alignment};
}

Read<FontModifier> read(std::type_identity<FontModifier>, const ModifierContainer& c) {
  CORVLIN_TRY(style, decodeNamed<TextStyle>(c, M::style, "text style"));
  CORVLIN_TRY(monospacedDigit, c.decode<bool>(M::monospacedDigit));
  CORVLIN_TRY(weight, c.decodeIfPresent(M::weight, namedReader<FontWeight>("font weight")));
  return FontModifier{Font{style, monospacedDigit, weight}};
}

Read<ForegroundColor> read(std::type_identity<ForegroundColor>, const ModifierContainer& c) {
  CORVLIN_TRY(color, c.decode(M::color, readColor));
  return ForegroundColor{color};
}

Read<Opacity> read(std::type_identity<Opacity>, const ModifierContainer& c) {
  CORVLIN_TRY(value, c.decode<double>(M::value));
  return Opacity{value};
}

Read<Background> read(std::type_identity<Background>, const ModifierContainer& c) {
  CORVLIN_TRY(content, c.decode(M::content, readView));
  CORVLIN_TRY(alignment, decodeNamed<Alignment>(c, M::alignment, "alignment"));
  return Background{std::move(content), alignment};
}

Read<Fill> read(std::type_identity<Fill>, const ModifierContainer& c) {
  CORVLIN_TRY(color, c.decode(M::color, readColor));
  return Fill{color};
}

Read<Stroke> read(std::type_identity<Stroke>, const ModifierContainer& c) {
  CORVLIN_TRY(color, c.decode(M::color, readColor));
  CORVLIN_TRY(lineWidth, c.decode<double>(M::lineWidth));
  CORVLIN_TRY(lineCap, decodeNamed<LineCap>(c, M::lineCap, "line cap"));
  CORVLIN_TRY(lineJoin, decodeNamed<LineJoin>(c, M::lineJoin, "line join"));
  CORVLIN_TRY(miterLimit, c.decode<double>(M::miterLimit));
  CORVLIN_TRY(dash, c.decode<std::vector<double>>(M::dash));
  CORVLIN_TRY(dashPhase, c.decode<double>(M::dashPhase));
  return Stroke{color, lineWidth, lineCap, lineJoin, miterLimit, std::move(dash), dashPhase};
}

Read<Trim> read(std::type_identity<Trim>, const ModifierContainer& c) {
  CORVLIN_TRY(from, c.decode<double>(M::from));
  CORVLIN_TRY(to, c.decode<double>(M::to));
  return Trim{from, to};
}

Read<RotationEffect> read(std::type_identity<RotationEffect>, const ModifierContainer& c) {
  CORVLIN_TRY(degrees, c.decode<double>(M::degrees));
  CORVLIN_TRY(anchor, c.decode(M::anchor, readUnitPoint));
  return RotationEffect{degrees, anchor};
}

Read<MultilineTextAlignment> read(std::type_identity<MultilineTextAlignment>,
                                  const ModifierContainer& c) {
  CORVLIN_TRY(alignment, decodeNamed<TextAlignment>(c, M::alignment, "text alignment"));
  return MultilineTextAlignment{alignment};
}

Read<LayoutDirectionModifier> read(std::type_identity<LayoutDirectionModifier>,
                                   const ModifierContainer& c) {
  CORVLIN_TRY(value, decodeNamed<LayoutDirection>(c, M::value, "layout direction"));
  return LayoutDirectionModifier{value};
}

Read<ActivityBackgroundTint> read(std::type_identity<ActivityBackgroundTint>,
                                  const ModifierContainer& c) {
  CORVLIN_TRY(color, c.decode(M::color, readColor));
  return ActivityBackgroundTint{color};
}

Read<ActivitySystemActionForegroundColor> read(
    std::type_identity<ActivitySystemActionForegroundColor>, const ModifierContainer& c) {
  CORVLIN_TRY(color, c.decode(M::color, readColor));
  return ActivitySystemActionForegroundColor{color};
}

// --- From "type" to the alternative's reader ---------------------------------------------------

// The reader of every alternative of Variant, by position; one without a reader does not compile.
template <class Variant, class Keyed, class Alternative>
Read<Variant> readAlternative(const Keyed& c) {
  CORVLIN_TRY(value, read(std::type_identity<Alternative>{}, c));
  return Variant{std::move(value)};
}

template <class Variant, class Keyed, std::size_t... I>
constexpr auto alternativeReaders(std::index_sequence<I...>) {
  using Reader = Read<Variant> (*)(const Keyed&);
  return std::array<Reader, sizeof...(I)>{
      &readAlternative<Variant, Keyed, std::variant_alternative_t<I, Variant>>...};
}

// Reads the member "type" and then the alternative it names.
template <class Variant, json::CodingKey Key, std::size_t N>
Read<Variant> readTyped(const Container<Key>& c, const std::array<std::string_view, N>& names,
                        std::string_view what) {
  static_assert(N == std::variant_size_v<Variant>);
  static constexpr auto readers =
      alternativeReaders<Variant, Container<Key>>(std::make_index_sequence<N>());
  CORVLIN_TRY(type, c.decode(Key::type, readName, stringTypeName));
  const auto index = positionNamed(names, type);
  if (!index) {
    const PathNode at = PathNode::member(c.path(), json::stringValue(Key::type));
    return Failure{
        json::dataCorrupted(&at, "Unknown " + std::string(what) + " " + quoted(type) + ".")};
  }
  return readers[*index](c);
}

Read<Modifier> readModifier(element value, const PathNode* at) {
  CORVLIN_TRY(c, ModifierContainer::make(value, at));
  return readTyped<Modifier>(c, modifierTypeNames, "modifier type");
}

Read<std::pmr::vector<Modifier>> readModifiers(element value, const PathNode* at) {
  return json::decodeArrayAs<std::pmr::vector<Modifier>>(value, at, readModifier);
}

Read<View> readView(element value, const PathNode* at) {
  CORVLIN_TRY(c, ViewContainer::make(value, at));
  CORVLIN_TRY(kind, readTyped<ViewKind>(c, viewTypeNames, "view type"));
  CORVLIN_TRY(modifiers, c.decode(K::modifiers, readModifiers, json::arrayTypeName));
  return View{std::move(kind), std::move(modifiers)};
}

// --- The presentations -------------------------------------------------------------------------

Read<ExpandedRegion> readRegion(element value, const PathNode* at) {
  using R = RegionKeys;
  CORVLIN_TRY(c, Container<R>::make(value, at));
  CORVLIN_TRY(position, decodeNamed<ExpandedRegionPosition>(c, R::position, "region position"));
  CORVLIN_TRY(priority, c.decode<double>(R::priority));
  CORVLIN_TRY(content, c.decode(R::content, readView));
  return ExpandedRegion{position, priority, std::move(content)};
}

Read<std::pmr::vector<ExpandedRegion>> readRegions(element value, const PathNode* at) {
  return json::decodeArrayAs<std::pmr::vector<ExpandedRegion>>(value, at, readRegion);
}

Read<DynamicIsland> readIsland(element value, const PathNode* at) {
  using I = IslandKeys;
  CORVLIN_TRY(c, Container<I>::make(value, at));
  CORVLIN_TRY(expanded, c.decode(I::expanded, readRegions, json::arrayTypeName));
  CORVLIN_TRY(compactLeading, c.decode(I::compactLeading, readView));
  CORVLIN_TRY(compactTrailing, c.decode(I::compactTrailing, readView));
  CORVLIN_TRY(minimal, c.decode(I::minimal, readView));
  return DynamicIsland{std::move(expanded), std::move(compactLeading), std::move(compactTrailing),
                       std::move(minimal)};
}

Read<Presentations> readPresentations(element value, const PathNode* at) {
  using P = PresentationsKeys;
  CORVLIN_TRY(c, Container<P>::make(value, at));
  CORVLIN_TRY(lockScreen, c.decode(P::lockScreen, readView));
  CORVLIN_TRY(island, c.decode(P::dynamicIsland, readIsland));
  return Presentations{std::move(lockScreen), std::move(island)};
}

}  // namespace

Result<View, DecodingError> viewFromJson(simdjson::dom::element element) {
  return readView(element, nullptr);
}

Result<Presentations, DecodingError> presentationsFromJson(simdjson::dom::element element) {
  return readPresentations(element, nullptr);
}

}  // namespace corvlin::ui
