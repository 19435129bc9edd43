#include "toolkit/view_json.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string_view>
#include <type_traits>

#include "toolkit/view_names.hpp"

namespace corvlin {
namespace {

using namespace ui;

constexpr double inf = std::numeric_limits<double>::infinity();

// Reads a view, or with `presentations` all seven presentations, and returns the reader's error.
DecodingError errorOf(const std::string& text, bool presentations = false) {
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  if (parser.parse(text).get(element) != simdjson::SUCCESS) return {};
  if (presentations) {
    auto read = presentationsFromJson(element);
    return read ? DecodingError{} : std::move(read).error();
  }
  auto read = viewFromJson(element);
  return read ? DecodingError{} : std::move(read).error();
}

// A tree holding every kind of view and modifier, with values away from the defaults.
View everything() {
  const Color c{0.1, 0.2, 0.3, 0.4};
  View label = text("tap \"me\"\n\u00E9").with(FontModifier{font(TextStyle::footnote)});
  Views all{
      text("").with(FontModifier{Font{TextStyle::title2, true, FontWeight::semibold}}),
      View{TimerText{1.5, 64092211200, false, 12.25, false}, {}},
      View{TimerText{-3, 7, true, std::nullopt, true}, {}},
      image("lock.fill").with(Opacity{0.5}),
      circle()
          .with(Trim{0.125, 0.75})
          .with(Stroke{c, 2.5, LineCap::square, LineJoin::bevel, 4, {1, 2.5}, 0.5})
          .with(RotationEffect{-90, {0, 1}}),
      capsule(RoundedCornerStyle::circular).with(Fill{c}),
      emptyView().with(Padding{top | trailing, 4}).with(Padding{0, 1}),
      forEach({link("corvlin://x?y=%20", label)}),
      vstack(HorizontalAlignment::leading, 0, {})
          .with(MultilineTextAlignment{TextAlignment::center}),
      hstack(VerticalAlignment::bottom, 1e-7, {emptyView()})
          .with(LayoutDirectionModifier{LayoutDirection::leftToRight})
          .with(ActivityBackgroundTint{c})
          .with(ActivitySystemActionForegroundColor{c}),
  };
  const Alignment names[] = {
      {HorizontalAlignment::center, VerticalAlignment::center},
      {HorizontalAlignment::leading, VerticalAlignment::center},
      {HorizontalAlignment::trailing, VerticalAlignment::center},
      {HorizontalAlignment::center, VerticalAlignment::top},
      {HorizontalAlignment::center, VerticalAlignment::bottom},
      {HorizontalAlignment::leading, VerticalAlignment::top},
      {HorizontalAlignment::trailing, VerticalAlignment::top},
      {HorizontalAlignment::leading, VerticalAlignment::bottom},
      {HorizontalAlignment::trailing, VerticalAlignment::bottom},
  };
  for (const auto& a : names) {
    all.push_back(zstack(a, {circle()})
                      .with(Frame{58, 0.3, a})
                      .with(FlexFrame{inf, a})
                      .with(FlexFrame{44, a})
                      .with(Background{capsule(RoundedCornerStyle::continuous), a}));
  }
  return hstack(VerticalAlignment::top, 14, std::move(all))
      .with(ForegroundColor{{1, 1, 1, 0.75}})
      .with(LayoutDirectionModifier{LayoutDirection::rightToLeft});
}

TEST(ViewJson, ReadsBackEveryViewAndModifier) {
  const View tree = everything();
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  ASSERT_EQ(parser.parse(toJson(tree)).get(element), simdjson::SUCCESS);
  const auto read = viewFromJson(element);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, tree);
}

TEST(ViewJson, ReaderGivesTheKindAndPathOfTheFault) {
  using Kind = DecodingError::Kind;
  const std::string empty = R"({"type":"EmptyView","modifiers":[]})";
  auto island = [&](const std::string& third) {
    return R"({"lockScreen":)" + empty + R"(,"dynamicIsland":{"expanded":[)" +
           R"({"position":"leading","priority":0,"content":)" + empty + "}," +
           R"({"position":"trailing","priority":0,"content":)" + empty + "}," + third +
           R"(],"compactLeading":)" + empty + R"(,"compactTrailing":)" + empty + R"(,"minimal":)" +
           empty + "}}";
  };
  auto at = [](std::size_t index) { return CodingPathElement(index); };
  // A circle with the one modifier given.
  auto circleWith = [](const std::string& modifier) {
    return R"({"type":"Circle","modifiers":[)" + modifier + "]}";
  };
  struct Case {
    std::string json;
    Kind kind;
    CodingPath path;
    const char* description = "";
    bool presentations = false;
  };
  // clang-format off
  const Case cases[] = {
      {"[]", Kind::typeMismatch, {}, "Dictionary"},
      {R"({"type":"Foo","modifiers":[]})", Kind::dataCorrupted, {"type"}, R"("Foo")"},
      {R"({"modifiers":[]})", Kind::keyNotFound, {"type"}},
      {R"({"type":"Text","text":"a"})", Kind::keyNotFound, {"modifiers"}},
      {R"({"type":"Text","text":null,"modifiers":[]})", Kind::valueNotFound, {"text"}},
      {R"({"type":"HStack","alignment":"top","spacing":"8","children":[],"modifiers":[]})", Kind::typeMismatch, {"spacing"}, "Double"},
      {R"({"type":"HStack","alignment":"leading","spacing":0,"children":[],"modifiers":[]})", Kind::dataCorrupted, {"alignment"}, "vertical alignment"},
      {R"({"type":"TimerText","lower":0,"upper":1,"countsDown":1,"showsHours":true,"modifiers":[]})", Kind::typeMismatch, {"countsDown"}, "Bool"},
      {R"({"type":"ZStack","alignment":"center","children":[{"type":"Circle","modifiers":[]},{"type":"Foo"}],"modifiers":[]})", Kind::dataCorrupted, {"children", at(1), "type"}},
      {R"({"type":"Link","destination":"u","children":[],"modifiers":[]})", Kind::dataCorrupted, {"children"}, "exactly one child"},
      {circleWith(R"({"type":"padding","edges":["top","left"],"length":1})"), Kind::dataCorrupted, {"modifiers", at(0), "edges", at(1)}, R"("left")"},
      {circleWith(R"({"type":"flexFrame","maxWidth":"wide","alignment":"center"})"), Kind::dataCorrupted, {"modifiers", at(0), "maxWidth"}, "infinity"},
      {circleWith(R"({"type":"font","style":"caption","monospacedDigit":false,"weight":"bold"})"), Kind::dataCorrupted, {"modifiers", at(0), "weight"}, "font weight"},
      {circleWith(R"({"type":"fill","color":{"red":1,"green":1,"opacity":1}})"), Kind::keyNotFound, {"modifiers", at(0), "color", "blue"}},
      {circleWith(R"({"type":"stroke","color":{"red":1,"green":1,"blue":1,"opacity":1},"lineWidth":1,"lineCap":"butt","lineJoin":"miter","miterLimit":1,"dash":[1,null],"dashPhase":0})"), Kind::typeMismatch, {"modifiers", at(0), "dash", at(1)}},
      {circleWith(R"({"type":"glow"})"), Kind::dataCorrupted, {"modifiers", at(0), "type"}, "modifier type"},
      {circleWith(R"({"type":"background","content":{"type":"Circle","modifiers":[{}]},"alignment":"center"})"), Kind::keyNotFound, {"modifiers", at(0), "content", "modifiers", at(0), "type"}},
      {island(R"({"position":"top","priority":0,"content":)" + empty + "}"), Kind::dataCorrupted, {"dynamicIsland", "expanded", at(2), "position"}, "region position", true},
      {island(
           R"({"position":"bottom","priority":0,"content":{"type":"HStack","alignment":"center","spacing":0,"children":[)" +
           empty + R"(,7],"modifiers":[]}})"), Kind::typeMismatch, {"dynamicIsland", "expanded", at(2), "content", "children", at(1)}, "", true},
      {R"({"lockScreen":{"type":"Circle","modifiers":[7]}})", Kind::typeMismatch, {"lockScreen", "modifiers", at(0)}, "", true},
      {R"({"lockScreen":)" + empty + "}", Kind::keyNotFound, {"dynamicIsland"}, "", true},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const DecodingError error = errorOf(c.json, c.presentations);
    EXPECT_EQ(error.kind, c.kind) << error;
    EXPECT_TRUE(error.codingPath == c.path) << error;
    EXPECT_NE(error.description.find(c.description), std::string::npos) << error;
  }
}

TEST(ViewJson, ReadsEveryNameBackToItsValue) {
  auto check = [](auto value) {
    const std::string_view written = name(value);
    SCOPED_TRACE(written);
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(valueNamed<decltype(value)>(written), value);
  };
  // A name written twice reads back as the first value that has it.
  auto all = [&]<class E>(std::type_identity<E>) {
    forEachValue<E>([&](E value) { check(value); });
  };
  all(std::type_identity<VerticalAlignment>());
  all(std::type_identity<HorizontalAlignment>());
  all(std::type_identity<TextAlignment>());
  all(std::type_identity<TextStyle>());
  all(std::type_identity<FontWeight>());
  all(std::type_identity<LayoutDirection>());
  all(std::type_identity<LineCap>());
  all(std::type_identity<LineJoin>());
  all(std::type_identity<RoundedCornerStyle>());
  all(std::type_identity<ExpandedRegionPosition>());
  all(std::type_identity<Edge>());
  forEachValue<VerticalAlignment>([&](VerticalAlignment v) {
    forEachValue<HorizontalAlignment>([&](HorizontalAlignment h) { check(Alignment{h, v}); });
  });
  EXPECT_EQ(valueNamed<LineCap>("Round"), std::nullopt);
  EXPECT_EQ(valueNamed<Alignment>("centre"), std::nullopt);
}

}  // namespace
}  // namespace corvlin
