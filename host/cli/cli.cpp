#include "host/cli/cli.hpp"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host/checks/unknown_keys.hpp"
#include "model/coding.hpp"

namespace corvlin::host {

const char* const usageText =
    "usage: corvlin-host decode [--attributes] [--strict] [FILE|-]\n"
    "       corvlin-host render [FILE|-] [--format text|json|html] [--now SECONDS] [--out PATH]\n"
    "                           [--extension PATH] [--timeout MS] [--strict]\n"
    "       corvlin-host render [FILE|-] --format png --out DIR [--scale N] [--width 371|408]\n"
    "                           [--now SECONDS] [--extension PATH] [--timeout MS] [--strict]\n"
    "       corvlin-host compare OLD NEW [--out DIR] [--tolerance N]\n"
    "       corvlin-host replay TIMELINE [--format text|json|html] [--out PATH]\n"
    "                           [--extension PATH] [--timeout MS] [--strict]\n"
    "       corvlin-host serve [--port N] [--bind ADDRESS] [--watch FILE] [--extension PATH]\n"
    "                          [--client-timeout MS]\n"
    "                          [--tls [--state-dir DIR] [--cert CHAIN.pem --key KEY.pem]]\n"
    "       corvlin-host --help\n"
    "\n"
    "decode  Reads one content state, or {\"attributes\":...,\"contentState\":...}, and writes it\n"
    "        back in the same form as one line of compact JSON; with --attributes, one\n"
    "        attributes record. Without FILE it reads a built-in sample (of attributes, with\n"
    "        --attributes); with - it reads standard input.\n"
    "render  Starts the extension, hands it the activity and prints its seven presentations:\n"
    "        a text sketch (default), the view description as JSON, or a live HTML page;\n"
    "        --format png writes lock-screen.png and island-{expanded,compact,minimal}.png\n"
    "        to DIR (a list: DIR/N/ for each activity, N from 0), --scale 1 to 4 (default 3).\n"
    "        A presentation larger than the phone shows is a \"clipped\" warning.\n"
    "        FILE holds a content state, {\"attributes\":...,\"contentState\":...}, or a list of\n"
    "        these. Without FILE it renders the built-in default activity, whose countdown\n"
    "        ends 90 seconds after now.\n"
    "replay  Plays a timeline of remote updates (JSON lines or an array of envelopes, or of\n"
    "        {\"at\":SECONDS,\"payload\":ENVELOPE}) under the platform's update rules and shows\n"
    "        every step with what the phone shows after it. decode also reads one envelope.\n"
    "serve   Listens on 127.0.0.1 (or --bind) at --port (0, the default, picks a free one) for\n"
    "        pushes to POST /3/device/TOKEN, checks them as the push service does, applies them\n"
    "        to the activity of TOKEN as the phone does, and draws every activity on a page\n"
    "        at / that updates live. --watch posts FILE to token 0 at the start and after\n"
    "        each save; --client-timeout MS (default 10000) closes a slower client.\n"
    "        It speaks HTTP/1.1, and HTTP/2 to a client that opens with its preface. --tls\n"
    "        serves HTTPS instead (h2 or HTTP/1.1 by ALPN) with a certificate from the local\n"
    "        authority kept in --state-dir (default $XDG_STATE_HOME/corvlin), or --cert\n"
    "        and --key.\n"
    "compare Compares two snapshot folders: one line per differing image with its changed\n"
    "        pixels and their bounding box; --out DIR writes a picture of each change,\n"
    "        --tolerance N ignores per-channel differences up to N (0 to 255). Exit status 0\n"
    "        all match, 1 any differs, 2 a folder or picture that cannot be compared.\n"
    "\n"
    "An object with a \"contentState\" member is always the wrapped form. Errors are one JSON\n"
    "line on standard error; in a list, each names its activity, counted from 0.\n"
    "\n"
    "  --attributes      decode a CorvlinLiveActivityAttributes record\n"
    "  --strict          fail (exit 65) on any warning; warnings are one JSON line each on\n"
    "                    standard error, and without --strict never change the exit status\n"
    "  --format FORMAT   text, json or html (render, replay)\n"
    "  --now SECONDS     pin the current instant, seconds since 1970 as a JSON number (render)\n"
    "  --out PATH        replace PATH with the rendering, atomically; - is standard output\n"
    "                    (render, replay)\n"
    "  --extension PATH  the extension to start (default: next to corvlin-host)\n"
    "  --timeout MS      how long the extension may take before it is stopped (default 10000)\n"
    "\n"
    "exit status: 0 done, 64 bad usage, 65 the payload does not decode, 66 unreadable input,\n"
    "             69 the extension failed, 73 cannot write the output\n";

namespace {

// Numbers on the command line read as they do in a payload (1e-400 is 0, -0 keeps its sign):
// the text must be one JSON number.
std::optional<double> parseNumber(const std::string& text) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, text);
  double value = 0;
  if (!document || document.value().get_double().get(value) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return value;
}

constexpr std::string_view commandNames[] = {"decode", "render", "replay", "serve", "compare"};
constexpr std::string_view optionNames[] = {"--attributes", "--strict",    "--format",  "--now",
                                            "--out",        "--extension", "--timeout", "--help",
                                            "--scale",      "--width"};

// compare OLD NEW [--out DIR] [--tolerance N]
Result<Options, std::string> parseCompareArguments(const std::vector<std::string>& arguments) {
  Options options;
  options.command = Options::Command::compare;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (arg == "--help" || arg == "-h") {
      options.command = Options::Command::help;
      return options;
    }
    if (arg == "--out" || arg == "--tolerance") {
      if (i + 1 >= arguments.size()) return Failure{arg + " needs a value"};
      const std::string& text = arguments[++i];
      if (arg == "--out") {
        options.out = text;
        continue;
      }
      const auto n = parseNumber(text);
      if (!n || *n < 0 || *n > 255 || std::floor(*n) != *n) {
        return Failure{"--tolerance needs a whole number from 0 to 255, not '" + text + "'"};
      }
      options.tolerance = *n;
    } else if (arg.size() > 1 && arg[0] == '-') {
      constexpr std::string_view known[] = {"--out", "--tolerance", "--help"};
      return Failure{unknownName("option", arg, known)};
    } else {
      options.folders.push_back(arg);
    }
  }
  if (options.folders.size() != 2) {
    return Failure{std::string("compare needs two snapshot folders, OLD and NEW")};
  }
  return options;
}

}  // namespace

std::string unknownName(std::string_view what, const std::string& name,
                        std::span<const std::string_view> known) {
  std::string message = "unknown " + std::string(what) + " '" + name + "'";
  if (auto nearest = nearestKey(name, known))
    message += "; did you mean '" + std::string(*nearest) + "'?";
  return message;
}

int usageError(std::ostream& err, std::string_view message) {
  err << "corvlin-host: " << message << "\ntry 'corvlin-host --help'\n";
  return exitUsage;
}

Result<Options, std::string> parseArguments(const std::vector<std::string>& arguments) {
  Options options;
  if (arguments.empty()) return Failure{std::string("missing command")};
  const std::string& command = arguments[0];
  if (command == "--help" || command == "-h" || command == "help") return options;
  if (command == "decode") {
    options.command = Options::Command::decode;
  } else if (command == "render") {
    options.command = Options::Command::render;
  } else if (command == "replay") {
    options.command = Options::Command::replay;
  } else if (command == "compare") {
    return parseCompareArguments(arguments);
  } else if (command == "serve") {
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) return options;
    auto serve = parseServeArguments(arguments);
    if (!serve) return Failure{serve.error()};
    options.command = Options::Command::serve;
    options.serve = std::move(serve).value();
    return options;
  } else {
    return Failure{unknownName("command", command, commandNames)};
  }
  const bool replay = options.command == Options::Command::replay;
  // replay takes render's options, except --now: its instants come from the timeline.
  const bool render = options.command == Options::Command::render || replay;

  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    auto value = [&](const char* name) -> Result<std::string, std::string> {
      if (i + 1 >= arguments.size()) return Failure{std::string(name) + " needs a value"};
      return arguments[++i];
    };
    auto renderOnly = [&]() -> std::optional<std::string> {
      if (!render) return arg + " is an option of render";
      return std::nullopt;
    };
    if (arg == "--help" || arg == "-h") {
      options.command = Options::Command::help;
      return options;
    } else if (arg == "--attributes") {
      if (render) return Failure{std::string("--attributes is an option of decode")};
      options.attributes = true;
    } else if (arg == "--strict") {
      options.strict = true;
    } else if (arg == "--format" || arg == "--now" || arg == "--out" || arg == "--extension" ||
               arg == "--timeout") {
      if (auto bad = renderOnly()) return Failure{*bad};
      if (replay && arg == "--now") return Failure{std::string("--now is not an option of replay")};
      auto v = value(arg.c_str());
      if (!v) return Failure{v.error()};
      const std::string& text = v.value();
      if (arg == "--format") {
        if (text == "text") {
          options.format = Format::text;
        } else if (text == "json") {
          options.format = Format::json;
        } else if (text == "html") {
          options.format = Format::html;
        } else if (text == "png" && !replay) {
          options.format = Format::png;
        } else {
          return Failure{"unknown format '" + text + "' (expected text, json" +
                         (replay ? " or html)" : ", html or png)")};
        }
      } else if (arg == "--now") {
        options.now = parseNumber(text);
        if (!options.now) {
          return Failure{"--now needs a number of seconds written as in JSON, not '" + text + "'"};
        }
      } else if (arg == "--out") {
        // "-" is standard output, as it is standard input for FILE.
        options.out = text == "-" ? std::nullopt : std::optional<std::string>(text);
      } else if (arg == "--extension") {
        options.extension = text;
      } else {
        const auto ms = parseNumber(text);
        if (!ms || *ms < 1 || *ms > 3600000 || std::floor(*ms) != *ms) {
          return Failure{"--timeout needs a whole number of milliseconds from 1 to 3600000, not '" +
                         text + "'"};
        }
        options.timeoutMs = static_cast<long>(*ms);
      }
    } else if (arg == "--scale" || arg == "--width") {
      if (options.command != Options::Command::render)
        return Failure{arg + " is an option of render"};
      auto v = value(arg.c_str());
      if (!v) return Failure{v.error()};
      const auto n = parseNumber(v.value());
      if (arg == "--scale") {
        if (!n || *n < 1 || *n > 4 || std::floor(*n) != *n) {
          return Failure{"--scale needs a whole number from 1 to 4, not '" + v.value() + "'"};
        }
        options.scale = *n;
      } else {
        if (!n || (*n != 371 && *n != 408)) {
          return Failure{"--width needs 371 or 408 (points), not '" + v.value() + "'"};
        }
        options.lockScreenWidth = *n;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Failure{unknownName("option", arg, optionNames)};
    } else if (options.file) {
      return Failure{"more than one input file ('" + *options.file + "' and '" + arg + "')"};
    } else {
      options.file = arg;
    }
  }
  if (options.format == Format::png && !options.out) {
    return Failure{std::string("--format png needs --out DIR, the folder for the pictures")};
  }
  if (replay && !options.file) {
    return Failure{std::string("replay needs a TIMELINE file (or - for standard input)")};
  }
  return options;
}

}  // namespace corvlin::host
