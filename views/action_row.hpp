// The action buttons: which actions get one, their deep links, and the row that draws them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/app_link.hpp"
#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin {

inline constexpr std::size_t maxVisibleActions = 3;
// An action's deep link: appLinkPrefix, this path and query, then the action's escaped id.
inline constexpr std::string_view actionLinkPath = "live-activity/action?actionId=";

// `id` without white space and line breaks at either end: Unicode category Zs, U+0009,
// U+000A to U+000D, U+0085, U+2028 and U+2029. Inner white space stays.
std::string trimmedActionId(std::string_view id);

// Every byte outside the unreserved set (ASCII letters, digits, "-._~") as %XX, uppercase hex,
// so that any query parser gets back exactly `value` as the one item's value.
std::string percentEscaped(std::string_view value);

// The deep link for an action; absent when its trimmed id is empty.
std::optional<std::string> actionURL(const ActionSpec& action);

// The first three actions that have a deep link, in received order, unchanged (ids untrimmed).
std::vector<ActionSpec> visibleActions(const ContentState& state);

// One button: optional lock symbol and the label, padded, on a capsule in the tone colour.
ui::View actionButton(const ActionSpec& action, const ContentState& state,
                      ui::Allocator allocator = {});

struct ActionRow {
  ContentState state;

  // An empty view (no place, no spacing in its stack) once a countdown has elapsed or when no
  // action is usable; otherwise a row of links. Reads `now` once.
  ui::View body(const Now& now) const;
};

// The body of an `ActionRow` of `state`, for the views that place one without copying the state.
ui::View actionRowBody(const ContentState& state, const Now& now, ui::Allocator allocator = {});

}  // namespace corvlin
