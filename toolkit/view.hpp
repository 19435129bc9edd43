// The view description: a closed set of view and modifier values standing in for the host toolkit.
//
// A view is a kind (stack, text, shape, ...) with its modifiers, innermost first: each modifier
// applies to the view together with every modifier before it. Trees are plain values with ==.
// A tree's lists and texts live on the heap, or in a memory resource that a builder is handed
// (an arena per answer, so that building costs no heap allocation); a copy is always on the heap.
#pragma once

#include <iosfwd>
#include <memory_resource>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace corvlin::ui {

// sRGB components 0 to 1 with an opacity.
struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double opacity = 1;

  Color withOpacity(double value) const { return {red, green, blue, value}; }
  friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color white{1, 1, 1, 1};
inline constexpr Color black{0, 0, 0, 1};

enum class TextStyle { title2, headline, subheadline, footnote, caption, caption2 };
enum class FontWeight { semibold };

struct Font {
  TextStyle style = TextStyle::caption;
  bool monospacedDigit = false;
  std::optional<FontWeight> weight;

  Font monospaced() const { return {style, true, weight}; }
  Font withWeight(FontWeight w) const { return {style, monospacedDigit, w}; }
  friend bool operator==(const Font&, const Font&) = default;
};

// A plain font of a text style: no monospaced digits, the style's own weight.
inline Font font(TextStyle style) { return {style, false, std::nullopt}; }

enum class HorizontalAlignment { leading, center, trailing };
enum class VerticalAlignment { top, center, bottom };

struct Alignment {
  HorizontalAlignment horizontal = HorizontalAlignment::center;
  VerticalAlignment vertical = VerticalAlignment::center;
  friend bool operator==(const Alignment&, const Alignment&) = default;
};

inline constexpr Alignment centered{};
inline constexpr Alignment trailingCentered{HorizontalAlignment::trailing,
                                            VerticalAlignment::center};

// A set of edges; the JSON form lists them as names in the order top, leading, bottom, trailing.
enum Edge : unsigned { top = 1, leading = 2, bottom = 4, trailing = 8 };
using Edges = unsigned;
inline constexpr Edges allEdges = top | leading | bottom | trailing;
inline constexpr Edges horizontalEdges = leading | trailing;
inline constexpr Edges verticalEdges = top | bottom;

enum class TextAlignment { leading, center, trailing };
enum class LayoutDirection { leftToRight, rightToLeft };
enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };
enum class RoundedCornerStyle { circular, continuous };

// A point in a view's unit square; (0.5, 0.5) is the centre.
struct UnitPoint {
  double x = 0.5;
  double y = 0.5;
  friend bool operator==(const UnitPoint&, const UnitPoint&) = default;
};

struct View;

// Where a tree's nodes are allocated; the default is the heap.
using Allocator = std::pmr::polymorphic_allocator<std::byte>;
using Views = std::pmr::vector<View>;

// Holds one view by value behind a pointer, so that a modifier can contain a view.
class Boxed {
 public:
  Boxed();
  // In the memory of the view's own modifier list.
  Boxed(View view);  // NOLINT: implicit, so modifiers read like their toolkit counterparts
  Boxed(const Boxed& other);
  Boxed(Boxed&& other) noexcept;
  Boxed& operator=(const Boxed& other);
  Boxed& operator=(Boxed&& other) noexcept;
  ~Boxed();

  const View& operator*() const { return *view_; }
  const View* operator->() const { return view_; }
  friend bool operator==(const Boxed& a, const Boxed& b);

 private:
  View* view_ = nullptr;
  std::pmr::memory_resource* memory_ = nullptr;
};

// --- Modifiers ---------------------------------------------------------------------------------

struct Padding {
  Edges edges = allEdges;
  double length = 0;
  friend bool operator==(const Padding&, const Padding&) = default;
};
struct Frame {
  double width = 0;
  double height = 0;
  Alignment alignment = centered;
  friend bool operator==(const Frame&, const Frame&) = default;
};
// maxWidth is a number of points, or infinity (all the width that is offered).
struct FlexFrame {
  double maxWidth = 0;
  Alignment alignment = centered;
  friend bool operator==(const FlexFrame&, const FlexFrame&) = default;
};
struct FontModifier {
  Font font;
  friend bool operator==(const FontModifier&, const FontModifier&) = default;
};
struct ForegroundColor {
  Color color;
  friend bool operator==(const ForegroundColor&, const ForegroundColor&) = default;
};
struct Opacity {
  double value = 1;
  friend bool operator==(const Opacity&, const Opacity&) = default;
};
struct Background {
  Boxed content;
  Alignment alignment = centered;
  friend bool operator==(const Background&, const Background&) = default;
};
struct Fill {
  Color color;
  friend bool operator==(const Fill&, const Fill&) = default;
};
struct Stroke {
  Color color;
  double lineWidth = 1;
  LineCap lineCap = LineCap::butt;
  LineJoin lineJoin = LineJoin::miter;
  double miterLimit = 10;
  std::vector<double> dash;
  double dashPhase = 0;
  friend bool operator==(const Stroke&, const Stroke&) = default;
};
struct Trim {
  double from = 0;
  double to = 1;
  friend bool operator==(const Trim&, const Trim&) = default;
};
struct RotationEffect {
  double degrees = 0;
  UnitPoint anchor;
  friend bool operator==(const RotationEffect&, const RotationEffect&) = default;
};
struct MultilineTextAlignment {
  TextAlignment alignment = TextAlignment::leading;
  friend bool operator==(const MultilineTextAlignment&, const MultilineTextAlignment&) = default;
};
struct LayoutDirectionModifier {
  LayoutDirection value = LayoutDirection::leftToRight;
  friend bool operator==(const LayoutDirectionModifier&, const LayoutDirectionModifier&) = default;
};
struct ActivityBackgroundTint {
  Color color;
  friend bool operator==(const ActivityBackgroundTint&, const ActivityBackgroundTint&) = default;
};
struct ActivitySystemActionForegroundColor {
  Color color;
  friend bool operator==(const ActivitySystemActionForegroundColor&,
                         const ActivitySystemActionForegroundColor&) = default;
};

using Modifier = std::variant<Padding, Frame, FlexFrame, FontModifier, ForegroundColor, Opacity,
                              Background, Fill, Stroke, Trim, RotationEffect,
                              MultilineTextAlignment, LayoutDirectionModifier,
                              ActivityBackgroundTint, ActivitySystemActionForegroundColor>;

// --- Views -------------------------------------------------------------------------------------

struct HStack {
  VerticalAlignment alignment = VerticalAlignment::center;
  double spacing = 0;
  Views children;
  friend bool operator==(const HStack&, const HStack&);
};
struct VStack {
  HorizontalAlignment alignment = HorizontalAlignment::center;
  double spacing = 0;
  Views children;
  friend bool operator==(const VStack&, const VStack&);
};
struct ZStack {
  Alignment alignment = centered;
  Views children;  // back to front
  friend bool operator==(const ZStack&, const ZStack&);
};
struct Text {
  std::pmr::string text;
  friend bool operator==(const Text&, const Text&) = default;
};
// A text that the host keeps current: time left until `upper` when counting down,
// time passed since `lower` when counting up. Instants are seconds since 1970.
struct TimerText {
  double lower = 0;
  double upper = 0;
  bool countsDown = false;
  std::optional<double> pauseTime;
  bool showsHours = true;
  friend bool operator==(const TimerText&, const TimerText&) = default;
};
struct Image {
  std::pmr::string systemName;
  friend bool operator==(const Image&, const Image&) = default;
};
struct Circle {
  friend bool operator==(const Circle&, const Circle&) = default;
};
struct Capsule {
  RoundedCornerStyle style = RoundedCornerStyle::continuous;
  friend bool operator==(const Capsule&, const Capsule&) = default;
};
struct EmptyView {
  friend bool operator==(const EmptyView&, const EmptyView&) = default;
};
// One child per position of the list it was built from.
struct ForEach {
  Views children;
  friend bool operator==(const ForEach&, const ForEach&);
};
struct Link {
  std::pmr::string destination;
  Boxed label;
  friend bool operator==(const Link&, const Link&) = default;
};

using ViewKind = std::variant<HStack, VStack, ZStack, Text, TimerText, Image, Circle, Capsule,
                              EmptyView, ForEach, Link>;

using Modifiers = std::pmr::vector<Modifier>;

struct View {
  ViewKind kind;
  Modifiers modifiers;  // innermost first; the view's nodes share its memory

  // Appends a modifier (it wraps everything before it) and returns the view, for chaining.
  // The modifier is built in its place in the list, with no move of a Modifier.
  template <class M>
  View with(M&& modifier) && {
    // Views carry a handful of modifiers; one allocation instead of three as the list grows.
    if (modifiers.empty()) modifiers.reserve(4);
    modifiers.emplace_back(std::forward<M>(modifier));
    return std::move(*this);
  }
  template <class M>
  View with(M&& modifier) const& {
    View copy = *this;
    copy.modifiers.emplace_back(std::forward<M>(modifier));
    return copy;
  }

  friend bool operator==(const View&, const View&) = default;
};

// --- Builders, so that trees read like the toolkit code they stand for ---------------------------

// The memory that a view's nodes live in.
inline Allocator allocatorOf(const View& view) { return view.modifiers.get_allocator(); }

// The given views moved into a list in the first one's memory: a braced list would copy every
// tree in it.
template <class... Rest>
Views viewList(View first, Rest&&... rest) {
  Views list(allocatorOf(first));
  list.reserve(1 + sizeof...(rest));
  list.push_back(std::move(first));
  (list.push_back(std::forward<Rest>(rest)), ...);
  return list;
}

// Each builder puts its view in the given memory; a stack, a list or a link puts it in the
// memory of its children or label.
View text(std::string_view content, Allocator allocator = {});
View timerText(TimerText timer, Allocator allocator = {});
View hstack(VerticalAlignment alignment, double spacing, Views children);
View vstack(HorizontalAlignment alignment, double spacing, Views children);
View zstack(Alignment alignment, Views children);
View image(std::string_view systemName, Allocator allocator = {});
View circle(Allocator allocator = {});
View capsule(RoundedCornerStyle style, Allocator allocator = {});
View emptyView(Allocator allocator = {});
View forEach(Views children);
View link(std::string_view destination, View label);

// --- The presentations handed to the host --------------------------------------------------------

enum class ExpandedRegionPosition { leading, trailing, center, bottom };

struct ExpandedRegion {
  ExpandedRegionPosition position = ExpandedRegionPosition::leading;
  double priority = 0;
  View content;
  friend bool operator==(const ExpandedRegion&, const ExpandedRegion&) = default;
};

struct DynamicIsland {
  std::pmr::vector<ExpandedRegion> expanded;  // in order
  View compactLeading;
  View compactTrailing;
  View minimal;
  friend bool operator==(const DynamicIsland&, const DynamicIsland&) = default;
};

// The seven presentations of one activity: the lock screen, three expanded regions,
// compact leading, compact trailing and minimal.
struct Presentations {
  View lockScreen;
  DynamicIsland dynamicIsland;
  friend bool operator==(const Presentations&, const Presentations&) = default;
};

// Readable forms (the JSON form) so that failing comparisons print the trees.
std::ostream& operator<<(std::ostream& out, const Color& color);
std::ostream& operator<<(std::ostream& out, const View& view);
std::ostream& operator<<(std::ostream& out, const DynamicIsland& island);
std::ostream& operator<<(std::ostream& out, const Presentations& presentations);

}  // namespace corvlin::ui
