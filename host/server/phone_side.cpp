#include "host/server/phone_side.hpp"

#include <simdjson.h>

#include <boost/asio/steady_timer.hpp>
#include <chrono>

#include "host/checks/envelope_warnings.hpp"
#include "host/report/step_formats.hpp"
#include "host/server/async_extension.hpp"
#include "json/parse.hpp"
#include "updates/envelope_coding.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::server {
namespace {

// The platform's update rules for one activity, each push a record arriving now.
class UpdateRules final : public ActivityRules {
 public:
  std::vector<TakenStep> apply(std::string_view body, double now) override {
    const Instant at{now};
    updates::Input input;
    std::vector<Warning> warnings;
    if (auto envelope = updates::decodeEnvelope(body)) {
      // It decoded, so it parses again.
      simdjson::dom::parser parser;
      warnings = envelopeWarnings(json::parse(parser, body).value(), envelope.value(), at);
      input = updates::Arrival{records_, at, std::move(envelope).value()};
    } else {
      input = updates::Rejection{records_, at, std::move(envelope).error()};
    }
    updates::Transition transition = updates::step(state_, input);
    state_ = std::move(transition.state);
    std::vector<TakenStep> steps;
    steps.reserve(transition.steps.size());
    for (auto& step : transition.steps) steps.push_back({std::move(step), {}});
    // The push's own step, which the rules always give it, carries its warnings.
    for (TakenStep& taken : steps) {
      if (taken.ofThePush()) {
        taken.warnings = std::move(warnings);
        break;
      }
    }
    ++records_;
    return steps;
  }

 private:
  updates::State state_;
  std::size_t records_ = 0;
};

// The activity's own extension process, kept between pushes and started again on the next
// question once it has failed or died; asked at most once a frame.
class WarmSeat final : public ExtensionSeat {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::microseconds frame{16'667};

  WarmSeat(boost::asio::io_context& io, std::string executable, ExtensionLimits limits)
      : extension_(io, ExtensionOptions{{std::move(executable)}, std::nullopt, -1}, limits),
        timer_(io) {}
  void ask(std::string requestLine, Answered answered) override {
    lastAsked_ = Clock::now();
    extension_.ask(std::move(requestLine), std::move(answered));
  }
  void whenReady(std::function<void()> then) override {
    const auto due = lastAsked_ + frame;
    if (Clock::now() >= due) return then();
    timer_.expires_at(due);
    // Destroying the seat cancels the wait, and `then` is not called.
    timer_.async_wait([then = std::move(then)](const boost::system::error_code& error) {
      if (!error) then();
    });
  }

 private:
  AsyncExtension extension_;
  boost::asio::steady_timer timer_;
  Clock::time_point lastAsked_{};
};

}  // namespace

std::string verdictJson(const TakenStep& taken) {
  return stepJson(taken.step, taken.warnings, StepForm::verdict);
}

PhoneSide realPhoneSide(boost::asio::io_context& io, const std::string& executable,
                        const ExtensionLimits& limits) {
  return {[] { return std::make_unique<UpdateRules>(); },
          [&io, executable, limits] { return std::make_unique<WarmSeat>(io, executable, limits); }};
}

}  // namespace corvlin::host::server
