// The replay page marks a broadcast record's step, in the timeline and on the stage, with its
// channel; no other step.
#include "host/html/replay_page.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvlin::host {
namespace {

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(ReplayPage, MarksABroadcastsStepWithItsChannel) {
  const auto step = [](std::size_t record, std::optional<std::string> channel) {
    updates::Step out{Instant{1767225600},
                      record,
                      updates::StepEvent::update,
                      updates::Ignored{updates::Reason::notSubscribed},
                      std::nullopt,
                      std::nullopt};
    out.channel = std::move(channel);
    return ReplayedStep{out, {}, std::nullopt};
  };
  const std::string page =
      renderReplayHtml({step(0, std::nullopt), step(1, "Q29y"), step(2, std::nullopt)}, {}, "t");
  // The timeline's item and the stage's section.
  EXPECT_EQ(count(page, R"(data-channel="Q29y")"), 2u) << page;
  EXPECT_EQ(count(page, "data-channel="), 2u) << "only the broadcast's step";
  EXPECT_EQ(count(page, "broadcast on channel Q29y"), 2u) << "under the event and in the heading";
  EXPECT_EQ(count(page, R"(data-testid="step-channel")"), 1u);
}

}  // namespace
}  // namespace corvlin::host
