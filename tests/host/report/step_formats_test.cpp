// The one writer of steps: the members each form keeps, and what a step says in words with and
// without its error's hint.
#include "host/report/step_formats.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

using updates::ActivityState;
using updates::Reason;
using updates::StepEvent;

const DecodingError hinted{DecodingError::Kind::keyNotFound,
                           {std::string("aps"), std::size_t{1}},
                           "No value.",
                           "send one"};

TEST(StepFormats, EachFormKeepsItsMembersInOneOrder) {
  const updates::Step applied{Instant{10},           2,
                              StepEvent::update,     updates::Applied{Reason::startedByTheApp},
                              ActivityState::active, std::nullopt};
  const updates::Step rejected{Instant{10.5}, 0,           std::nullopt, updates::Rejected{hinted},
                               std::nullopt,  std::nullopt};
  const updates::Step timeStep{Instant{20},          std::nullopt,
                               StepEvent::stale,     updates::Applied{Reason::staleDateReached},
                               ActivityState::stale, std::nullopt};
  updates::Step broadcast = applied;
  broadcast.channel = "Q29y";
  const std::vector<Warning> warnings{
      Warning{Warning::Kind::unknownKey, {std::string("aps"), std::string("x")}, "Unread."}};
  const std::string warningsMember =
      R"("warnings":[{"warning":{"kind":"unknownKey","codingPath":["aps","x"],)"
      R"("description":"Unread."}}])";
  const std::string errorMember =
      R"("error":{"kind":"keyNotFound","codingPath":["aps",1],"description":"No value.",)"
      R"("hint":"send one"})";
  struct Case {
    const char* name;
    const updates::Step& step;
    std::vector<Warning> warnings;
    StepForm form;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"applied, timeline", applied, warnings, StepForm::timeline,
       R"({"at":10,"record":2,"event":"update","outcome":"applied",)"
       R"("reason":"started by the app","state":"active",)" +
           warningsMember + "}"},
      {"broadcast, timeline: the channel after the record",
       broadcast,
       {},
       StepForm::timeline,
       R"({"at":10,"record":2,"channel":"Q29y","event":"update","outcome":"applied",)"
       R"("reason":"started by the app","state":"active"})"},
      {"broadcast, push: no channel, as no record",
       broadcast,
       {},
       StepForm::push,
       R"({"at":10,"event":"update","outcome":"applied","reason":"started by the app",)"
       R"("state":"active"})"},
      {"applied, push: no record", applied, warnings, StepForm::push,
       R"({"at":10,"event":"update","outcome":"applied","reason":"started by the app",)"
       R"("state":"active",)" +
           warningsMember + "}"},
      {"applied, verdict: from the outcome on",
       applied,
       {},
       StepForm::verdict,
       R"({"outcome":"applied","reason":"started by the app","state":"active"})"},
      {"rejected, timeline: no event, no state",
       rejected,
       {},
       StepForm::timeline,
       R"({"at":10.5,"record":0,"outcome":"rejected",)" + errorMember + "}"},
      {"rejected, push: the error as a replay writes it",
       rejected,
       {},
       StepForm::push,
       R"({"at":10.5,"outcome":"rejected",)" + errorMember + "}"},
      // A 200 answer has no top-level "error": push clients file such a body as failed.
      {"rejected, verdict: the error under phone", rejected, warnings, StepForm::verdict,
       R"({"outcome":"rejected","phone":{)" + errorMember + "}," + warningsMember + "}"},
      {"time step, timeline: no record",
       timeStep,
       {},
       StepForm::timeline,
       R"({"at":20,"event":"stale","outcome":"applied","reason":"the stale date was reached",)"
       R"("state":"stale"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(stepJson(c.step, c.warnings, c.form), c.json);
  }
}

TEST(StepFormats, ANoteIsTheReasonOrTheErrorWithItsHintWhenAsked) {
  struct Case {
    updates::Outcome outcome;
    ErrorHint hint;
    std::string note;
  };
  const std::vector<Case> cases = {
      {updates::Applied{}, ErrorHint::shown, ""},
      {updates::Ignored{Reason::olderThanLastUpdate}, ErrorHint::leftOut,
       "older than the last update"},
      {updates::Rejected{hinted}, ErrorHint::shown, "keyNotFound at aps[1]: No value. (send one)"},
      {updates::Rejected{hinted}, ErrorHint::leftOut, "keyNotFound at aps[1]: No value."},
  };
  for (const Case& c : cases) {
    const updates::Step step{Instant{1},   0,           StepEvent::update, c.outcome,
                             std::nullopt, std::nullopt};
    EXPECT_EQ(stepNote(step, c.hint), c.note);
  }
}

}  // namespace
}  // namespace corvlin::host
