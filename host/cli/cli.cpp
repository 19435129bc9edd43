#include "host/cli/cli.hpp"

#include <algorithm>
#include <functional>
#include <utility>

#include "host/checks/unknown_keys.hpp"
#include "host/cli/instant_option.hpp"
#include "host/cli/option_values.hpp"

namespace corvlin::host {

namespace {

using Command = Options::Command;

// A command of the command line, and how its usage errors read.
struct CommandLineEntry {
  Command command = Command::help;
  CLI::App* app = nullptr;
  // Unknown options are "unknown WHAT 'NAME'", with a suggestion among the options of `family`
  // (the commands that share one set of options, this one included); an option of another
  // member of it is "NAME is an option of MEMBER".
  std::string what = "option";
  std::vector<const CLI::App*> family;
  // Once every argument is read: what is still wrong, if anything.
  std::function<std::optional<std::string>()> finish = [] { return std::nullopt; };
};

// The FILE of decode, render and replay: at most one.
std::optional<std::string> oneFile(const std::vector<std::string>& files, Options& options) {
  if (files.size() > 1) {
    return "more than one input file ('" + files[0] + "' and '" + files[1] + "')";
  }
  if (!files.empty()) options.file = files[0];
  return std::nullopt;
}

// What render and replay share (replay takes render's options but for --now and the pictures).
void addRenderingOptions(CLI::App& command, Options& o, bool png) {
  cli::flag(command, "--strict", o.strict);
  cli::value(command, "--format", [&o, png](const std::string& name) {
    constexpr std::pair<std::string_view, Format> formats[] = {{"text", Format::text},
                                                               {"json", Format::json},
                                                               {"html", Format::html},
                                                               {"png", Format::png}};
    for (const auto& [known, format] : formats) {
      if (name == known && (png || format != Format::png)) {
        o.format = format;
        return;
      }
    }
    cli::refuse("unknown format '" + name + "' (expected text, json" +
                (png ? ", html or png)" : " or html)"));
  });
  cli::value(command, "--out", [&o](const std::string& path) {
    // "-" is standard output, as it is standard input for FILE.
    o.out = path == "-" ? std::nullopt : std::optional<std::string>(path);
  });
  cli::text(command, "--extension", o.extension);
  cli::checked(command, "--timeout", o.timeoutMs,
               "a whole number of milliseconds from 1 to 3600000",
               cli::wholeNumber<long>(1, 3600000));
}

// "--now", read by readInstant.
void addNowOption(CLI::App& command, Options& o) {
  cli::value(command, "--now", [&o](const std::string& text) {
    auto instant = cli::readInstant("--now", text);
    if (!instant) cli::refuse(instant.error());
    o.now = instant.value();
  });
}

// Every command with its options, on `app`; `files` receives the FILE arguments, `helpName`
// the COMMAND of `help COMMAND`.
std::vector<CommandLineEntry> describe(CLI::App& app, Options& o, std::vector<std::string>& files,
                                       std::string& helpName) {
  app.set_help_flag();  // the help is corvlin-host's own: cli::help, helpText
  app.allow_extras();   // unknown names are reported below, with a suggestion
  app.require_subcommand(0, 1);
  auto topic = [&o](Command command) { return [&o, command] { o.helpTopic = command; }; };
  cli::help(app, topic(Command::help));
  cli::version(app);
  CLI::App& help = *app.add_subcommand("help")->group("");
  cli::help(help, topic(Command::help));
  help.add_option("COMMAND", helpName);

  CLI::App& decode = *app.add_subcommand("decode");
  cli::flag(decode, "--attributes", o.attributes);
  cli::flag(decode, "--strict", o.strict);
  decode.add_option("FILE", files);

  CLI::App& render = *app.add_subcommand("render");
  addRenderingOptions(render, o, true);
  addNowOption(render, o);
  cli::checked(render, "--scale", o.scale, "a whole number from 1 to 4",
               cli::wholeNumber<double>(1, 4));
  cli::checked(render, "--width", o.lockScreenWidth, "371 or 408 (points)", cli::oneOf({371, 408}));
  render.add_option("FILE", files);

  CLI::App& replay = *app.add_subcommand("replay");
  addRenderingOptions(replay, o, false);
  replay.add_option("TIMELINE", files);

  CLI::App& serve = *app.add_subcommand("serve");
  addServeOptions(serve, o.serve);

  CLI::App& compare = *app.add_subcommand("compare");
  cli::text(compare, "--out", o.out);
  cli::checked(compare, "--tolerance", o.tolerance, "a whole number from 0 to 255",
               cli::wholeNumber<double>(0, 255));
  compare.add_option("FOLDER", o.folders);  // OLD and NEW

  cli::help(decode, topic(Command::decode));
  cli::help(render, topic(Command::render));
  cli::help(replay, topic(Command::replay));
  cli::help(serve, topic(Command::serve));
  cli::help(compare, topic(Command::compare));

  const std::vector<const CLI::App*> payloadCommands = {&decode, &render, &replay};
  auto file = [&] { return oneFile(files, o); };
  return {
      {Command::decode, &decode, "option", payloadCommands, file},
      {Command::render, &render, "option", payloadCommands,
       [&o, &render, file]() -> std::optional<std::string> {
         if (auto bad = file()) return bad;
         if (o.format == Format::png && !o.out) {
           return "--format png needs --out DIR, the folder for the pictures";
         }
         // --width also sets the frame the clipped warnings are judged in, for every format.
         if (o.format != Format::png && render.count("--scale") > 0) {
           return "--scale sets the pictures' pixels to the point: it goes with --format png";
         }
         return std::nullopt;
       }},
      {Command::replay, &replay, "option", payloadCommands,
       [&o, file]() -> std::optional<std::string> {
         if (auto bad = file()) return bad;
         if (!o.file) return "replay needs a TIMELINE file (or - for standard input)";
         return std::nullopt;
       }},
      {Command::serve,
       &serve,
       "option of serve",
       {&serve},
       [&o] { return serveOptionsProblem(o.serve); }},
      {Command::compare,
       &compare,
       "option",
       {&compare},
       [&o]() -> std::optional<std::string> {
         if (o.folders.size() != 2) return "compare needs two snapshot folders, OLD and NEW";
         return std::nullopt;
       }},
  };
}

std::vector<std::string> optionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    if (option->nonpositional()) names.push_back(option->get_name());
  }
  return names;
}

// "unknown command 'decod'; did you mean 'decode'?": `name` is a WHAT none of `known`.
std::string unknownName(const std::string& what, const std::string& name,
                        const std::vector<std::string>& known) {
  const std::vector<std::string_view> views(known.begin(), known.end());
  std::string message = "unknown " + what + " '" + name + "'";
  if (auto nearest = nearestKey(name, views)) {
    message += "; did you mean '" + std::string(*nearest) + "'?";
  }
  return message;
}

// "render", "render and replay", "render, replay and serve".
std::string spokenList(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 == names.size() ? " and " : ", ";
    out += names[i];
  }
  return out;
}

// The first argument `entry`'s command did not know, said as a usage error: the commands it is
// an option of, else the nearest option of its family.
std::optional<std::string> unknownOption(const CommandLineEntry& entry,
                                         const std::vector<CommandLineEntry>& commands,
                                         const CLI::App& app) {
  auto extras = entry.app->remaining();
  std::erase(extras, "--");  // it ends the options; what follows is FILE
  if (extras.empty()) return std::nullopt;
  const std::string name = extras.front().substr(0, extras.front().find('='));
  std::vector<std::string> owners;
  for (const CommandLineEntry& other : commands) {
    if (other.app != entry.app && other.app->get_option_no_throw(name) != nullptr) {
      owners.push_back(other.app->get_name());
    }
  }
  if (!owners.empty()) return name + " is an option of " + spokenList(owners);
  if (name.starts_with("--") && app.get_option_no_throw(name) != nullptr) {
    return name + " comes before any command: corvlin-host " + name;
  }
  std::vector<std::string> known;
  for (const CLI::App* member : entry.family) {
    for (std::string& option : optionNames(*member)) {
      if (std::find(known.begin(), known.end(), option) == known.end()) known.push_back(option);
    }
  }
  return unknownName(entry.what, name, known);
}

}  // namespace

int usageError(std::ostream& err, std::string_view message, std::string_view command) {
  err << "corvlin-host: " << message << "\ntry 'corvlin-host ";
  if (!command.empty()) err << command << " ";
  err << "--help'\n";
  return exitUsage;
}

Result<Options, UsageProblem> parseArguments(const std::vector<std::string>& arguments) {
  Options options;
  std::vector<std::string> files;
  std::string helpName;
  CLI::App app("", "corvlin-host");
  const std::vector<CommandLineEntry> commands = describe(app, options, files, helpName);
  // The command the arguments chose, for the usage error's pointer to its help.
  std::string chosen;
  for (const CommandLineEntry& entry : commands) {
    if (!arguments.empty() && arguments.front() == entry.app->get_name())
      chosen = arguments.front();
  }
  auto failed = [&chosen](std::string message) {
    return Failure{UsageProblem{std::move(message), chosen}};
  };
  Options asked;
  try {
    app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
  } catch (const CLI::CallForHelp&) {
    asked.helpTopic = options.helpTopic;
    return asked;
  } catch (const CLI::CallForVersion&) {
    asked.command = Command::version;
    return asked;
  } catch (const CLI::ArgumentMismatch&) {
    // An option takes the argument after it whatever it looks like: only the last can lack one.
    const std::string& last = arguments.back();
    return failed(last.substr(0, last.find('=')) + " needs a value");
  } catch (const CLI::ParseError& error) {
    return failed(std::string(error.what()));
  }

  std::vector<std::string> commandNames;
  for (const CommandLineEntry& entry : commands) commandNames.push_back(entry.app->get_name());
  if (const auto extras = app.remaining(); !extras.empty()) {
    return failed(unknownName("command", extras.front(), commandNames));
  }
  for (const CommandLineEntry& entry : commands) {
    if (!entry.app->parsed()) continue;
    if (auto bad = unknownOption(entry, commands, app)) return failed(std::move(*bad));
    if (auto bad = entry.finish()) return failed(std::move(*bad));
    options.command = entry.command;
    return options;
  }
  if (app.got_subcommand("help")) {
    if (helpName.empty()) return asked;
    for (const CommandLineEntry& entry : commands) {
      if (entry.app->get_name() == helpName) asked.helpTopic = entry.command;
    }
    if (asked.helpTopic == Command::help) {
      return failed(unknownName("command", helpName, commandNames));
    }
    return asked;
  }
  return failed("missing command");
}

std::vector<CommandNames> commandLineNames() {
  Options options;
  std::vector<std::string> files;
  std::string helpName;
  CLI::App app;
  std::vector<CommandNames> names;
  for (const CommandLineEntry& entry : describe(app, options, files, helpName)) {
    names.push_back({entry.command, entry.app->get_name(), optionNames(*entry.app)});
  }
  return names;
}

}  // namespace corvlin::host
