// The command line of corvlin-host: parsing into options, and the usage text.
#pragma once

#include <optional>
#include <ostream>
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
  enum class Command { help, version, decode, render, replay, serve, compare };
  Command command = Command::help;
  // help: the command whose usage is asked for; help itself for the list of commands.
  Command helpTopic = Command::help;
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

// What `corvlin-host --help` prints (`topic` help: the commands), or `corvlin-host CMD --help`
// (that command's usage and options only).
std::string helpText(Options::Command topic);

// "corvlin-host 0.1.0": the version the build was made from.
std::string versionText();

// What is wrong with the arguments (the first wrong one), and the command it was given to.
struct UsageProblem {
  std::string message;
  std::string command;  // empty before a command was chosen
};

// The options, or what is wrong with the arguments. An option's value follows it or an "="
// (--port=80); "--" ends the options.
Result<Options, UsageProblem> parseArguments(const std::vector<std::string>& arguments);

// Each command's name with the name of every option parseArguments reads for it.
struct CommandNames {
  Options::Command command;
  std::string name;
  std::vector<std::string> options;
};
std::vector<CommandNames> commandLineNames();

// Every usage error: "corvlin-host: MESSAGE", then "try 'corvlin-host --help'" (with a command,
// "try 'corvlin-host COMMAND --help'"); exitUsage.
int usageError(std::ostream& err, std::string_view message, std::string_view command = {});

}  // namespace corvlin::host
