// decode: reads one payload and writes it back in its coded form, or names what is wrong.
#include "host/checks/payload_warnings.hpp"
#include "host/cli/commands.hpp"
#include "host/cli/envelope_command.hpp"
#include "host/payload/activity.hpp"
#include "host/report/diagnostics.hpp"
#include "host/samples/samples.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

// The line written back, or the error line.
Result<std::string, std::string> attributesWrittenBack(std::string_view bytes) {
  auto decoded = decodeAttributes(bytes);
  if (!decoded) return Failure{errorLine(decoded.error())};
  auto written = encodeAttributes(decoded.value());
  if (!written) return Failure{errorJson(written.error())};
  return std::move(written).value();
}

// The line written back in the form it came in, or the error line; and its warnings.
Result<std::string, std::string> activityWrittenBack(std::string_view bytes,
                                                     std::vector<Warning>& warnings) {
  auto decoded = decodeActivity(bytes);
  if (!decoded) return Failure{errorLine(decoded.error())};
  auto coded = encodeActivity(decoded.value());
  if (!coded) return Failure{errorJson(coded.error())};
  warnings = payloadWarnings(bytes, Payload{false, {decoded.value()}}, std::nullopt).front();
  if (decoded.value().wrapped) return wrappedJson(coded.value());
  return std::move(coded).value().contentState;
}

}  // namespace

int runDecode(const Options& options, Environment& env) {
  auto bytes = loadPayload(options.file,
                           options.attributes ? sampleAttributes() : sampleContentState(), env);
  if (!bytes) return bytes.error();
  if (!options.attributes && isEnvelope(bytes.value()))
    return runDecodeEnvelope(bytes.value(), options.strict, env);
  std::vector<Warning> warnings;
  auto line = options.attributes ? attributesWrittenBack(bytes.value())
                                 : activityWrittenBack(bytes.value(), warnings);
  if (!line) {
    env.err << line.error() << "\n";
    return exitDataError;
  }
  if (options.attributes) warnings = attributesDocumentWarnings(bytes.value());
  for (const auto& warning : warnings) env.err << warningJson(warning) << "\n";
  const int written = emit(std::nullopt, line.value() + "\n", env);
  if (written != exitOk) return written;
  return options.strict && !warnings.empty() ? int(exitDataError) : int(exitOk);
}

}  // namespace corvlin::host
