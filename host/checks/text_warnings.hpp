// Texts the layout cut short or could not draw: a `truncated` warning for a text given fewer
// lines than it needs, a `missingGlyph` warning for one with characters that no font draws. Each
// names the content state's field the text came from (title, body, detail, an action's label).
#pragma once

#include <vector>

#include "host/checks/warning.hpp"
#include "layout/presentations.hpp"
#include "model/records.hpp"

namespace corvlin::host {

// The content state's field that shows `text`, from `statePath` (the state's own path in its
// document); `linkURL` is the link the text is the label of, if any. The path alone when no
// field holds the text (an extension of another kind may show anything).
CodingPath fieldOfText(std::string_view text, const std::string* linkURL, const ContentState& state,
                       const CodingPath& statePath);

// The text warnings of one laid-out activity, in the order of its presentations; without a
// state, each path is `statePath` alone.
std::vector<Warning> textWarnings(const layout::ActivityLayout& activity, const ContentState* state,
                                  const CodingPath& statePath);

}  // namespace corvlin::host
