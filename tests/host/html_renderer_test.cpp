#include "host/html_renderer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "host/html_csp.hpp"
#include "host/html_element.hpp"
#include "host/html_views.hpp"
#include "host/timer_format.hpp"

namespace corvlin::host {
namespace {

using namespace ui;
using html::Element;

constexpr double now = 1767225510;

Font fontOf(TextStyle style, bool monospacedDigit = false,
            std::optional<FontWeight> weight = std::nullopt) {
  return {style, monospacedDigit, weight};
}
const Color amber{1.0, 0.62, 0.11, 1};

std::vector<Element> draw(const View& view,
                          LayoutDirection direction = LayoutDirection::leftToRight) {
  html::ViewContext context;
  context.now = now;
  context.direction = direction;
  return html::renderView(view, context);
}

Element drawOne(const View& view) {
  auto elements = draw(view);
  EXPECT_EQ(elements.size(), 1u);
  return elements.empty() ? Element{} : elements.front();
}

void collect(const Element& e, const std::function<bool(const Element&)>& match,
             std::vector<const Element*>& out) {
  if (match(e)) out.push_back(&e);
  for (const auto& child : e.children) collect(child, match, out);
}

std::vector<const Element*> findAll(const Element& root, const std::string& tagOrClass) {
  std::vector<const Element*> out;
  collect(
      root, [&](const Element& e) { return e.tag == tagOrClass || e.hasClass(tagOrClass); }, out);
  return out;
}

std::string styleOf(const Element& e, std::string_view property) {
  const auto* value = e.styleValue(property);
  return value ? *value : "";
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

// A lock screen and island in the shape the extension answers, with the given title.
Presentations presentationsWith(const std::string& title) {
  View lock = hstack(VerticalAlignment::center, 14, {text(title)})
                  .with(ActivityBackgroundTint{black.withOpacity(0.85)})
                  .with(ActivitySystemActionForegroundColor{white})
                  .with(LayoutDirectionModifier{LayoutDirection::rightToLeft});
  View dot = circle().with(Fill{amber}).with(Frame{8, 8, centered});
  View timer{TimerText{now, now + 90, true, std::nullopt, true}, {}};
  return {lock, {{{ExpandedRegionPosition::bottom, 0, text(title)}}, dot, timer, dot}};
}

RenderedActivity working(const std::string& title = "Order 42") {
  RenderedActivity r;
  r.presentations = presentationsWith(title);
  return r;
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

TEST(HtmlViews, EmptyViewsTakeNoPlaceEvenWhenPadded) {
  EXPECT_TRUE(draw(emptyView()).empty());
  EXPECT_TRUE(draw(emptyView().with(Padding{top, 4}).with(ForegroundColor{white})).empty());
  EXPECT_TRUE(draw(forEach({})).empty());

  const Element row = drawOne(hstack(VerticalAlignment::center, 8,
                                     {text("a"), emptyView().with(Padding{top, 4}),
                                      forEach({text("b"), emptyView(), text("c")}), forEach({})}));
  ASSERT_EQ(row.children.size(), 3u);
  EXPECT_EQ(row.children[1].text, "b");
  EXPECT_EQ(styleOf(row, "gap"), "8px");
}

TEST(HtmlViews, ModifiersOnAForEachApplyToEachView) {
  const auto elements = draw(forEach({text("a"), text("b")}).with(Padding{allEdges, 2}));
  ASSERT_EQ(elements.size(), 2u);
  for (const auto& e : elements) EXPECT_EQ(styleOf(e, "padding-top"), "2px");
}

TEST(HtmlViews, StacksBecomeFlexBoxesWithAlignmentAndSpacing) {
  struct Case {
    View view;
    const char* kind;
    const char* align;
    const char* gap;
  };
  const Case cases[] = {
      {hstack(VerticalAlignment::center, 14, {text("x")}), "hstack", "center", "14px"},
      {hstack(VerticalAlignment::top, 0, {text("x")}), "hstack", "flex-start", ""},
      {vstack(HorizontalAlignment::trailing, 4, {text("x")}), "vstack", "flex-end", "4px"},
      {vstack(HorizontalAlignment::leading, 2, {text("x")}), "vstack", "flex-start", "2px"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const Element e = drawOne(c.view);
    EXPECT_TRUE(e.hasClass(c.kind));
    EXPECT_EQ(styleOf(e, "align-items"), c.align);
    EXPECT_EQ(styleOf(e, "gap"), c.gap);
  }
}

TEST(HtmlViews, PaddingNamesLogicalEdges) {
  const Element e = drawOne(text("x").with(Padding{top | leading, 4}));
  EXPECT_EQ(e.style, (std::vector<std::pair<std::string, std::string>>{
                         {"padding-top", "4px"}, {"padding-inline-start", "4px"}}));
  const Element all = drawOne(text("x").with(Padding{allEdges, 16}));
  EXPECT_EQ(styleOf(all, "padding-inline-end"), "16px");
  EXPECT_EQ(styleOf(all, "padding-bottom"), "16px");
}

TEST(HtmlViews, FlexibleFramesSpreadTheirWishForWidthOutwards) {
  const double infinity = std::numeric_limits<double>::infinity();
  const Element row = drawOne(hstack(VerticalAlignment::center, 14,
                                     {text("column").with(FlexFrame{infinity, trailingCentered}),
                                      circle().with(Frame{58, 58, centered})})
                                  .with(Padding{allEdges, 16}));
  EXPECT_TRUE(row.hasClass("fill-w")) << "the padding around a row that fills fills too";
  const Element& stack = row.children.at(0);
  EXPECT_TRUE(stack.hasClass("fill-w"));
  EXPECT_TRUE(stack.children.at(0).hasClass("fill-w"));
  EXPECT_EQ(styleOf(stack.children.at(0), "justify-content"), "flex-end");
  EXPECT_FALSE(stack.children.at(1).hasClass("fill-w"));
  EXPECT_EQ(styleOf(stack.children.at(1), "width"), "58px");

  const Element compact = drawOne(text("1:30").with(FlexFrame{44, centered}));
  EXPECT_FALSE(compact.hasClass("fill-w"));
  EXPECT_EQ(styleOf(compact, "max-width"), "44px");
}

TEST(HtmlViews, FontsMapToPointSizesPerStyle) {
  struct Case {
    Font font;
    const char* size;
    const char* weight;
    const char* numeric;
  };
  const Case cases[] = {
      {fontOf(TextStyle::title2, true), "22px", "400", "tabular-nums"},
      {fontOf(TextStyle::headline), "17px", "600", "normal"},
      {fontOf(TextStyle::caption).monospaced().withWeight(FontWeight::semibold), "12px", "600",
       "tabular-nums"},
      {fontOf(TextStyle::caption2, true), "11px", "400", "tabular-nums"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const Element e = drawOne(text("1:30").with(FontModifier{c.font}));
    EXPECT_EQ(styleOf(e, "font-size"), c.size);
    EXPECT_EQ(styleOf(e, "font-weight"), c.weight);
    EXPECT_EQ(styleOf(e, "font-variant-numeric"), c.numeric);
  }
}

TEST(HtmlViews, EnvironmentValuesSetCloserToTheViewWin) {
  const Color red{1, 0, 0, 1};
  const Element inner = drawOne(text("x").with(ForegroundColor{red}).with(ForegroundColor{white}));
  EXPECT_EQ(styleOf(inner, "color"), "color(srgb 1 0 0)");

  // A container's colour and font reach the texts inside through inheritance.
  const Element column = drawOne(
      vstack(HorizontalAlignment::center, 0, {text("a"), text("b").with(ForegroundColor{red})})
          .with(ForegroundColor{white.withOpacity(0.75)})
          .with(FontModifier{fontOf(TextStyle::caption)}));
  EXPECT_EQ(styleOf(column, "color"), "color(srgb 1 1 1 / 0.75)");
  EXPECT_EQ(styleOf(column, "font-size"), "12px");
  EXPECT_EQ(styleOf(column.children[0], "color"), "");
  EXPECT_EQ(styleOf(column.children[1], "color"), "color(srgb 1 0 0)");

  const Element faded = drawOne(text("x").with(Opacity{0.5}).with(Opacity{0.5}));
  EXPECT_EQ(styleOf(faded, "opacity"), "0.25");
}

TEST(HtmlViews, RightToLeftSetsTheDirectionAndAlignsLinesByIt) {
  struct Case {
    LayoutDirection direction;
    TextAlignment alignment;
    const char* expected;
  };
  const Case cases[] = {
      {LayoutDirection::rightToLeft, TextAlignment::leading, "right"},
      {LayoutDirection::rightToLeft, TextAlignment::trailing, "left"},
      {LayoutDirection::leftToRight, TextAlignment::leading, "left"},
      {LayoutDirection::leftToRight, TextAlignment::trailing, "right"},
      {LayoutDirection::rightToLeft, TextAlignment::center, "center"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const Element row =
        drawOne(hstack(VerticalAlignment::center, 0,
                       {text("Title."), text("0:00").with(MultilineTextAlignment{c.alignment})})
                    .with(LayoutDirectionModifier{c.direction}));
    EXPECT_EQ(*row.attribute("dir"), c.direction == LayoutDirection::rightToLeft ? "rtl" : "ltr");
    EXPECT_EQ(styleOf(row.children[1], "text-align"), c.expected);
    // Each text takes its base direction from its own letters.
    EXPECT_EQ(*row.children[0].attribute("dir"), "auto");
  }
  // The direction handed down from a container reaches texts that set none.
  const auto inside = draw(text("x"), LayoutDirection::rightToLeft);
  EXPECT_EQ(styleOf(inside.at(0), "text-align"), "right");
}

TEST(HtmlViews, RingArcIsOneDashFromTheTopClockwise) {
  struct Case {
    double to;
    std::optional<double> dash;  // absent: no dash array (a whole or an empty ring)
    bool stroked;
  };
  const double circumference = 2 * std::numbers::pi * 29;
  const Case cases[] = {
      {0.25, 0.25 * circumference, true},
      {1, std::nullopt, true},
      {0, std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    View arc = circle()
                   .with(Trim{0, c.to})
                   .with(Stroke{amber, 5, LineCap::round, LineJoin::miter, 10, {}, 0})
                   .with(RotationEffect{-90, {0.5, 0.5}});
    const Element ring = drawOne(zstack(centered, {arc}).with(Frame{58, 58, centered}));
    const auto svgs = findAll(ring, "svg");
    ASSERT_EQ(svgs.size(), 1u);
    const Element& svg = *svgs[0];
    EXPECT_EQ(styleOf(svg, "transform"), "rotate(-90deg)");
    const Element& circleElement = svg.children.at(0);
    EXPECT_EQ(*circleElement.attribute("r"), "29");
    EXPECT_EQ(*circleElement.attribute("stroke") != "none", c.stroked);
    const std::string* dash = circleElement.attribute("stroke-dasharray");
    ASSERT_EQ(dash != nullptr, c.dash.has_value());
    if (dash) {
      EXPECT_NEAR(std::stod(dash->substr(0, dash->find(' '))), *c.dash, 1e-9);
      EXPECT_NEAR(std::stod(dash->substr(dash->find(' ') + 1)), circumference, 1e-9);
    }
  }
}

TEST(HtmlViews, TimerCarriesItsRangeAndStartsAtTheHostsText) {
  const TimerText timer{now - 3725, 64092211200, false, std::nullopt, true};
  const Element e = drawOne(View{timer, {}});
  EXPECT_TRUE(e.hasClass("timer"));
  EXPECT_EQ(e.text, timerTextAt(timer, now));
  EXPECT_EQ(e.text, "1:02:05");
  EXPECT_EQ(*e.attribute("data-lower"), "1767221785");
  EXPECT_EQ(*e.attribute("data-upper"), "64092211200");
  EXPECT_EQ(*e.attribute("data-counts-down"), "false");
  EXPECT_EQ(*e.attribute("data-shows-hours"), "true");
  EXPECT_EQ(e.attribute("data-pause-time"), nullptr);
}

TEST(HtmlViews, ActivityModifiersAreFoundWhereverTheyAreSet) {
  const Presentations p = presentationsWith("t");
  EXPECT_EQ(html::activityBackgroundTint(p.lockScreen), black.withOpacity(0.85));
  EXPECT_EQ(html::activitySystemActionForegroundColor(p.lockScreen), white);
  EXPECT_EQ(html::activityBackgroundTint(p.dynamicIsland.minimal), std::nullopt);
  const View nested =
      vstack(HorizontalAlignment::center, 0, {text("x").with(ActivityBackgroundTint{amber})});
  EXPECT_EQ(html::activityBackgroundTint(nested), amber);
}

TEST(HtmlPage, LockScreenCardTakesTheTintTheViewHandsUp) {
  const std::string page = renderHtml({working()}, now);
  const std::string card = between(page, "<div class=\"lock-screen ", "\"");
  ASSERT_FALSE(card.empty());
  EXPECT_NE(page.find("." + card + "{background-color:color(srgb 0 0 0 / 0.85);"),
            std::string::npos);
}

TEST(HtmlPage, PolicyAdmitsExactlyTheEmbeddedStyleAndScript) {
  const std::string page = renderHtml({working()}, now);
  const std::string policy =
      between(page, "http-equiv=\"Content-Security-Policy\" content=\"", "\"");
  const std::string style = between(page, "<style>", "</style>");
  const std::string script = between(page, "<script>", "</script>");
  ASSERT_FALSE(style.empty());
  ASSERT_FALSE(script.empty());
  EXPECT_EQ(policy, html::escape(html::contentSecurityPolicy(style, script)));
  EXPECT_NE(policy.find("default-src &#39;none&#39;"), std::string::npos);
  EXPECT_NE(policy.find("script-src " + html::escape(html::hashSource(script))), std::string::npos);
  EXPECT_EQ(policy.find("unsafe"), std::string::npos);
  // No style attributes (they would need 'unsafe-inline'), no inline handlers, no addresses.
  EXPECT_EQ(count(page, " style="), 0u);
  EXPECT_EQ(count(page, " onclick="), 0u);
  EXPECT_EQ(count(page, "http:"), 0u);
  EXPECT_EQ(count(page, "https:"), 0u);
}

TEST(HtmlPage, EachActivityOrItsErrorStandsInItsPlace) {
  RenderedActivity broken;
  broken.decodingError = DecodingError{DecodingError::Kind::typeMismatch,
                                       {std::size_t{1}, "title"},
                                       "Expected to decode String but found <number>."};
  RenderedActivity crashed;
  crashed.extensionFailure =
      ExtensionFailure{ExtensionFailure::Kind::crashed, "the extension crashed"};
  const std::string page = renderHtml({working("First"), broken, working("Third"), crashed}, now);

  EXPECT_EQ(count(page, "data-testid=\"activity\""), 4u);
  EXPECT_EQ(count(page, "data-testid=\"lock-screen\""), 2u);
  EXPECT_EQ(count(page, "data-testid=\"activity-error\""), 2u);
  const auto first = page.find(">First<");
  const auto error =
      page.find("typeMismatch at [1].title: Expected to decode String but found &lt;number&gt;.");
  const auto third = page.find(">Third<");
  const auto failure = page.find("the extension crashed");
  ASSERT_NE(error, std::string::npos);
  ASSERT_NE(failure, std::string::npos);
  EXPECT_LT(first, error);
  EXPECT_LT(error, third);
  EXPECT_LT(third, failure);
  EXPECT_NE(page.find("Activity 4 of 4"), std::string::npos);
  EXPECT_NE(page.find("data-now=\"1767225510\""), std::string::npos);
}

TEST(Sha256, MatchesKnownDigests) {
  struct Case {
    std::string input;
    const char* base64;
  };
  const Case cases[] = {
      {"", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
      {"abc", "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0="},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE="},
      {std::string(55, 'a'), "n0OQ+NMMLdkuyfCVtl4rmumwqSWlJY4kHJ8ekQ9zQxg="},  // padding fits
      {std::string(56, 'a'), "s1Q5pKxvCUi21vnjxq8PX1kM4g8b3nCQ73lwaG7Gc4o="},  // needs a block
      {std::string(64, 'a'), "/+BU/nrgy23GXDr5th1SCfQ5hR20PQulmXM33xVGaOs="},
      {std::string(1000000, 'a'), "zcduXJkU+5KBocfihNc+Z/GAmkiklyAOBG05zMcRLNA="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.size());
    EXPECT_EQ(html::hashSource(c.input), std::string("'sha256-") + c.base64 + "'");
  }
}

}  // namespace
}  // namespace corvlin::host
