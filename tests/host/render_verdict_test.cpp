// What render concludes from its activities: the exit status, whether anything is shown, and
// the lines on standard error, one per failed activity, naming it in a list.
#include "host/cli/render_verdict.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

const RenderedActivity shown{ui::Presentations{}, 120};
const RenderedActivity overBudget{ui::Presentations{}, 5000};
const RenderedActivity refused{
    DecodingError{DecodingError::Kind::keyNotFound, {std::string("title")}, "No title."}, 0};
const RenderedActivity crashed{ExtensionFailure{ExtensionFailure::Kind::crashed, "it crashed"}, 90};

TEST(RenderVerdict, DecidesStatusOutputAndLines) {
  struct Case {
    const char* name;
    std::vector<RenderedActivity> rendered;
    bool isList;
    int status;
    bool writesOutput;
    std::vector<std::string> diagnostics;
  };
  const Case cases[] = {
      {"one shown", {shown}, false, 0, true, {}},
      {"one over the budget still shows",
       {overBudget},
       false,
       0,
       true,
       {"corvlin-host: warning: the coded content state is 5000 bytes, over the 4096-byte budget "
        "for an activity's data; the phone would refuse this update"}},
      {"one refused shows nothing",
       {refused},
       false,
       65,
       false,
       {R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No title."}})"}},
      {"one crashed shows nothing", {crashed}, false, 69, false, {"corvlin-host: it crashed"}},
      {"a list shows every activity and names the failed one",
       {shown, refused, shown},
       true,
       65,
       true,
       {R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No title.",)"
        R"("activity":1}})"}},
      {"in a list the extension's failure decides the status",
       {refused, crashed, overBudget},
       true,
       69,
       true,
       {R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No title.",)"
        R"("activity":0}})",
        R"({"extensionFailure":{"kind":"crashed","description":"it crashed","activity":1}})",
        "corvlin-host: warning: activity 3: the coded content state is 5000 bytes, over the "
        "4096-byte budget for an activity's data; the phone would refuse this update"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RenderVerdict verdict = decideRender(c.rendered, c.isList);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict.writesOutput, c.writesOutput);
    EXPECT_EQ(verdict.diagnostics, c.diagnostics);
  }
}

}  // namespace
}  // namespace corvlin::host
