// What render concludes from its activities: the exit status, whether anything is shown, and
// the lines on standard error, one per failed activity, naming it in a list.
#include "host/cli/render_verdict.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

const RenderedActivity shown = renderedAs(ui::Presentations{});
const RenderedActivity refused = renderedAs(
    DecodingError{DecodingError::Kind::keyNotFound, {std::string("title")}, "No title."});
const RenderedActivity crashed =
    renderedAs(ExtensionFailure{ExtensionFailure::Kind::crashed, "it crashed"});
const RenderedActivity warned = [] {
  RenderedActivity activity = renderedAs(ui::Presentations{});
  activity.warnings.push_back(
      {Warning::Kind::overBudget, {}, "The coded content state is 5000 bytes.", ""});
  return activity;
}();
const std::string warningLine = R"({"warning":{"kind":"overBudget","codingPath":[],)"
                                R"("description":"The coded content state is 5000 bytes."}})";

TEST(RenderVerdict, DecidesStatusOutputAndLines) {
  struct Case {
    const char* name;
    std::vector<RenderedActivity> rendered;
    bool isList;
    bool strict;
    int status;
    bool writesOutput;
    std::vector<std::string> diagnostics;
  };
  const std::string refusedLine =
      R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No title.")";
  // clang-format off
  const Case cases[] = {
      {"one shown", {shown}, false, false, 0, true, {}},
      {"a warning never changes the status", {warned}, false, false, 0, true, {warningLine}},
      {"with --strict a warning fails, and the output is still written", {warned}, false, true, 65, true,
       {warningLine}},
      {"one refused shows nothing", {refused}, false, false, 65, false, {refusedLine + "}}"}},
      {"one crashed shows nothing", {crashed}, false, false, 69, false, {"corvlin-host: it crashed"}},
      {"a list shows every activity and names the failed one", {shown, refused, shown}, true, false, 65, true,
       {refusedLine + R"(,"activity":1}})"}},
      {"in a list the extension's failure decides the status", {refused, crashed, warned}, true, true, 69, true,
       {refusedLine + R"(,"activity":0}})",
        R"({"extensionFailure":{"kind":"crashed","description":"it crashed","activity":1}})", warningLine}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RenderVerdict verdict = decideRender(c.rendered, c.isList, c.strict);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict.writesOutput, c.writesOutput);
    EXPECT_EQ(verdict.diagnostics, c.diagnostics);
  }
}

}  // namespace
}  // namespace corvlin::host
