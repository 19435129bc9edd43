#include "views/toolkit/view_json.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace corvlin {
namespace {

using namespace ui;

constexpr double inf = std::numeric_limits<double>::infinity();

// Reads a view, or with `presentations` all seven presentations, and returns the reader's error.
std::string errorOf(const std::string& text, bool presentations = false) {
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  if (parser.parse(text).get(element) != simdjson::SUCCESS) return "not JSON";
  if (presentations) {
    const auto read = presentationsFromJson(element);
    return read ? "" : read.error();
  }
  const auto read = viewFromJson(element);
  return read ? "" : read.error();
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
  simdjson::dom::parser parser;
  simdjson::dom::element element;
  ASSERT_EQ(parser.parse(toJson(tree)).get(element), simdjson::SUCCESS);
  const auto read = viewFromJson(element);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, tree);
}

TEST(ViewJson, ReaderNamesWhereTheFaultIs) {
  const std::string empty = R"({"type":"EmptyView","modifiers":[]})";
  struct Case {
    std::string json;
    const char* error;
    bool presentations = false;
  };
  const Case cases[] = {
      {R"([])", "expected an object"},
      {R"({"type":"Foo","modifiers":[]})", R"(unknown view type "Foo")"},
      {R"({"type":"Text","text":"a"})", R"(missing member "modifiers")"},
      {R"({"type":"HStack","alignment":"top","spacing":"8","children":[],"modifiers":[]})",
       "spacing: expected a number"},
      {R"({"type":"ZStack","alignment":"center","children":[{"type":"Circle","modifiers":[]},{"type":"Foo"}],"modifiers":[]})",
       R"(children[1]: unknown view type "Foo")"},
      {R"({"type":"Circle","modifiers":[{"type":"padding","edges":["top","left"],"length":1}]})",
       R"(modifiers[0].edges[1]: unknown edge "left")"},
      {R"({"type":"Circle","modifiers":[{"type":"flexFrame","maxWidth":"wide","alignment":"center"}]})",
       R"(modifiers[0].maxWidth: expected a number or "infinity")"},
      {R"({"type":"Link","destination":"u","children":[],"modifiers":[]})",
       "children: a Link has exactly one child, its label"},
      {R"({"lockScreen":)" + empty +
           R"(,"dynamicIsland":{"expanded":[{"position":"top","priority":0,"content":)" + empty +
           R"(}],"compactLeading":)" + empty + R"(,"compactTrailing":)" + empty + R"(,"minimal":)" +
           empty + "}}",
       R"(dynamicIsland.expanded[0].position: unknown region position "top")", true},
      {R"({"lockScreen":{"type":"Circle","modifiers":[7]}})",
       "lockScreen.modifiers[0]: expected an object", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(errorOf(c.json, c.presentations), c.error);
  }
}

}  // namespace
}  // namespace corvlin
