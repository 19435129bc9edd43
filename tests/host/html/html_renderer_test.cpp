#include "host/html/html_renderer.hpp"

#include <gtest/gtest.h>

#include <set>

#include "host/html/html_csp.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_placed.hpp"

namespace corvlin::host {
namespace {

using namespace ui;
using html::Element;

constexpr double now = 1767225510;

// `view` laid out with half the font's size a character, `width` points wide, and its elements.
struct Placed {
  layout::Node node;
  std::vector<Element> elements;
};
Placed place(const View& view, layout::Proposal proposal = {371, std::nullopt}) {
  layout::FixedAdvanceMeasurer measurer;
  layout::Options options;
  options.timerText = [](const TimerText&) { return std::string("1:30"); };
  Placed out{layout::layout(view, proposal, measurer, options, {10, 20}), {}};
  out.elements = html::placedElements(out.node, {10, 20});
  return out;
}

Element drawOne(const View& view) {
  auto elements = place(view).elements;
  EXPECT_EQ(elements.size(), 1u);
  return elements.empty() ? Element{} : elements.front();
}

std::string styleOf(const Element& e, std::string_view property) {
  const auto* value = e.styleValue(property);
  return value ? *value : "";
}

// The elements of the tree with `kind` among their classes, depth first.
void collect(const Element& e, std::string_view kind, std::vector<const Element*>& out) {
  if (e.hasClass(kind)) out.push_back(&e);
  for (const auto& child : e.children) collect(child, kind, out);
}
std::vector<const Element*> all(const std::vector<Element>& elements, std::string_view kind) {
  std::vector<const Element*> out;
  for (const auto& e : elements) collect(e, kind, out);
  return out;
}

std::size_t count(const std::string& haystack, const std::string& needle) {
  std::size_t n = 0;
  for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
    ++n;
  return n;
}

std::string between(const std::string& text, const std::string& open, const std::string& close) {
  const auto start = text.find(open);
  if (start == std::string::npos) return {};
  const auto end = text.find(close, start + open.size());
  return text.substr(start + open.size(), end - start - open.size());
}

// An activity whose lock screen and island show the given title, with a ticking timer.
RenderedActivity working(const std::string& title = "Order 42") {
  const View timer{TimerText{now, now + 90, true, std::nullopt, true}, {}};
  return renderedAs(Presentations{
      hstack(VerticalAlignment::center, 14, {text(title)}),
      {{{ExpandedRegionPosition::bottom, 0, text(title)}}, circle(), timer, circle()}});
}

// The activity laid out as the render command lays it out, with half-size advances.
ActivityLayouts laidOut(const RenderedActivity& activity) {
  layout::FixedAdvanceMeasurer measurer;
  return {layOutAnswer(std::get<Presentations>(activity.outcome), nullptr, {}, now, 371, measurer),
          nullptr};
}

std::string page(const std::vector<RenderedActivity>& activities) {
  std::vector<ActivityLayouts> layouts;
  for (const auto& a : activities) {
    layouts.push_back(std::holds_alternative<Presentations>(a.outcome) ? laidOut(a)
                                                                       : ActivityLayouts{});
  }
  return renderHtml(activities, layouts, now);
}

TEST(HtmlEscape, NoMarkupCharacterSurvives) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"plain text", "plain text"},
      {"<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"Tom & \"Jerry\"", "Tom &amp; &quot;Jerry&quot;"},
      {"it's", "it&#39;s"},
      {"&amp;", "&amp;amp;"},
      {"crème ação", "crème ação"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(html::escape(c.input), c.expected);
  }
  EXPECT_EQ(html::escape(std::string("a\0b", 3)),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(HtmlLinks, OnlyTheAppsOwnSchemeBecomesAnHref) {
  struct Case {
    std::string destination;
    bool linked;
  };
  const Case cases[] = {
      {"corvlin://live-activity/action?actionId=pay%20now", true},
      {"corvlin://live-activity/action?actionId=\"><script>", true},  // escaped when written
      {"javascript:alert(1)", false},
      {"https://example.invalid/", false},
      {"CORVLIN://live-activity/action", false},
      {" corvlin://live-activity/action", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.destination);
    const Element a = drawOne(link(c.destination, text("Go")));
    ASSERT_EQ(a.tag, "a");
    const std::string* href = a.attribute("href");
    EXPECT_EQ(href != nullptr, c.linked);
    if (href) {
      EXPECT_EQ(*href, c.destination);
    }
    html::GeneratedStyles styles;
    std::string written;
    html::write(a, styles, written);
    EXPECT_EQ(count(written, "<script"), 0u);
  }
}

// Where an element stands: its left and top read back, in points.
double at(const Element& e, std::string_view property) {
  const std::string value = styleOf(e, property);
  EXPECT_TRUE(value.ends_with("px")) << property << ": " << value;
  return value.empty() ? -1 : std::stod(value);
}

TEST(HtmlPlacement, EveryTextAndLineStandsWhereTheLayoutPutIt) {
  // 8.5 points a character on 22-point lines: 80 points hold "aaaa bbbb", then "cccc".
  const View column =
      vstack(HorizontalAlignment::leading, 4,
             {text("aaaa bbbb cccc"), capsule(RoundedCornerStyle::continuous).with(Frame{30, 10}),
              emptyView().with(Padding{top, 4})})
          .with(Padding{allEdges, 16});
  const Placed placed = place(column, {112, std::nullopt});
  ASSERT_EQ(placed.elements.size(), 1u);
  const Element& box = placed.elements.front();
  EXPECT_TRUE(box.hasClass("box"));
  EXPECT_EQ(at(box, "left"), 0);  // the root at the origin it was laid out at
  EXPECT_EQ(at(box, "width"), placed.node.frame.width);

  const auto texts = all(placed.elements, "text");
  ASSERT_EQ(texts.size(), 1u);
  // The padding's box, then the stack's, both at the padded edge: the text at 16, 16 in all.
  const auto stacks = all(placed.elements, "vstack");
  ASSERT_EQ(stacks.size(), 1u);
  EXPECT_EQ(at(*stacks.front(), "left"), 16);
  EXPECT_EQ(at(*stacks.front(), "top"), 16);
  EXPECT_EQ(stacks.front()->children.size(), 2u) << "an EmptyView, padded or not, is nothing";
  const Element& t = *texts.front();
  EXPECT_EQ(at(t, "left"), 0);
  EXPECT_EQ(at(t, "top"), 0);
  EXPECT_EQ(styleOf(t, "font-size"), "17px");
  EXPECT_EQ(styleOf(t, "line-height"), "22px");
  ASSERT_EQ(t.children.size(), 2u);
  struct Line {
    const char* text;
    double top;
    double width;
  };
  const Line lines[] = {{"aaaa bbbb", 0, 76.5}, {"cccc", 22, 34}};
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const Element& line = t.children[i];
    EXPECT_TRUE(line.hasClass("line"));
    EXPECT_EQ(line.text, lines[i].text);
    EXPECT_EQ(at(line, "left"), 0);
    EXPECT_EQ(at(line, "top"), lines[i].top);
    EXPECT_EQ(at(line, "width"), lines[i].width);
    EXPECT_EQ(at(line, "height"), 22);
    EXPECT_EQ(*line.attribute("dir"), "auto");
  }
  // The capsule's frame under the text: two lines and the stack's spacing down.
  const auto frames = all(placed.elements, "frame");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(at(*frames.front(), "top"), 48);
  EXPECT_EQ(all(placed.elements, "capsule").size(), 1u);
}

TEST(HtmlPlacement, ATruncatedTextEndsItsLastLineWithTheEllipsisTheLayoutGaveIt) {
  const Placed placed = place(text("aaaa bbbb cccc dddd eeee").with(Frame{80, 44}));
  const auto texts = all(placed.elements, "text");
  ASSERT_EQ(texts.size(), 1u);
  const Element& t = *texts.front();
  ASSERT_EQ(t.children.size(), 2u);
  EXPECT_EQ(*t.attribute("data-truncated"), "true");
  EXPECT_EQ(*t.attribute("data-lines"), "2");
  EXPECT_TRUE(t.children.back().text.ends_with("\xE2\x80\xA6")) << t.children.back().text;
  EXPECT_EQ(t.children.back().text, placed.node.children.front().lines.back().text);
}

TEST(HtmlPlacement, ATimerTicksInTheLineTheLayoutGaveIt) {
  const Element t = drawOne(timerText({now, now + 90, true, std::nullopt, false}));
  ASSERT_EQ(t.children.size(), 1u);
  const Element& line = t.children.front();
  EXPECT_TRUE(line.hasClass("timer"));
  EXPECT_EQ(line.text, "1:30");
  EXPECT_EQ(*line.attribute("data-upper"), html::number(now + 90));
  EXPECT_EQ(*line.attribute("data-counts-down"), "true");
  EXPECT_EQ(*line.attribute("data-shows-hours"), "false");
  EXPECT_EQ(line.attribute("data-pause-time"), nullptr);
}

TEST(HtmlPlacement, ARotationTurnsTheElementItWrapsAboutItsAnchor) {
  // The ring's arc: a quarter, stroked, turned back a quarter turn about its centre.
  Stroke stroke;
  stroke.lineWidth = 5;
  stroke.lineCap = LineCap::round;
  const View arc = circle()
                       .with(Trim{0, 0.25})
                       .with(stroke)
                       .with(RotationEffect{-90, {0.5, 0.5}})
                       .with(Frame{58, 58});
  const Placed ring = place(arc);
  const auto circles = all(ring.elements, "circle");
  ASSERT_EQ(circles.size(), 1u);
  EXPECT_EQ(styleOf(*circles.front(), "transform"), "rotate(-90deg)");
  EXPECT_EQ(styleOf(*circles.front(), "transform-origin"), "29px 29px");
  EXPECT_EQ(at(*circles.front(), "width"), 58);

  // Turned twice: the second turn wraps the first in a group of the same box.
  const auto twice =
      place(text("a").with(RotationEffect{10, {0, 0}}).with(RotationEffect{20, {1, 1}}));
  ASSERT_EQ(twice.elements.size(), 1u);
  EXPECT_EQ(styleOf(twice.elements.front(), "transform"), "rotate(20deg)");
  EXPECT_EQ(styleOf(twice.elements.front(), "transform-origin"), "8.5px 22px");
  ASSERT_EQ(twice.elements.front().children.size(), 1u);
  EXPECT_EQ(styleOf(twice.elements.front().children.front(), "transform"), "rotate(10deg)");
}

TEST(HtmlPage, EachCutOrShortenedPresentationHasABadgeWithTheWarningsNumbers) {
  // Forty lines of text on the lock screen: far taller than the 160 points the phone shows.
  const RenderedActivity tall = working(std::string(40 * 40, 'a'));
  const ActivityLayouts layouts = laidOut(tall);
  ASSERT_FALSE(layouts.shown->warnings.empty());
  const std::string written = renderHtml({tall, working()}, {layouts, laidOut(working())}, now);
  for (const Warning& w : layouts.shown->warnings) {
    SCOPED_TRACE(w.description);
    EXPECT_NE(written.find(">" + html::escape(w.description) + "<"), std::string::npos);
  }
  std::size_t shown = 0;
  for (const Warning& w : layouts.shown->warnings) {
    shown += w.kind == Warning::Kind::clipped || w.kind == Warning::Kind::truncated;
  }
  EXPECT_GT(shown, 0u);
  EXPECT_EQ(count(written, "data-testid=\"overflow-badge\""), shown);
  // A button that shows the cut part under each figure something is cut off of, and only there.
  std::set<std::string> cut;
  for (const Warning& w : layouts.shown->warnings) {
    if (w.kind == Warning::Kind::clipped) {
      cut.insert(w.presentation.starts_with("compact") ? "compact" : w.presentation);
    }
  }
  EXPECT_EQ(count(written, "data-testid=\"overflow-toggle\""), cut.size());
  if (!cut.empty()) {
    EXPECT_LT(written.rfind("data-testid=\"overflow-toggle\""), written.find("Activity 2 of 2"));
  }
  // The card is at most as tall as the phone shows it.
  EXPECT_LE(layouts.shown->layout.lockScreen.size.height, 160);
}

TEST(HtmlPage, PolicyAdmitsExactlyTheEmbeddedStyleAndScript) {
  const std::string written = page({working()});
  const std::string policy =
      between(written, "http-equiv=\"Content-Security-Policy\" content=\"", "\"");
  const std::string style = between(written, "<style>", "</style>");
  const std::string script = between(written, "<script>", "</script>");
  ASSERT_FALSE(style.empty());
  ASSERT_FALSE(script.empty());
  EXPECT_EQ(policy, html::escape(html::contentSecurityPolicy(style, script)));
  EXPECT_NE(policy.find("default-src &#39;none&#39;"), std::string::npos);
  EXPECT_NE(policy.find("script-src " + html::escape(html::hashSource(script))), std::string::npos);
  EXPECT_EQ(policy.find("unsafe"), std::string::npos);
  // No style attributes (they would need 'unsafe-inline'), no inline handlers, no addresses.
  EXPECT_EQ(count(written, " style="), 0u);
  EXPECT_EQ(count(written, " onclick="), 0u);
  EXPECT_EQ(count(written, "http:"), 0u);
  EXPECT_EQ(count(written, "https:"), 0u);
}

TEST(HtmlPage, EachActivityOrItsErrorStandsInItsPlace) {
  const RenderedActivity broken =
      renderedAs(DecodingError{DecodingError::Kind::typeMismatch,
                               {std::size_t{1}, "title"},
                               "Expected to decode String but found <number>."});
  const RenderedActivity crashed =
      renderedAs(ExtensionFailure{ExtensionFailure::Kind::crashed, "the extension crashed"});
  const std::string written = page({working("First"), broken, working("Third"), crashed});

  EXPECT_EQ(count(written, "data-testid=\"activity\""), 4u);
  EXPECT_EQ(count(written, "data-testid=\"lock-screen\""), 2u);
  EXPECT_EQ(count(written, "data-testid=\"activity-error\""), 2u);
  const auto first = written.find(">First<");
  const auto error = written.find(
      "typeMismatch at [1].title: Expected to decode String but found &lt;number&gt;.");
  const auto third = written.find(">Third<");
  const auto failure = written.find("the extension crashed");
  ASSERT_NE(error, std::string::npos);
  ASSERT_NE(failure, std::string::npos);
  EXPECT_LT(first, error);
  EXPECT_LT(error, third);
  EXPECT_LT(third, failure);
  EXPECT_NE(written.find("Activity 4 of 4"), std::string::npos);
  EXPECT_NE(written.find("data-now=\"1767225510\""), std::string::npos);

  // An activity that has drawn nothing yet names no regions, and leaves no empty brackets.
  const RenderedActivity nothing = renderedAs(Presentations{});
  const std::string undrawn = page({nothing});
  EXPECT_NE(undrawn.find("Dynamic Island, expanded<"), std::string::npos);
  EXPECT_EQ(undrawn.find("expanded ()"), std::string::npos);

  // Presentations that could not be laid out say so in their place: the browser places nothing.
  const std::string unplaced = renderHtml({working("Lost")}, {}, now);
  EXPECT_EQ(count(unplaced, "data-testid=\"lock-screen\""), 0u);
  EXPECT_NE(unplaced.find("The presentations could not be laid out"), std::string::npos);
}

TEST(CspHashSource, IsTheBase64Sha256OfTheText) {
  struct Case {
    std::string input;
    const char* base64;
  };
  const Case cases[] = {
      {"", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
      {"abc", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.size());
    EXPECT_EQ(html::hashSource(c.input), std::string("'sha256-") + c.base64 + "'");
  }
}

}  // namespace
}  // namespace corvlin::host
