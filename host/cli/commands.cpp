#include "host/cli/commands.hpp"

#include "host/files/input.hpp"
#include "host/files/output.hpp"
#include "host/report/diagnostics.hpp"

namespace corvlin::host {

int runHelp(Options::Command topic, Environment& env) {
  return emit(std::nullopt, helpText(topic), env);
}

int runVersion(Environment& env) { return emit(std::nullopt, versionText(), env); }

Result<std::string, int> loadPayload(const std::optional<std::string>& file,
                                     std::string_view builtIn, Environment& env) {
  auto bytes = loadPayload(file, builtIn);
  if (bytes) return std::move(bytes).value();
  const InputError& error = bytes.error();
  if (error.kind == InputError::Kind::tooLarge) {
    // Too large to check is a payload the phone would not take either: a data error.
    env.err << errorLine(DecodingError{DecodingError::Kind::dataCorrupted, {}, error.message})
            << "\n";
    return Failure{int(exitDataError)};
  }
  env.err << "corvlin-host: " << error.message << "\n";
  return Failure{int(exitNoInput)};
}

int emit(const std::optional<std::string>& out, std::string_view text, Environment& env) {
  const Written written =
      out ? replaceFile(*out, text) : writeStream(env.out, "standard output", text);
  if (written) return exitOk;
  env.err << "corvlin-host: " << written.error() << "\n";
  return exitCannotCreate;
}

}  // namespace corvlin::host
