#include "host/server/phone_side.hpp"

#include <simdjson.h>

#include <boost/asio/steady_timer.hpp>
#include <chrono>

#include "host/checks/envelope_warnings.hpp"
#include "host/report/step_formats.hpp"
#include "host/server/async_extension.hpp"
#include "json/parse.hpp"
#include "json/writer.hpp"
#include "updates/envelope_coding.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::server {
namespace {

// The platform's update rules for one activity, each push a record arriving now.
class UpdateRules final : public ActivityRules {
 public:
  board::TakenSteps apply(std::string_view body, double now) override {
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
    board::TakenSteps taken{{}, transition.own.value_or(0)};
    taken.steps.reserve(transition.steps.size());
    for (auto& step : transition.steps) taken.steps.push_back({std::move(step), {}});
    // The push's own step, which the rules always give it, carries its warnings.
    if (transition.own) taken.steps[*transition.own].warnings = std::move(warnings);
    ++records_;
    return taken;
  }

 private:
  updates::State state_;
  std::size_t records_ = 0;
};

// The activity's own extension process, kept between pushes and started again on the next
// question once it has failed or died.
class WarmSeat final : public ExtensionSeat {
 public:
  WarmSeat(boost::asio::io_context& io, std::string executable, ExtensionLimits limits)
      : extension_(io, ExtensionOptions{{std::move(executable)}, std::nullopt, -1}, limits) {}
  void ask(std::string requestLine, Answered answered) override {
    extension_.ask(std::move(requestLine), std::move(answered));
  }

 private:
  AsyncExtension extension_;
};

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The loop's steady timer as the frame clock; it lives as long as the closures that share it.
FrameClock loopFrames(boost::asio::io_context& io) {
  auto timer = std::make_shared<boost::asio::steady_timer>(io);
  return {
      steadySeconds, [timer](double at, std::function<void()> tick) {
        const auto wait = std::chrono::duration<double>(at - steadySeconds());
        timer->expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait));
        // A wake-up replaced by a newer one is cancelled, and its tick is not called.
        timer->async_wait([tick = std::move(tick)](const boost::system::error_code& error) {
          if (!error) tick();
        });
      }};
}

}  // namespace

std::unique_ptr<ActivityRules> updateRules() { return std::make_unique<UpdateRules>(); }

BroadcastJudgement judgeBroadcast(std::string_view body, double now) {
  auto envelope = updates::decodeEnvelope(body);
  if (!envelope) return {std::nullopt, std::move(envelope).error(), {}};
  simdjson::dom::parser parser;
  return {envelope.value().event, std::nullopt,
          envelopeWarnings(json::parse(parser, body).value(), envelope.value(), Instant{now})};
}

std::string broadcastVerdictJson(const BroadcastJudgement& judgement, std::size_t subscribers,
                                 const std::vector<Warning>& serviceWarnings) {
  json::Writer out;
  out.beginObject();
  out.key("outcome");
  out.string(judgement.error ? "rejected" : "delivered");
  if (judgement.error) {
    out.key("phone");
    out.beginObject();
    out.key("error");
    json::writeError(out, *judgement.error);
    out.endObject();
  }
  out.key("subscribers");
  out.number(static_cast<double>(subscribers));
  std::vector<Warning> warnings = serviceWarnings;
  warnings.insert(warnings.end(), judgement.warnings.begin(), judgement.warnings.end());
  if (!warnings.empty()) {
    out.key("warnings");
    writeWarnings(out, warnings);
  }
  out.endObject();
  return out.take();
}

std::string verdictJson(const board::TakenStep& taken) {
  return stepJson(taken.step, taken.warnings, StepForm::verdict);
}

PhoneSide realPhoneSide(boost::asio::io_context& io, const std::string& executable,
                        const ExtensionLimits& limits) {
  return {updateRules,
          [&io, executable, limits] { return std::make_unique<WarmSeat>(io, executable, limits); },
          std::make_shared<DrawingThread>(io), loopFrames(io)};
}

}  // namespace corvlin::host::server
