#include "host/html/html_renderer.hpp"

#include <gtest/gtest.h>

#include "host/html/html_csp.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_views.hpp"

namespace corvlin::host {
namespace {

using namespace ui;
using html::Element;

constexpr double now = 1767225510;

std::vector<Element> draw(const View& view) {
  html::ViewContext context;
  context.now = now;
  return html::renderView(view, context);
}

Element drawOne(const View& view) {
  auto elements = draw(view);
  EXPECT_EQ(elements.size(), 1u);
  return elements.empty() ? Element{} : elements.front();
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

// An activity whose lock screen and island show the given title, with a ticking timer.
RenderedActivity working(const std::string& title = "Order 42") {
  const View timer{TimerText{now, now + 90, true, std::nullopt, true}, {}};
  return renderedAs(Presentations{
      hstack(VerticalAlignment::center, 14, {text(title)}),
      {{{ExpandedRegionPosition::bottom, 0, text(title)}}, circle(), timer, circle()}});
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
  const RenderedActivity broken =
      renderedAs(DecodingError{DecodingError::Kind::typeMismatch,
                               {std::size_t{1}, "title"},
                               "Expected to decode String but found <number>."});
  const RenderedActivity crashed =
      renderedAs(ExtensionFailure{ExtensionFailure::Kind::crashed, "the extension crashed"});
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

  // An activity that has drawn nothing yet names no regions, and leaves no empty brackets.
  const std::string undrawn = renderHtml({RenderedActivity{}}, now);
  EXPECT_NE(undrawn.find("Dynamic Island, expanded<"), std::string::npos);
  EXPECT_EQ(undrawn.find("expanded ()"), std::string::npos);
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
