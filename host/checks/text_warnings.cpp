#include "host/checks/text_warnings.hpp"

#include <string>

#include "views/action_row.hpp"

namespace corvlin::host {
namespace {

using layout::Node;

constexpr std::size_t quotedLength = 40;
constexpr std::string_view ellipsis = "\xE2\x80\xA6";

std::size_t clusters(std::string_view text) { return layout::graphemeStarts(text).size() - 1; }

std::string quoted(std::string_view text) {
  const auto starts = layout::graphemeStarts(text);
  if (starts.size() - 1 > quotedLength) {
    return "\"" + std::string(text.substr(0, starts[quotedLength])) + std::string(ellipsis) + "\"";
  }
  return "\"" + std::string(text) + "\"";
}

std::string_view presentationName(const layout::Presentation& p, const layout::Region& region) {
  return p.name == "expanded" ? std::string_view("expanded") : region.name;
}

std::string placeName(std::string_view presentation) {
  if (presentation == "lockScreen") return "on the lock screen";
  if (presentation == "expanded") return "in the expanded island";
  if (presentation == "compactLeading") return "in the compact island's leading piece";
  if (presentation == "compactTrailing") return "in the compact island's trailing piece";
  return "in the minimal island";
}

std::string fieldName(const CodingPath& field, const CodingPath& statePath) {
  if (field.size() == statePath.size() + 1) {
    if (const auto* key = std::get_if<std::string>(&field.back())) return "The " + *key;
  }
  if (field.size() == statePath.size() + 3) {
    if (const auto* index = std::get_if<std::size_t>(&field[statePath.size() + 1])) {
      return "The label of action " + std::to_string(*index);
    }
  }
  return "The text";
}

std::string lineCount(std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

struct Walk {
  const ContentState* state;
  const CodingPath& statePath;
  std::string_view presentation;
  std::vector<Warning>& truncated;
  std::vector<Warning>& missing;

  void visit(const Node& node, const std::string* linkURL) {
    if (!node.modifier && node.view) {
      if (const auto* link = std::get_if<ui::Link>(&node.view->kind)) {
        const std::string url(link->destination);
        for (const auto& child : node.children) visit(child, &url);
        return;
      }
      if (const auto* t = std::get_if<ui::Text>(&node.view->kind)) text(node, t->text, linkURL);
    }
    for (const auto& child : node.children) visit(child, linkURL);
  }

  void text(const Node& node, std::string_view content, const std::string* linkURL) {
    if (!node.truncated && node.unknownGlyphs == 0) return;
    const CodingPath path =
        state ? fieldOfText(content, linkURL, *state, statePath) : CodingPath(statePath);
    const std::string field = fieldName(path, statePath) + ", " + quoted(content);
    const std::string where = placeName(presentation);
    if (node.truncated) {
      const std::size_t shown = node.lines.size();
      std::size_t shownClusters = 0;
      for (const auto& line : node.lines) shownClusters += clusters(line.text);
      if (shown > 0 && node.lines.back().text.ends_with(ellipsis)) --shownClusters;
      Warning w{Warning::Kind::truncated, path,
                shown == 0 ? field + ", gets no room " + where + ": none of its " +
                                 lineCount(node.lineCount) + " shows."
                           : field + ", shows " + std::to_string(shown) + " of the " +
                                 lineCount(node.lineCount) + " it needs " + where +
                                 "; the last ends in \"…\".",
                shown == 0 ? "give it room: fewer texts or buttons, or shorter ones"
                           : "about " + std::to_string(shownClusters) + " of its " +
                                 std::to_string(clusters(content)) +
                                 " characters show; a shorter text shows whole",
                std::string(presentation)};
      w.shownLines = shown;
      w.lines = node.lineCount;
      truncated.push_back(std::move(w));
    }
    if (node.unknownGlyphs > 0) {
      const std::size_t n = node.unknownGlyphs;
      missing.push_back({Warning::Kind::missingGlyph, path,
                         field + ", has " + std::to_string(n) +
                             (n == 1 ? " character" : " characters") + " that no font draws " +
                             where + "; " + (n == 1 ? "it shows" : "they show") +
                             " as a box with its code.",
                         "check the text for stray or private-use characters, or characters of a "
                         "script the phone's fonts lack",
                         std::string(presentation)});
    }
  }
};

}  // namespace

CodingPath fieldOfText(std::string_view text, const std::string* linkURL, const ContentState& state,
                       const CodingPath& statePath) {
  auto at = [&](std::initializer_list<CodingPathElement> keys) {
    CodingPath path = statePath;
    path.insert(path.end(), keys.begin(), keys.end());
    return path;
  };
  const auto* actions = state.actions ? &*state.actions : nullptr;
  if (linkURL && actions) {
    for (std::size_t i = 0; i < actions->size(); ++i) {
      const ActionSpec& action = (*actions)[i];
      if (action.label == text && actionURL(action) == *linkURL) {
        return at({std::string("actions"), i, std::string("label")});
      }
    }
  }
  if (!linkURL) {
    if (state.title == text) return at({std::string("title")});
    if (state.body && *state.body == text) return at({std::string("body")});
    if (state.detail && *state.detail == text) return at({std::string("detail")});
  }
  if (actions) {
    for (std::size_t i = 0; i < actions->size(); ++i) {
      if ((*actions)[i].label == text) return at({std::string("actions"), i, std::string("label")});
    }
  }
  return statePath;
}

std::vector<Warning> textWarnings(const layout::ActivityLayout& activity, const ContentState* state,
                                  const CodingPath& statePath) {
  std::vector<Warning> truncated;
  std::vector<Warning> missing;
  for (const auto* p :
       {&activity.lockScreen, &activity.expanded, &activity.compact, &activity.minimal}) {
    for (const auto& region : p->regions) {
      Walk{state, statePath, presentationName(*p, region), truncated, missing}.visit(region.content,
                                                                                     nullptr);
    }
  }
  truncated.insert(truncated.end(), std::make_move_iterator(missing.begin()),
                   std::make_move_iterator(missing.end()));
  return truncated;
}

}  // namespace corvlin::host
