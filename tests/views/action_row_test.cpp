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

// The id, trimmed of Unicode white space and line breaks, is the one query item; everything outside
// the unreserved set is escaped, so form parsers (which read '+' as a space) get back exactly that.
TEST(ActionURL, TrimsTheIdAndEscapesEverythingOutsideTheUnreservedSet) {
  struct Case {
    const char* id;
    std::optional<std::string> escaped;
  };
  const Case cases[] = {
      {"cancel", "cancel"},
      {" \t\n\v\f\r\u0085cancel \r\n\u2028", "cancel"},
      {"\u00A0\u1680\u2007cancel\u202F\u205F\u3000\u2029", "cancel"},  // category Zs, separators
      {"\u200Bx\uFEFF", "%E2%80%8Bx%EF%BB%BF"},               // zero-width space and BOM are not Zs
      {" call  me\u00A0now\u3000", "call%20%20me%C2%A0now"},  // inner white space stays
      {"AZaz09-._~", "AZaz09-._~"},
      {"a&b=c", "a%26b%3Dc"},
      {"x#frag", "x%23frag"},
      {"1+1 =2", "1%2B1%20%3D2"},
      {"50%25", "50%2525"},
      {"%zz", "%25zz"},
      {"?&=#+%/", "%3F%26%3D%23%2B%25%2F"},
      {"na\u00EFve caf\u00E9 \u2603", "na%C3%AFve%20caf%C3%A9%20%E2%98%83"},
      {"", std::nullopt},
      {" \t\u00A0\u3000\u2028\u2029", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const auto url = actionURL(action(c.id));
    EXPECT_EQ(url, c.escaped ? std::optional(prefix + *c.escaped) : std::nullopt);
    EXPECT_EQ(trimmedActionId(c.id).empty(), !c.escaped);
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

// The button's whole tree is pinned by the golden files; here the lock and nothing else.
TEST(ActionButton, ShowsLockOnlyWhenAuthIsRequired) {
  for (const std::optional<bool> requiresAuth :
       {std::optional<bool>(), std::optional(false), std::optional(true)}) {
    SCOPED_TRACE(requiresAuth ? (*requiresAuth ? "true" : "false") : "absent");
    const auto state = withActions({action("x", " Cancel ", requiresAuth)});
    const auto links = linksOf(ActionRow{state}.body(fixedNow(T0)));
    ASSERT_EQ(links.size(), 1u);
    const auto& content = test::childrenOf(*links[0].label);
    ASSERT_EQ(content.size(), requiresAuth.value_or(false) ? 2u : 1u);
    EXPECT_EQ(test::as<ui::Text>(content.back()).text, " Cancel ");
  }
}

}  // namespace
}  // namespace corvlin
