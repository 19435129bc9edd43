#include "host/server/phone_side.hpp"

#include <simdjson.h>

#include "model/coding.hpp"
#include "model/json_writer.hpp"

namespace corvlin::host::server {
namespace {

void writeError(json::Writer& w, const DecodingError& error) {
  w.beginObject();
  w.key("kind");
  w.string(kindName(error.kind));
  w.key("codingPath");
  w.beginArray();
  for (const auto& step : error.codingPath) {
    if (const auto* key = std::get_if<std::string>(&step)) {
      w.string(*key);
    } else {
      w.number(static_cast<double>(std::get<std::size_t>(step)));
    }
  }
  w.endArray();
  w.key("description");
  w.string(error.description);
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
  w.key("state");
  w.string(step.state);
}

DecodingError at(DecodingError error, CodingPath prefix) {
  error.codingPath.insert(error.codingPath.begin(), prefix.begin(), prefix.end());
  return error;
}

// The rules a push meets until the update layer's own take their place: the envelope's event,
// timestamp and content state read, the first push starting the activity, older ones ignored,
// nothing taken after the end.
class InterimRules final : public ActivityRules {
 public:
  PhoneStep apply(std::string_view body, double now) override {
    PhoneStep step;
    step.at = now;
    step.state = state_;
    step.shown = shown_;
    auto fail = [&](DecodingError error) {
      step.outcome = Outcome::rejected;
      step.error = std::move(error);
      return step;
    };
    simdjson::dom::parser parser;
    auto document = json::parse(parser, body);
    if (!document) return fail(std::move(document).error());
    simdjson::dom::element aps;
    if (document.value()["aps"].get(aps) != simdjson::SUCCESS || !aps.is_object()) {
      return fail({DecodingError::Kind::keyNotFound,
                   {std::string("aps")},
                   "No value associated with key \"aps\"."});
    }
    std::string_view event;
    if (aps["event"].get(event) != simdjson::SUCCESS ||
        (event != "start" && event != "update" && event != "end")) {
      return fail({DecodingError::Kind::dataCorrupted,
                   {std::string("aps"), std::string("event")},
                   "Expected \"start\", \"update\" or \"end\"."});
    }
    step.event = std::string(event);
    double timestamp = 0;
    if (aps["timestamp"].get(timestamp) != simdjson::SUCCESS) {
      return fail({DecodingError::Kind::typeMismatch,
                   {std::string("aps"), std::string("timestamp")},
                   "Expected a number of seconds since 1970."});
    }
    std::optional<ContentState> content;
    simdjson::dom::element coded;
    if (aps["content-state"].get(coded) == simdjson::SUCCESS) {
      auto decoded = decodeContentState(coded);
      if (!decoded) {
        return fail(
            at(std::move(decoded).error(), {std::string("aps"), std::string("content-state")}));
      }
      content = std::move(decoded).value();
    } else if (event != "end") {
      return fail({DecodingError::Kind::keyNotFound,
                   {std::string("aps"), std::string("content-state")},
                   "No value associated with key \"content-state\"."});
    }
    if (state_ == "ended") {
      step.outcome = Outcome::ignored;
      step.reason = "the activity has ended";
      return step;
    }
    if (lastTimestamp_ && event != "start" && timestamp < *lastTimestamp_) {
      step.outcome = Outcome::ignored;
      step.reason = "older than the last update";
      return step;
    }
    if (!shown_ && event != "start") step.reason = "started by the app";
    lastTimestamp_ = timestamp;
    if (content) shown_ = Activity{std::nullopt, std::move(*content)};
    if (event == "end") state_ = "ended";
    step.state = state_;
    step.shown = shown_;
    return step;
  }

 private:
  std::string state_ = "active";
  std::optional<double> lastTimestamp_;
  std::optional<Activity> shown_;
};

// The activity's own extension process, kept between pushes and started again on the next
// question once it has failed or died.
class WarmSeat final : public ExtensionSeat {
 public:
  WarmSeat(std::string executable, ExtensionLimits limits)
      : executable_(std::move(executable)), limits_(limits) {}
  Result<std::string, ExtensionFailure> ask(const std::string& requestLine) override {
    if (!process_ || !process_->running()) {
      process_.reset();
      auto started = ExtensionProcess::start(executable_);
      if (!started) return Failure{std::move(started).error()};
      process_.emplace(std::move(started).value());
    }
    return process_->ask(requestLine, limits_);
  }

 private:
  std::string executable_;
  ExtensionLimits limits_;
  std::optional<ExtensionProcess> process_;
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
  w.key("event");
  w.string(step.event);
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

PhoneSide realPhoneSide(const std::string& executable, const ExtensionLimits& limits) {
  return {[] { return std::make_unique<InterimRules>(); },
          [executable, limits] { return std::make_unique<WarmSeat>(executable, limits); }};
}

}  // namespace corvlin::host::server
