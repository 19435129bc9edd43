// decode: reads one payload and writes it back in its coded form, or names what is wrong.
#include "host/cli/commands.hpp"
#include "host/cli/diagnostics.hpp"
#include "host/cli/envelope_command.hpp"
#include "host/cli/samples.hpp"
#include "host/extension/activity.hpp"
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

// The line written back in the form it came in, or the error line; the content state is
// encoded once, for the line and for the budget check.
Result<std::string, std::string> activityWrittenBack(std::string_view bytes, Environment& env) {
  auto decoded = decodeActivity(bytes);
  if (!decoded) return Failure{errorLine(decoded.error())};
  auto coded = encodeActivity(decoded.value());
  if (!coded) return Failure{errorJson(coded.error())};
  if (auto warning = budgetWarning(coded.value().contentState.size())) env.err << *warning << "\n";
  if (decoded.value().wrapped) return wrappedJson(coded.value());
  return std::move(coded).value().contentState;
}

}  // namespace

int runDecode(const Options& options, Environment& env) {
  auto bytes = loadPayload(options.file,
                           options.attributes ? sampleAttributes() : sampleContentState(), env);
  if (!bytes) return bytes.error();
  if (!options.attributes && isEnvelope(bytes.value()))
    return runDecodeEnvelope(bytes.value(), env);
  auto line = options.attributes ? attributesWrittenBack(bytes.value())
                                 : activityWrittenBack(bytes.value(), env);
  if (!line) {
    env.err << line.error() << "\n";
    return exitDataError;
  }
  return emit(std::nullopt, line.value() + "\n", env);
}

}  // namespace corvlin::host
