#include "host/cli/render_output.hpp"

#include "host/html/html_renderer.hpp"
#include "host/report/diagnostics.hpp"
#include "host/text/text_renderer.hpp"
#include "model/overloaded.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

// One activity in the JSON form: {"presentations":{...},"warnings":[...]}, with
// "extensionFailure" in place of "presentations" when the extension failed, or the decoding
// error's {"error":{...}} (a list's array index already names the activity). Each warning is
// the same {"warning":{...}} object as its line on standard error.
std::string json(const RenderedActivity& activity) {
  std::string out = std::visit(
      Overloaded{
          [](const ui::Presentations& p) { return "{\"presentations\":" + ui::toJson(p); },
          [](const DecodingError& e) { return errorLine(e); },
          [](const ExtensionFailure& f) {
            std::string line = extensionFailureLine(f);
            line.pop_back();  // reopened below, for the warnings
            return line;
          },
      },
      activity.outcome);
  if (std::holds_alternative<DecodingError>(activity.outcome)) return out;
  return out + ",\"warnings\":" + warningsJson(activity.warnings) + "}";
}

std::string json(const std::vector<RenderedActivity>& rendered, bool isList) {
  if (!isList) return json(rendered.front()) + "\n";
  std::string out = "[";
  for (std::size_t i = 0; i < rendered.size(); ++i) out += (i ? "," : "") + json(rendered[i]);
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

std::string presentRender(const std::vector<RenderedActivity>& rendered,
                          const std::vector<ActivityLayouts>& layouts, bool isList, Format format,
                          double now) {
  switch (format) {
    case Format::text:
      return text(rendered, isList, now);
    case Format::json:
      return json(rendered, isList);
    case Format::html:
      return renderHtml(rendered, layouts, now);
    case Format::png:  // drawn by writeSnapshots
      return {};
  }
  return {};
}

}  // namespace corvlin::host
