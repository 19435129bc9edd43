#include "host/report/replay_formats.hpp"

#include <variant>

#include "host/report/diagnostics.hpp"
#include "host/report/step_formats.hpp"
#include "host/text/text_renderer.hpp"
#include "json/writer.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

using updates::Step;

void writeStep(json::Writer& writer, const ReplayedStep& replayed) {
  writer.beginObject();
  writeStepMembers(writer, replayed.step, replayed.warnings, StepForm::timeline);
  if (const auto& rendered = replayed.rendered) {
    if (const auto* presentations = std::get_if<ui::Presentations>(&rendered->outcome)) {
      writer.key("presentations");
      ui::writeJson(writer, *presentations);
    } else if (const auto* refused = std::get_if<DecodingError>(&rendered->outcome)) {
      writer.key("extensionError");
      json::writeError(writer, *refused);
    } else {
      const auto& failure = std::get<ExtensionFailure>(rendered->outcome);
      writer.key("extensionFailure");
      writer.beginObject();
      writeExtensionFailureMembers(writer, failure);
      writer.endObject();
    }
  }
  writer.endObject();
}

}  // namespace

std::string replayJson(const std::vector<ReplayedStep>& steps) {
  json::Writer writer;
  writer.raw("{\"steps\":[");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    writer.raw(i ? ",\n" : "\n");
    writeStep(writer, steps[i]);
  }
  writer.raw("\n]}\n");
  return writer.take();
}

std::string replayText(const std::vector<ReplayedStep>& steps) {
  std::string out;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const ReplayedStep& replayed = steps[i];
    const Step& step = replayed.step;
    if (i) out += '\n';
    out += "Step " + std::to_string(i + 1) + " of " + std::to_string(steps.size()) + " at " +
           utcText(step.at.timeIntervalSince1970) + ": ";
    if (step.record) {
      out += "record " + std::to_string(*step.record);
      if (step.channel) out += ", broadcast on channel " + *step.channel;
      out += step.event ? ", " : " ";
    }
    if (step.event) out += std::string(updates::stepEventName(*step.event)) + " ";
    out += updates::outcomeName(step.outcome);
    if (const std::string note = stepNote(step); !note.empty()) out += " (" + note + ")";
    out += step.state ? " -> " + std::string(updates::stateName(*step.state)) : " -> no activity";
    out += '\n';
    for (const Warning& warning : replayed.warnings)
      out += "  warning: " + warningText(warning) + "\n";
    if (!replayed.rendered) {
      out += "  nothing shown\n";
    } else if (const auto* p = std::get_if<ui::Presentations>(&replayed.rendered->outcome)) {
      out += renderText(*p, step.at.timeIntervalSince1970);
    } else if (const auto* refused = std::get_if<DecodingError>(&replayed.rendered->outcome)) {
      out += "  the extension refused it: " + errorText(*refused) + "\n";
    } else {
      out +=
          "  extension failed: " + std::get<ExtensionFailure>(replayed.rendered->outcome).message +
          "\n";
    }
  }
  return out;
}

}  // namespace corvlin::host
