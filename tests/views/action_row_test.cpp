#include "views/action_row.hpp"

#include <gtest/gtest.h>

#include "tests/views/view_test_support.hpp"

namespace corvlin {
namespace {

using test::action;
using test::linksOf;
using test::stateWith;
using test::T0;

const std::string prefix = "corvlin://live-activity/action?actionId=";

std::vector<std::string> idsOf(const std::vector<ActionSpec>& actions) {
  std::vector<std::string> out;
  for (const auto& a : actions) out.push_back(a.actionId);
  return out;
}

ContentState withActions(std::vector<ActionSpec> actions) {
  return stateWith([&](ContentState& s) { s.actions = std::move(actions); });
}

TEST(TrimmedActionId, TrimsUnicodeWhiteSpaceAndLineBreaksAtBothEnds) {
  struct Case {
    const char* id;
    const char* expected;
  };
  const Case cases[] = {
      {"cancel", "cancel"},
      {" \t\n\v\f\rcancel \r\n", "cancel"},
      {"\u00A0cancel\u3000", "cancel"},              // no-break and ideographic space
      {"\u2028cancel\u2029", "cancel"},              // line and paragraph separators
      {"\u0085cancel\u0085", "cancel"},              // next line
      {"\u1680\u2007cancel\u202F\u205F", "cancel"},  // more of category Zs
      {"\u200Bcancel\u200B", "\u200Bcancel\u200B"},  // zero-width space is not Zs
      {"\uFEFFcancel", "\uFEFFcancel"},              // nor is the byte order mark
      {"call  me\u00A0now", "call  me\u00A0now"},    // inner white space stays
      {"   ", ""},
      {"\u00A0\u2028\t", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(trimmedActionId(c.id), c.expected);
  }
}

TEST(ActionURL, EscapesEverythingOutsideTheUnreservedSet) {
  struct Case {
    const char* id;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"cancel", prefix + "cancel"},      {"  cancel\n", prefix + "cancel"},
      {"call me", prefix + "call%20me"},  {"AZaz09-._~", prefix + "AZaz09-._~"},
      {"a&b=c", prefix + "a%26b%3Dc"},    {"x#y", prefix + "x%23y"},
      {"1+1", prefix + "1%2B1"},          {"100%", prefix + "100%25"},
      {"a/b?c", prefix + "a%2Fb%3Fc"},    {"caf\u00E9", prefix + "caf%C3%A9"},
      {"\u200Bx", prefix + "%E2%80%8Bx"}, {"", std::nullopt},
      {" \t\u3000\u2029", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(actionURL(action(c.id)), c.expected);
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes a query component as form parsers do: %XX escapes, and '+' as a space.
std::string formDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out.push_back(' ');
    } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

TEST(ActionURL, QueryParsersGetBackExactlyTheTrimmedIdAsTheOneItem) {
  const char* ids[] = {"a&b=c",
                       "x#frag",
                       "1+1 =2",
                       "50%25",
                       "%zz",
                       "?&=#+%",
                       "na\u00EFve caf\u00E9 \u2603",
                       " \u00A0spaced id\u3000"};
  for (const char* id : ids) {
    SCOPED_TRACE(id);
    const auto url = actionURL(action(id));
    ASSERT_TRUE(url);
    ASSERT_EQ(url->rfind("corvlin://live-activity/action?", 0), 0u);
    const std::string query = url->substr(url->find('?') + 1);
    const auto equals = query.find('=');
    ASSERT_NE(equals, std::string::npos);
    EXPECT_EQ(query.substr(0, equals), "actionId");
    const std::string value = query.substr(equals + 1);
    EXPECT_EQ(value.find_first_of("#&=+ ?/"), std::string::npos) << value;
    EXPECT_EQ(formDecoded(value), trimmedActionId(id));
  }
}

TEST(VisibleActions, DropsUnlinkableActionsBeforeTakingThree) {
  struct Case {
    const char* name;
    std::optional<std::vector<ActionSpec>> actions;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"absent", std::nullopt, {}},
      {"empty", std::vector<ActionSpec>{}, {}},
      {"five usable",
       std::vector{action("a"), action("b"), action("c"), action("d"), action("e")},
       {"a", "b", "c"}},
      {"blank first",
       std::vector{action(" "), action("a"), action("b"), action("c")},
       {"a", "b", "c"}},
      {"blanks between",
       std::vector{action(""), action("a"), action("\u2028"), action("b"), action("c"),
                   action("d")},
       {"a", "b", "c"}},
      {"all blank", std::vector{action(""), action("\t"), action("\u00A0")}, {}},
      {"kept untrimmed", std::vector{action("  padded\n")}, {"  padded\n"}},
      {"duplicates kept", std::vector{action("x"), action(" x ")}, {"x", " x "}},
      {"empty label kept", std::vector{action("a", "")}, {"a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ContentState state = stateWith([&](ContentState& s) { s.actions = c.actions; });
    EXPECT_EQ(idsOf(visibleActions(state)), c.expected);
  }
}

TEST(ActionRow, ElapsedCountdownAloneHidesTheRow) {
  const double t = T0.timeIntervalSince1970;
  const std::vector<ActionSpec> two{action("cancel"), action("call")};
  struct Case {
    const char* name;
    ContentState state;
    std::size_t buttons;
  };
  const auto timed = [&](const char* direction, double start, double end) {
    return stateWith([&](ContentState& s) {
      s.actions = two;
      s.timerDirection = direction;
      s.timerStart = start;
      s.timerEnd = end;
    });
  };
  const Case cases[] = {
      {"no timer", withActions(two), 2},
      {"countdown running", timed("down", 0, t + 90), 2},
      {"countdown elapsed", timed("down", 0, t - 1), 0},
      {"countdown ending now", timed("down", 0, t), 0},
      {"count-up", timed("up", t - 60, 0), 2},
      {"unknown direction", timed("sideways", t - 60, t - 1), 2},
      {"no actions", stateWith(), 0},
      {"only blank actions", withActions({action(" ")}), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ui::View body = ActionRow{c.state}.body(fixedNow(T0));
    EXPECT_EQ(linksOf(body).size(), c.buttons);
    if (c.buttons == 0) {
      EXPECT_EQ(body, ui::emptyView());
    }
  }
}

TEST(ActionRow, LaysLinksOutByPositionWithTheirURLs) {
  const auto state = withActions({action(" a b "), action(""), action("a b"), action("c")});
  const ui::View body = ActionRow{state}.body(fixedNow(T0));
  const auto& row = test::as<ui::HStack>(body);
  EXPECT_EQ(row.alignment, ui::VerticalAlignment::center);
  EXPECT_EQ(row.spacing, 8);
  ASSERT_EQ(row.children.size(), 1u);
  std::vector<std::string> destinations;
  for (const auto& link : linksOf(body)) destinations.push_back(link.destination);
  EXPECT_EQ(destinations,
            (std::vector<std::string>{prefix + "a%20b", prefix + "a%20b", prefix + "c"}));
}

TEST(ActionButton, ShowsLockOnlyWhenAuthIsRequired) {
  const ui::Color red{1.0, 0.3, 0.37, 1.0};
  const ui::View lock =
      ui::image("lock.fill").with(ui::FontModifier{ui::font(ui::TextStyle::caption2)});
  const ui::View label =
      ui::text(" Cancel ")
          .with(ui::FontModifier{
              ui::font(ui::TextStyle::footnote).withWeight(ui::FontWeight::semibold)});
  const auto button = [&](std::vector<ui::View> content) {
    return ui::hstack(ui::VerticalAlignment::center, 5, std::move(content))
        .with(ui::Padding{ui::leading | ui::trailing, 14})
        .with(ui::Padding{ui::top | ui::bottom, 7})
        .with(ui::Background{ui::capsule(ui::RoundedCornerStyle::continuous).with(ui::Fill{red}),
                             ui::centered})
        .with(ui::ForegroundColor{ui::white});
  };
  struct Case {
    std::optional<bool> requiresAuth;
    ui::View expected;
  };
  const Case cases[] = {
      {std::nullopt, button({label})},
      {false, button({label})},
      {true, button({lock, label})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.requiresAuth ? (*c.requiresAuth ? "true" : "false") : "absent");
    const auto state = stateWith([&](ContentState& s) {
      s.tone = "danger";
      s.actions = {action("x", " Cancel ", c.requiresAuth)};
    });
    const auto links = linksOf(ActionRow{state}.body(fixedNow(T0)));
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].destination, prefix + "x");
    EXPECT_EQ(*links[0].label, c.expected);
  }
}

}  // namespace
}  // namespace corvlin
