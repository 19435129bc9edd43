// Content states, instants and tree lookups shared by the view tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/instant.hpp"
#include "model/records.hpp"
#include "toolkit/view.hpp"

namespace corvlin::test {

// 2026-01-01 00:58:30 UTC: the pinned instant of the checked-in examples.
inline constexpr Instant T0{1767225510};

inline ActionSpec action(std::string id, std::string label = "Label",
                         std::optional<bool> requiresAuth = std::nullopt) {
  return ActionSpec{std::move(id), std::move(label), requiresAuth};
}

// A state with only a title, changed by `edit`.
inline ContentState stateWith(const std::function<void(ContentState&)>& edit = {}) {
  ContentState state;
  state.title = "Title";
  if (edit) edit(state);
  return state;
}

inline ContentState countdownTo(double end) {
  return stateWith([end](ContentState& s) {
    s.timerDirection = "down";
    s.timerEnd = end;
  });
}

template <class Kind>
const Kind& as(const ui::View& view) {
  return std::get<Kind>(view.kind);
}

inline const ui::Views& childrenOf(const ui::View& view) {
  if (const auto* h = std::get_if<ui::HStack>(&view.kind)) return h->children;
  if (const auto* v = std::get_if<ui::VStack>(&view.kind)) return v->children;
  if (const auto* z = std::get_if<ui::ZStack>(&view.kind)) return z->children;
  return std::get<ui::ForEach>(view.kind).children;
}

inline bool isEmptyView(const ui::View& view) {
  return std::holds_alternative<ui::EmptyView>(view.kind);
}

// The links of an action row body, in order; none for an empty body.
inline std::vector<ui::Link> linksOf(const ui::View& row) {
  std::vector<ui::Link> out;
  if (isEmptyView(row)) return out;
  for (const auto& child : childrenOf(childrenOf(row).at(0))) out.push_back(as<ui::Link>(child));
  return out;
}

}  // namespace corvlin::test
