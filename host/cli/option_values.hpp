// Declaring corvlin-host's options on a command of the command line (CLI11): one line an option.
// Each value is checked as soon as it is read, in the order given; a bad one is refused with
// "NAME needs WHAT, not 'VALUE'".
#pragma once

#include <CLI/CLI.hpp>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvlin::host::cli {

// A value read from its text; absent when the text is not one of the values meant.
template <class T>
using Reader = std::function<std::optional<T>(const std::string& text)>;

// Ends the parse with `message` as its usage error.
[[noreturn]] void refuse(const std::string& message);

// --NAME: sets `into`.
CLI::Option* flag(CLI::App& command, const std::string& name, bool& into);

// -h and --help: `asked` runs, and the parse ends there with the help as its outcome.
CLI::Option* help(CLI::App& command, std::function<void()> asked);

// --version: the parse ends there, with the version as its outcome.
CLI::Option* version(CLI::App& command);

// --NAME VALUE: `take` gets each value as written (--NAME=VALUE too) and may refuse() it.
CLI::Option* value(CLI::App& command, const std::string& name,
                   std::function<void(const std::string&)> take);

// --NAME TEXT, any text (a std::string or an optional one).
template <class Text>
CLI::Option* text(CLI::App& command, const std::string& name, Text& into) {
  return value(command, name, [&into](const std::string& given) { into = given; });
}

// --NAME VALUE, read by `read`; a value it does not read is "NAME needs NEEDS, not 'VALUE'".
template <class T, class Into>
CLI::Option* checked(CLI::App& command, const std::string& name, Into& into, std::string needs,
                     Reader<T> read) {
  return value(
      command, name,
      [&into, name, needs = std::move(needs), read = std::move(read)](const std::string& given) {
        std::optional<T> read_value = read(given);
        if (!read_value) refuse(name + " needs " + needs + ", not '" + given + "'");
        into = *read_value;
      });
}

// Numbers on the command line read as they do in a payload (1e-400 is 0, -0 keeps its sign):
// the text must be one JSON number.
std::optional<double> jsonNumber(const std::string& text);

// A JSON number that is whole and from `low` to `high` (1e3 is 1000).
template <class T>
Reader<T> wholeNumber(double low, double high) {
  return [low, high](const std::string& text) -> std::optional<T> {
    const auto n = jsonNumber(text);
    if (!n || *n < low || *n > high || std::floor(*n) != *n) return std::nullopt;
    return static_cast<T>(*n);
  };
}

// A JSON number equal to one of `allowed`.
Reader<double> oneOf(std::initializer_list<double> allowed);

// Decimal digits, optionally after a minus sign, from `low` to `high`.
std::optional<long> decimal(const std::string& text);
template <class T>
Reader<T> decimalNumber(long low, long high) {
  return [low, high](const std::string& text) -> std::optional<T> {
    const auto n = decimal(text);
    if (!n || *n < low || *n > high) return std::nullopt;
    return static_cast<T>(*n);
  };
}

}  // namespace corvlin::host::cli
