#include "host/server/phone_side.hpp"

#include <simdjson.h>

#include "host/checks/envelope_warnings.hpp"
#include "host/server/async_extension.hpp"
#include "json/parse.hpp"
#include "json/writer.hpp"
#include "updates/envelope_coding.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::server {
namespace {

void writeError(json::Writer& w, const DecodingError& error) {
  w.beginObject();
  json::writeErrorMembers(w, error);
  w.endObject();
}

void writeVerdictMembers(json::Writer& w, const PhoneStep& step) {
  w.key("outcome");
  w.string(outcomeName(step.outcome));
  if (step.error) {
    w.key("error");
    writeError(w, *step.error);
  } else if (!step.reason.empty()) {
    w.key("reason");
    w.string(step.reason);
  }
  if (!step.state.empty()) {
    w.key("state");
    w.string(step.state);
  }
  if (!step.warnings.empty()) {
    w.key("warnings");
    writeWarnings(w, step.warnings);
  }
}

// The platform's update rules for one activity, each push a record arriving now.
class UpdateRules final : public ActivityRules {
 public:
  std::vector<PhoneStep> apply(std::string_view body, double now) override {
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
    std::vector<PhoneStep> steps;
    steps.reserve(transition.steps.size());
    for (auto& step : transition.steps) steps.push_back(phoneStep(std::move(step), records_));
    // The push's own step, which the rules always give it, carries its warnings.
    for (PhoneStep& step : steps) {
      if (step.ofThePush) {
        step.warnings = std::move(warnings);
        break;
      }
    }
    ++records_;
    return steps;
  }

 private:
  static PhoneStep phoneStep(updates::Step step, std::size_t record) {
    PhoneStep out;
    out.at = step.at.timeIntervalSince1970;
    out.ofThePush = step.record == record;
    if (step.event) out.event = std::string(updates::stepEventName(*step.event));
    if (const auto* applied = std::get_if<updates::Applied>(&step.outcome)) {
      out.outcome = Outcome::applied;
      if (applied->reason) out.reason = std::string(updates::reasonText(*applied->reason));
    } else if (const auto* ignored = std::get_if<updates::Ignored>(&step.outcome)) {
      out.outcome = Outcome::ignored;
      out.reason = std::string(updates::reasonText(ignored->reason));
    } else {
      out.outcome = Outcome::rejected;
      out.error = std::get<updates::Rejected>(step.outcome).error;
    }
    if (step.state) out.state = std::string(updates::stateName(*step.state));
    if (step.shown)
      out.shown = Activity{std::move(step.shown->attributes), std::move(step.shown->content)};
    return out;
  }

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

}  // namespace

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::applied:
      return "applied";
    case Outcome::ignored:
      return "ignored";
    case Outcome::rejected:
      return "rejected";
  }
  return "applied";
}

std::string stepJson(const PhoneStep& step) {
  json::Writer w;
  w.beginObject();
  w.key("at");
  w.number(step.at);
  if (!step.event.empty()) {
    w.key("event");
    w.string(step.event);
  }
  writeVerdictMembers(w, step);
  w.endObject();
  return w.take();
}

std::string verdictJson(const PhoneStep& step) {
  json::Writer w;
  w.beginObject();
  writeVerdictMembers(w, step);
  w.endObject();
  return w.take();
}

PhoneSide realPhoneSide(boost::asio::io_context& io, const std::string& executable,
                        const ExtensionLimits& limits) {
  return {[] { return std::make_unique<UpdateRules>(); },
          [&io, executable, limits] { return std::make_unique<WarmSeat>(io, executable, limits); }};
}

}  // namespace corvlin::host::server
