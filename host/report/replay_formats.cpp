#include "host/report/replay_formats.hpp"

#include <cmath>
#include <ctime>
#include <variant>

#include "host/report/diagnostics.hpp"
#include "host/text/text_renderer.hpp"
#include "json/writer.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

using updates::Applied;
using updates::Ignored;
using updates::Rejected;
using updates::Step;

std::optional<updates::Reason> reasonOf(const Step& step) {
  if (const auto* applied = std::get_if<Applied>(&step.outcome)) return applied->reason;
  if (const auto* ignored = std::get_if<Ignored>(&step.outcome)) return ignored->reason;
  return std::nullopt;
}

void appendError(std::string& out, const DecodingError& error) {
  json::Writer writer;
  writer.beginObject();
  json::writeErrorMembers(writer, error);
  writer.endObject();
  out += writer.str();
}

std::string stepJson(const ReplayedStep& replayed) {
  const Step& step = replayed.step;
  std::string out = "{\"at\":";
  json::appendNumber(out, step.at.timeIntervalSince1970);
  if (step.record) {
    out += ",\"record\":";
    json::appendNumber(out, static_cast<double>(*step.record));
  }
  if (step.event) {
    out += ",\"event\":";
    json::appendString(out, updates::stepEventName(*step.event));
  }
  out += ",\"outcome\":";
  json::appendString(out, updates::outcomeName(step.outcome));
  if (auto reason = reasonOf(step)) {
    out += ",\"reason\":";
    json::appendString(out, updates::reasonText(*reason));
  }
  if (const auto* rejected = std::get_if<Rejected>(&step.outcome)) {
    out += ",\"error\":";
    appendError(out, rejected->error);
  }
  if (step.state) {
    out += ",\"state\":";
    json::appendString(out, updates::stateName(*step.state));
  }
  if (!replayed.warnings.empty()) out += ",\"warnings\":" + warningsJson(replayed.warnings);
  if (const auto& rendered = replayed.rendered) {
    if (const auto* presentations = std::get_if<ui::Presentations>(&rendered->outcome)) {
      out += ",\"presentations\":" + ui::toJson(*presentations);
    } else if (const auto* refused = std::get_if<DecodingError>(&rendered->outcome)) {
      out += ",\"extensionError\":";
      appendError(out, *refused);
    } else {
      const auto& failure = std::get<ExtensionFailure>(rendered->outcome);
      out += ",\"extensionFailure\":{\"kind\":";
      json::appendString(out, kindName(failure.kind));
      out += ",\"description\":";
      json::appendString(out, failure.message);
      out += '}';
    }
  }
  return out + '}';
}

}  // namespace

std::string utcText(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13) {
    std::string out;
    json::appendNumber(out, seconds);
    return out + " s";
  }
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  char buffer[64];
  if (!gmtime_r(&whole, &parts) ||
      std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0) {
    return std::to_string(whole) + " s";
  }
  return buffer;
}

std::string errorText(const DecodingError& error) {
  std::string out = std::string(kindName(error.kind)) + " at " + describePath(error.codingPath) +
                    ": " + error.description;
  if (!error.hint.empty()) out += " (" + error.hint + ")";
  return out;
}

std::string stepNote(const Step& step) {
  if (auto reason = reasonOf(step)) return std::string(updates::reasonText(*reason));
  if (const auto* rejected = std::get_if<Rejected>(&step.outcome))
    return errorText(rejected->error);
  return {};
}

std::string replayJson(const std::vector<ReplayedStep>& steps) {
  std::string out = "{\"steps\":[";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    out += i ? ",\n" : "\n";
    out += stepJson(steps[i]);
  }
  return out + "\n]}\n";
}

std::string replayText(const std::vector<ReplayedStep>& steps) {
  std::string out;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const ReplayedStep& replayed = steps[i];
    const Step& step = replayed.step;
    if (i) out += '\n';
    out += "Step " + std::to_string(i + 1) + " of " + std::to_string(steps.size()) + " at " +
           utcText(step.at.timeIntervalSince1970) + ": ";
    if (step.record) out += "record " + std::to_string(*step.record) + (step.event ? ", " : " ");
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
