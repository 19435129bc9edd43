#include "host/cli/option_values.hpp"

#include <simdjson.h>

#include <algorithm>
#include <charconv>

#include "model/coding.hpp"

namespace corvlin::host::cli {

void refuse(const std::string& message) { throw CLI::ValidationError(message); }

// Each option's callback runs as soon as its value is read, so that the first bad argument is
// the one reported and a later --help does not hide it; given twice, the last value holds.
namespace {
CLI::Option* atOnce(CLI::Option* option) {
  return option->trigger_on_parse()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}
}  // namespace

CLI::Option* flag(CLI::App& command, const std::string& name, bool& into) {
  return atOnce(command.add_flag_callback(name, [&into] { into = true; }));
}

CLI::Option* help(CLI::App& command, std::function<void()> asked) {
  return atOnce(command.add_flag_callback("-h,--help", [asked = std::move(asked)] {
    asked();
    throw CLI::CallForHelp();
  }));
}

CLI::Option* version(CLI::App& command) {
  return atOnce(command.add_flag_callback("--version", [] { throw CLI::CallForVersion(); }));
}

CLI::Option* value(CLI::App& command, const std::string& name,
                   std::function<void(const std::string&)> take) {
  return atOnce(command.add_option_function<std::string>(name, std::move(take)));
}

std::optional<double> jsonNumber(const std::string& text) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, text);
  double value = 0;
  if (!document || document.value().get_double().get(value) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return value;
}

Reader<double> oneOf(std::initializer_list<double> allowed) {
  return [known = std::vector<double>(allowed)](const std::string& text) -> std::optional<double> {
    const auto n = jsonNumber(text);
    if (!n || std::find(known.begin(), known.end(), *n) == known.end()) return std::nullopt;
    return n;
  };
}

std::optional<long> decimal(const std::string& text) {
  long value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace corvlin::host::cli
