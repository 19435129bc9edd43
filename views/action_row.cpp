#include "views/action_row.hpp"

#include <utf8proc.h>

#include <utility>
#include <variant>

#include "views/palette.hpp"

namespace corvlin {

namespace {

bool isTrimmed(utf8proc_int32_t c) {
  return c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029 ||
         utf8proc_category(c) == UTF8PROC_CATEGORY_ZS;
}

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// The span of `id` that `trimmedActionId` keeps.
std::string_view trimmedSpan(std::string_view id) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(id.data());
  const auto size = static_cast<utf8proc_ssize_t>(id.size());
  // The kept span runs from the first code point that is not trimmed to the end of the last
  // one. A malformed sequence counts as content, so that nothing past it is lost.
  utf8proc_ssize_t begin = -1;
  utf8proc_ssize_t end = 0;
  utf8proc_ssize_t at = 0;
  while (at < size) {
    utf8proc_int32_t c = bytes[at];
    // ASCII needs no decoding; its only Zs character is the space.
    utf8proc_ssize_t length = c < 0x80 ? 1 : utf8proc_iterate(bytes + at, size - at, &c);
    const bool content =
        length <= 0 || (c < 0x80 ? !(c == 0x20 || (c >= 0x09 && c <= 0x0D)) : !isTrimmed(c));
    if (length <= 0) length = 1;
    if (content) {
      if (begin < 0) begin = at;
      end = at + length;
    }
    at += length;
  }
  if (begin < 0) return {};
  return id.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

template <class String>
void appendPercentEscaped(String& out, std::string_view value) {
  static constexpr char hex[] = "0123456789ABCDEF";
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreserved(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 0x0F]);
    }
  }
}

// Writes the deep link for an action into `url`, in `url`'s own memory; false when the action's
// trimmed id is empty.
template <class String>
bool writeActionURL(const ActionSpec& action, String& url) {
  const std::string_view id = trimmedSpan(action.actionId);
  if (id.empty()) return false;
  url.reserve(appLinkPrefix.size() + actionLinkPath.size() + id.size());
  url += appLinkPrefix;
  url += actionLinkPath;
  appendPercentEscaped(url, id);
  return true;
}

}  // namespace

std::string trimmedActionId(std::string_view id) { return std::string(trimmedSpan(id)); }

std::string percentEscaped(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  appendPercentEscaped(out, value);
  return out;
}

std::optional<std::string> actionURL(const ActionSpec& action) {
  std::string url;
  if (!writeActionURL(action, url)) return std::nullopt;
  return url;
}

std::vector<ActionSpec> visibleActions(const ContentState& state) {
  std::vector<ActionSpec> out;
  if (!state.actions) return out;
  for (const auto& action : *state.actions) {
    if (out.size() == maxVisibleActions) break;
    if (actionURL(action)) out.push_back(action);
  }
  return out;
}

ui::View actionButton(const ActionSpec& action, const ContentState& state,
                      ui::Allocator allocator) {
  ui::Views content(allocator);
  content.reserve(2);
  if (action.requiresAuth.value_or(false)) {
    content.push_back(ui::image("lock.fill", allocator)
                          .with(ui::FontModifier{ui::font(ui::TextStyle::caption2)}));
  }
  content.push_back(
      ui::text(action.label, allocator)
          .with(ui::FontModifier{
              ui::font(ui::TextStyle::footnote).withWeight(ui::FontWeight::semibold)}));
  ui::View capsule = ui::capsule(ui::RoundedCornerStyle::continuous, allocator)
                         .with(ui::Fill{toneColor(state.tone)});
  return ui::hstack(ui::VerticalAlignment::center, 5, std::move(content))
      .with(ui::Padding{ui::horizontalEdges, 14})
      .with(ui::Padding{ui::verticalEdges, 7})
      .with(ui::Background{std::move(capsule), ui::centered})
      .with(ui::ForegroundColor{ui::white});
}

ui::View actionRowBody(const ContentState& state, const Now& now, ui::Allocator allocator) {
  if (std::holds_alternative<Clock::Elapsed>(state.clock(now()).value))
    return ui::emptyView(allocator);
  if (!state.actions) return ui::emptyView(allocator);
  // The visible actions, each with the link made once, and nothing copied.
  ui::Views buttons(allocator);
  for (const auto& action : *state.actions) {
    if (buttons.size() == maxVisibleActions) break;
    std::pmr::string url(allocator);
    if (!writeActionURL(action, url)) continue;
    if (buttons.empty()) buttons.reserve(maxVisibleActions);
    buttons.push_back(ui::link(url, actionButton(action, state, allocator)));
  }
  if (buttons.empty()) return ui::emptyView(allocator);
  return ui::hstack(ui::VerticalAlignment::center, 8,
                    ui::viewList(ui::forEach(std::move(buttons))));
}

ui::View ActionRow::body(const Now& now) const { return actionRowBody(state, now); }

}  // namespace corvlin
