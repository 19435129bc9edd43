#include "host/cli/envelope_command.hpp"

#include <simdjson.h>

#include "host/checks/envelope_warnings.hpp"
#include "host/report/diagnostics.hpp"
#include "json/parse.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {

bool isEnvelope(std::string_view bytes) {
  simdjson::dom::parser parser;
  auto root = json::parse(parser, bytes);
  return root && root.value().is_object() && root.value()["aps"].error() == simdjson::SUCCESS;
}

int runDecodeEnvelope(std::string_view bytes, bool strict, Environment& env) {
  auto envelope = updates::decodeEnvelope(bytes);
  if (!envelope) {
    env.err << errorLine(envelope.error()) << "\n";
    return exitDataError;
  }
  auto written = updates::encodeEnvelope(envelope.value());
  if (!written) {
    env.err << errorJson(written.error()) << "\n";
    return exitDataError;
  }
  // The body decoded, so it parses again.
  simdjson::dom::parser parser;
  const auto root = json::parse(parser, bytes).value();
  const std::vector<Warning> warnings = envelopeWarnings(root, envelope.value());
  for (const Warning& warning : warnings) env.err << warningJson(warning) << "\n";
  const int status = emit(std::nullopt, written.value() + "\n", env);
  if (status != exitOk) return status;
  return strict && !warnings.empty() ? int(exitDataError) : int(exitOk);
}

}  // namespace corvlin::host
