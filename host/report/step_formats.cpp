#include "host/report/step_formats.hpp"

#include <optional>
#include <variant>

#include "json/writer.hpp"

namespace corvlin::host {
namespace {

std::optional<updates::Reason> reasonOf(const updates::Step& step) {
  if (const auto* applied = std::get_if<updates::Applied>(&step.outcome)) return applied->reason;
  if (const auto* ignored = std::get_if<updates::Ignored>(&step.outcome)) return ignored->reason;
  return std::nullopt;
}

}  // namespace

void writeStepMembers(json::Writer& writer, const updates::Step& step,
                      const std::vector<Warning>& warnings, StepForm form) {
  if (form != StepForm::verdict) {
    writer.key("at");
    writer.number(step.at.timeIntervalSince1970);
    if (form == StepForm::timeline && step.record) {
      writer.key("record");
      writer.number(static_cast<double>(*step.record));
    }
    if (form == StepForm::timeline && step.channel) {
      writer.key("channel");
      writer.string(*step.channel);
    }
    if (step.event) {
      writer.key("event");
      writer.string(updates::stepEventName(*step.event));
    }
  }
  writer.key("outcome");
  writer.string(updates::outcomeName(step.outcome));
  if (auto reason = reasonOf(step)) {
    writer.key("reason");
    writer.string(updates::reasonText(*reason));
  }
  if (const auto* rejected = std::get_if<updates::Rejected>(&step.outcome)) {
    // A 200 answer's body has no top-level "error" (nor "status"): push clients read either as
    // a failure of the push service's own, and file an accepted push as failed.
    if (form == StepForm::verdict) {
      writer.key("phone");
      writer.beginObject();
    }
    writer.key("error");
    json::writeError(writer, rejected->error);
    if (form == StepForm::verdict) writer.endObject();
  }
  if (step.state) {
    writer.key("state");
    writer.string(updates::stateName(*step.state));
  }
  if (!warnings.empty()) {
    writer.key("warnings");
    writeWarnings(writer, warnings);
  }
}

std::string stepJson(const updates::Step& step, const std::vector<Warning>& warnings,
                     StepForm form) {
  json::Writer writer;
  writer.beginObject();
  writeStepMembers(writer, step, warnings, form);
  writer.endObject();
  return writer.take();
}

std::string stepNote(const updates::Step& step, ErrorHint hint) {
  if (auto reason = reasonOf(step)) return std::string(updates::reasonText(*reason));
  if (const auto* rejected = std::get_if<updates::Rejected>(&step.outcome))
    return errorText(rejected->error, hint);
  return {};
}

}  // namespace corvlin::host
