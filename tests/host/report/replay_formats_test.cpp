// The replay's text form: what each step's headline says of its record, channel, event,
// outcome and state.
#include "host/report/replay_formats.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

using updates::ActivityState;
using updates::Reason;
using updates::StepEvent;

updates::Step step(std::optional<std::size_t> record, std::optional<StepEvent> event,
                   updates::Outcome outcome, std::optional<std::string> channel) {
  updates::Step out{Instant{1767225600},   record,      event, std::move(outcome),
                    ActivityState::active, std::nullopt};
  out.channel = std::move(channel);
  return out;
}

TEST(ReplayText, AHeadlineNamesABroadcastsChannel) {
  const DecodingError error{DecodingError::Kind::keyNotFound, {std::string("push")}, "No value."};
  struct Case {
    const char* name;
    updates::Step step;
    std::string headline;
  };
  const std::vector<Case> cases = {
      {"a device record", step(2, StepEvent::update, updates::Applied{}, std::nullopt),
       "record 2, update applied -> active"},
      {"a broadcast", step(3, StepEvent::update, updates::Ignored{Reason::notSubscribed}, "Q29y"),
       "record 3, broadcast on channel Q29y, update ignored (not subscribed to the channel) -> "
       "active"},
      {"a rejected broadcast", step(4, std::nullopt, updates::Rejected{error}, "Q29y"),
       "record 4, broadcast on channel Q29y rejected (keyNotFound at push: No value.) -> active"},
      {"a rejected device record", step(5, std::nullopt, updates::Rejected{error}, std::nullopt),
       "record 5 rejected (keyNotFound at push: No value.) -> active"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = replayText({ReplayedStep{c.step, {}, std::nullopt}});
    EXPECT_EQ(text,
              "Step 1 of 1 at 2026-01-01 00:00:00 UTC: " + c.headline + "\n  nothing shown\n");
  }
}

}  // namespace
}  // namespace corvlin::host
