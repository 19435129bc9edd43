#include "views/toolkit/view_json.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace corvlin {
namespace {

using namespace ui;

constexpr double inf = std::numeric_limits<double>::infinity();

Result<View, std::string> readView(const std::string& text) {
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  if (parser.parse(text).get(element) != simdjson::SUCCESS) return Failure{"not JSON"};
  return viewFromJson(element);
}

Result<Presentations, std::string> readPresentations(const std::string& text) {
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  if (parser.parse(text).get(element) != simdjson::SUCCESS) return Failure{"not JSON"};
  return presentationsFromJson(element);
}

// A tree holding every kind of view and modifier, with values away from the defaults.
View everything() {
  const Color c{0.1, 0.2, 0.3, 0.4};
  View label = text("tap \"me\"\n\u00E9").with(FontModifier{font(TextStyle::footnote)});
  std::vector<View> all{
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
  const auto read = readView(toJson(tree));
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, tree);

  const Presentations presentations{tree,
                                    {{{ExpandedRegionPosition::leading, 0, text("a")},
                                      {ExpandedRegionPosition::center, 2.5, tree},
                                      {ExpandedRegionPosition::bottom, -1, emptyView()}},
                                     circle(),
                                     text("b"),
                                     emptyView().with(Opacity{0})}};
  const auto readBack = readPresentations(toJson(presentations));
  ASSERT_TRUE(readBack) << readBack.error();
  EXPECT_EQ(*readBack, presentations);
}

TEST(ViewJson, WritesTheDocumentedNamesInOrder) {
  struct Case {
    View view;
    const char* json;
  };
  const Case cases[] = {
      {text("a"), R"({"type":"Text","text":"a","modifiers":[]})"},
      {hstack(VerticalAlignment::center, 8, {emptyView()}),
       R"({"type":"HStack","alignment":"center","spacing":8,"children":[{"type":"EmptyView","modifiers":[]}],"modifiers":[]})"},
      {View{TimerText{1767225510, 1767225600, true, std::nullopt, true}, {}},
       R"({"type":"TimerText","lower":1767225510,"upper":1767225600,"countsDown":true,"pauseTime":null,"showsHours":true,"modifiers":[]})"},
      {link("u", text("l")),
       R"({"type":"Link","destination":"u","children":[{"type":"Text","text":"l","modifiers":[]}],"modifiers":[]})"},
      {circle().with(Padding{trailing | top | leading, 4}),
       R"({"type":"Circle","modifiers":[{"type":"padding","edges":["top","leading","trailing"],"length":4}]})"},
      {circle()
           .with(FlexFrame{inf, trailingCentered})
           .with(FlexFrame{44, {HorizontalAlignment::leading, VerticalAlignment::bottom}}),
       R"({"type":"Circle","modifiers":[{"type":"flexFrame","maxWidth":"infinity","alignment":"trailing"},{"type":"flexFrame","maxWidth":44,"alignment":"bottomLeading"}]})"},
      {circle()
           .with(FontModifier{Font{TextStyle::caption, true, FontWeight::semibold}})
           .with(FontModifier{font(TextStyle::title2)}),
       R"({"type":"Circle","modifiers":[{"type":"font","style":"caption","monospacedDigit":true,"weight":"semibold"},{"type":"font","style":"title2","monospacedDigit":false,"weight":null}]})"},
      {circle().with(Stroke{{1, 0.62, 0.11, 1}, 5, LineCap::round, LineJoin::miter, 10, {}, 0}),
       R"({"type":"Circle","modifiers":[{"type":"stroke","color":{"red":1,"green":0.62,"blue":0.11,"opacity":1},"lineWidth":5,"lineCap":"round","lineJoin":"miter","miterLimit":10,"dash":[],"dashPhase":0}]})"},
      {circle()
           .with(RotationEffect{-90, {0.5, 0.5}})
           .with(LayoutDirectionModifier{LayoutDirection::rightToLeft}),
       R"({"type":"Circle","modifiers":[{"type":"rotationEffect","degrees":-90,"anchor":{"x":0.5,"y":0.5}},{"type":"layoutDirection","value":"rightToLeft"}]})"},
      {capsule(RoundedCornerStyle::continuous).with(Background{circle(), centered}),
       R"({"type":"Capsule","style":"continuous","modifiers":[{"type":"background","content":{"type":"Circle","modifiers":[]},"alignment":"center"}]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(toJson(c.view), c.json);
  }
}

TEST(ViewJson, ReaderNamesWhereTheFaultIs) {
  struct Case {
    const char* json;
    const char* error;
  };
  const Case cases[] = {
      {R"([])", "expected an object"},
      {R"({"type":"Foo","modifiers":[]})", R"(unknown view type "Foo")"},
      {R"({"modifiers":[]})", R"(missing member "type")"},
      {R"({"type":"Text","modifiers":[]})", R"(missing member "text")"},
      {R"({"type":"Text","text":"a"})", R"(missing member "modifiers")"},
      {R"({"type":"Text","text":1,"modifiers":[]})", "text: expected a string"},
      {R"({"type":"VStack","alignment":"top","spacing":0,"children":[],"modifiers":[]})",
       R"(alignment: unknown alignment "top")"},
      {R"({"type":"HStack","alignment":"top","spacing":"8","children":[],"modifiers":[]})",
       "spacing: expected a number"},
      {R"({"type":"ZStack","alignment":"center","children":[{"type":"Circle","modifiers":[]},{"type":"Foo"}],"modifiers":[]})",
       R"(children[1]: unknown view type "Foo")"},
      {R"({"type":"Circle","modifiers":[{"type":"blur"}]})",
       R"(modifiers[0]: unknown modifier type "blur")"},
      {R"({"type":"Circle","modifiers":[{"type":"padding","edges":["top","left"],"length":1}]})",
       R"(modifiers[0].edges[1]: unknown edge "left")"},
      {R"({"type":"Circle","modifiers":[{"type":"flexFrame","maxWidth":"wide","alignment":"center"}]})",
       R"(modifiers[0].maxWidth: expected a number or "infinity")"},
      {R"({"type":"Circle","modifiers":[{"type":"fill","color":{"red":1,"green":0,"blue":0}}]})",
       R"(modifiers[0].color: missing member "opacity")"},
      {R"({"type":"Circle","modifiers":[{"type":"background","content":{"type":"Bar","modifiers":[]},"alignment":"center"}]})",
       R"(modifiers[0].content: unknown view type "Bar")"},
      {R"({"type":"Link","destination":"u","children":[],"modifiers":[]})",
       "children: a Link has exactly one child, its label"},
      {R"({"type":"TimerText","lower":0,"upper":1,"countsDown":1,"pauseTime":null,"showsHours":true,"modifiers":[]})",
       "countsDown: expected true or false"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const auto read = readView(c.json);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), c.error);
  }
}

TEST(ViewJson, PresentationsReaderPathsStartAtTheSlot) {
  const std::string view = R"({"type":"EmptyView","modifiers":[]})";
  const auto island = [&](const std::string& expanded) {
    return R"({"lockScreen":)" + view + R"(,"dynamicIsland":{"expanded":)" + expanded +
           R"(,"compactLeading":)" + view + R"(,"compactTrailing":)" + view + R"(,"minimal":)" +
           view + "}}";
  };
  struct Case {
    std::string json;
    const char* error;
  };
  const Case cases[] = {
      {island(
           R"([{"position":"leading","priority":0,"content":{"type":"HStack","alignment":"center","spacing":0,"children":[{"type":"Circle","modifiers":[]},{"type":"Foo","modifiers":[]}],"modifiers":[]}}])"),
       R"(dynamicIsland.expanded[0].content.children[1]: unknown view type "Foo")"},
      {island(R"([{"position":"top","priority":0,"content":)" + view + "}]"),
       R"(dynamicIsland.expanded[0].position: unknown region position "top")"},
      {R"({"lockScreen":{"type":"Circle","modifiers":[7]}})",
       "lockScreen.modifiers[0]: expected an object"},
      {R"({"lockScreen":)" + view + "}", R"(missing member "dynamicIsland")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const auto read = readPresentations(c.json);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), c.error);
  }
}

}  // namespace
}  // namespace corvlin
