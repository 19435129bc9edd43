// The command line of corvlin-host: parsing into options, and the usage text.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/cli/serve_command.hpp"
#include "json/result.hpp"

namespace corvlin::host {

// Exit statuses, as sysexits names them.
enum ExitStatus : int {
  exitOk = 0,
  exitUsage = 64,
  exitDataError = 65,
  exitNoInput = 66,
  exitUnavailable = 69,
  exitSoftware = 70,
  exitCannotCreate = 73,
};

enum class Format { text, json, html, png };

struct Options {
  enum class Command { help, decode, render, replay, serve, compare } command = Command::help;
  std::optional<std::string> file;  // absent: the embedded payload; "-": standard input
  bool attributes = false;          // decode: read attributes instead of a content state
  bool strict = false;              // any warning fails the command (exit 65)
  Format format = Format::text;
  std::optional<double> now;             // seconds since 1970; absent: the real clock
  std::optional<std::string> out;        // absent: standard output
  std::optional<std::string> extension;  // absent: the extension next to corvlin-host
  std::optional<long> timeoutMs;
  double scale = 3;                  // render --format png: pixels to the point
  double lockScreenWidth = 371;      // render: the lock screen's width in points (371 or 408)
  ServeOptions serve;                // serve: its own options
  std::vector<std::string> folders;  // compare: OLD and NEW
  std::optional<double> tolerance;   // compare: per-channel differences ignored
};

extern const char* const usageText;

// The options, or a message saying what is wrong with the arguments.
Result<Options, std::string> parseArguments(const std::vector<std::string>& arguments);

// "unknown command 'decod'; did you mean 'decode'?": `name` is a WHAT none of `known`.
std::string unknownName(std::string_view what, const std::string& name,
                        std::span<const std::string_view> known);

// Every usage error: "corvlin-host: MESSAGE", then "try 'corvlin-host --help'"; exitUsage.
int usageError(std::ostream& err, std::string_view message);

}  // namespace corvlin::host
