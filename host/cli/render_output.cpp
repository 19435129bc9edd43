#include "host/cli/render_output.hpp"

#include "host/cli/diagnostics.hpp"
#include "host/html/html_renderer.hpp"
#include "host/text/text_renderer.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// One activity in the JSON form: its presentations, or the line that says why there are none
// (a list's array index already names the activity).
std::string json(const ActivityOutcome& outcome) {
  return std::visit(Overloaded{
                        [](const ui::Presentations& p) { return ui::toJson(p); },
                        [](const DecodingError& e) { return errorLine(e); },
                        [](const ExtensionFailure& f) { return extensionFailureLine(f); },
                    },
                    outcome);
}

std::string json(const std::vector<RenderedActivity>& rendered, bool isList) {
  if (!isList) return json(rendered.front().outcome) + "\n";
  std::string out = "[";
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    out += (i ? "," : "") + json(rendered[i].outcome);
  }
  return out + "]\n";
}

std::string text(const std::vector<RenderedActivity>& rendered, bool isList, double now) {
  std::string out;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    if (isList) {
      out += (i ? "\n" : "") + std::string("=== Activity ") + std::to_string(i + 1) + " of " +
             std::to_string(rendered.size()) + " ===\n";
    }
    out += std::visit(
        Overloaded{
            [&](const ui::Presentations& p) { return renderText(p, now); },
            [](const DecodingError& e) { return "does not decode: " + errorLine(e) + "\n"; },
            [](const ExtensionFailure& f) { return "extension failed: " + f.message + "\n"; },
        },
        rendered[i].outcome);
  }
  return out;
}

}  // namespace

std::string presentRender(const std::vector<RenderedActivity>& rendered, bool isList, Format format,
                          double now) {
  switch (format) {
    case Format::text:
      return text(rendered, isList, now);
    case Format::json:
      return json(rendered, isList);
    case Format::html:
      return renderHtml(rendered, now);
  }
  return {};
}

}  // namespace corvlin::host
