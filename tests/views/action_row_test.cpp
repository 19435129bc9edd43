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
