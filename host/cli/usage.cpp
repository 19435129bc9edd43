#include <string_view>

#include "host/cli/cli.hpp"

#ifndef CORVLIN_VERSION
#error "the build passes CORVLIN_VERSION, the project's version"
#endif

namespace corvlin::host {

namespace {

using Command = Options::Command;

constexpr std::string_view commandList =
    "usage: corvlin-host COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "commands:\n"
    "  decode   check a payload and write it back in its coded form, or name what is wrong\n"
    "  render   ask the extension for an activity's seven presentations: text, JSON, a live\n"
    "           page or PNG pictures\n"
    "  replay   play a timeline of remote updates under the phone's update rules\n"
    "  serve    a local push endpoint, with a page that draws every activity live\n"
    "  compare  tell what changed between two folders of PNG snapshots\n"
    "\n"
    "corvlin-host COMMAND --help (or corvlin-host help COMMAND) shows a command's usage and\n"
    "options; corvlin-host --version its version.\n"
    "\n"
    "Warnings (what the phone would show differently from what a payload most likely meant)\n"
    "are one JSON line each on standard error; errors too, with a hint where there is one.\n"
    "\n"
    "exit status: 0 done, 64 bad usage; a command's --help gives the others\n";

constexpr std::string_view payloadExit =
    "\n"
    "exit status: 0 done, 64 bad usage, 65 the payload does not decode (or a warning with\n"
    "             --strict), 66 unreadable input, 69 the extension failed, 73 cannot write\n"
    "             the output\n";

constexpr std::string_view decodeHelp =
    "usage: corvlin-host decode [--attributes] [--strict] [FILE|-]\n"
    "\n"
    "Reads one content state, {\"attributes\":...,\"contentState\":...} or a push envelope\n"
    "{\"aps\":...}, and writes it back in the same form as one line of compact JSON; with\n"
    "--attributes, one attributes record. Without FILE it reads a built-in sample (of\n"
    "attributes, with --attributes); with - it reads standard input.\n"
    "\n"
    "options:\n"
    "  --attributes  decode a CorvlinLiveActivityAttributes record\n"
    "  --strict      fail (exit 65) on any warning\n"
    "  -h, --help    this help\n";

constexpr std::string_view renderHelp =
    "usage: corvlin-host render [FILE|-] [--format text|json|html] [--now INSTANT] [--out PATH]\n"
    "                           [--width 371|408] [--extension PATH] [--timeout MS] [--strict]\n"
    "       corvlin-host render [FILE|-] --format png --out DIR [--scale N] [--width 371|408]\n"
    "                           [--now INSTANT] [--extension PATH] [--timeout MS] [--strict]\n"
    "\n"
    "Starts the extension, hands it the activity and prints its seven presentations: a text\n"
    "sketch (default), the view description as JSON, or a live HTML page; --format png\n"
    "writes lock-screen.png and island-{expanded,compact,minimal}.png to DIR (a list: DIR/N/\n"
    "for each activity, N from 0). A presentation larger than the phone shows is a\n"
    "\"clipped\" warning, a text given fewer lines than it needs a \"truncated\" one. The\n"
    "page, the pictures and the warnings share one layout, the lock screen --width wide.\n"
    "FILE holds a content state, {\"attributes\":...,\"contentState\":...},\n"
    "a push envelope, or a list of these. Without FILE it renders the built-in default\n"
    "activity, whose countdown ends 90 seconds after now.\n"
    "\n"
    "options:\n"
    "  --format FORMAT   text (default), json, html or png\n"
    "  --now INSTANT     pin the current instant: seconds since 1970 as a JSON number\n"
    "                    (1767258000), or ISO 8601 with a zone (2026-01-01T09:00:00Z,\n"
    "                    2026-01-01T11:00:00+02:00); a number above 1e11 is refused as\n"
    "                    milliseconds\n"
    "  --out PATH        replace PATH with the rendering, atomically; - is standard output;\n"
    "                    with --format png, the folder for the pictures\n"
    "  --scale N         pixels to the point of the pictures, 1 to 4 (default 3); only with\n"
    "                    --format png\n"
    "  --width W         the lock screen's width in points, 371 (default) or 408: the\n"
    "                    page's and the pictures' width, and the frame the warnings are\n"
    "                    judged in\n"
    "  --extension PATH  the extension to start (default: next to corvlin-host)\n"
    "  --timeout MS      how long the extension may take before it is stopped (default 10000)\n"
    "  --strict          fail (exit 65) on any warning\n"
    "  -h, --help        this help\n";

constexpr std::string_view replayHelp =
    "usage: corvlin-host replay TIMELINE [--format text|json|html] [--out PATH]\n"
    "                           [--extension PATH] [--timeout MS] [--strict]\n"
    "\n"
    "Plays a timeline of remote updates (JSON lines or an array of envelopes, or of\n"
    "{\"at\":SECONDS,\"payload\":ENVELOPE}) under the phone's update rules and shows every\n"
    "step with what the phone shows after it. Each record arrives at its own instant; - reads\n"
    "standard input.\n"
    "\n"
    "options:\n"
    "  --format FORMAT   text (default), json or html\n"
    "  --out PATH        replace PATH with the replay, atomically; - is standard output\n"
    "  --extension PATH  the extension to start (default: next to corvlin-host)\n"
    "  --timeout MS      how long the extension may take for a step (default 10000)\n"
    "  --strict          fail (exit 65) on any warning\n"
    "  -h, --help        this help\n";

constexpr std::string_view serveHelp =
    "usage: corvlin-host serve [--port N] [--bind ADDRESS] [--watch FILE] [--extension PATH]\n"
    "                          [--client-timeout MS] [--tls [--state-dir DIR]\n"
    "                          [--cert PEM --key PEM]] [--auth-key P8 --key-id ID --team-id ID]\n"
    "                          [--subscribers N]\n"
    "\n"
    "Listens for pushes to POST /3/device/TOKEN, checks them as the push service does,\n"
    "applies them to the activity of TOKEN as the phone does, and draws every activity on a\n"
    "page at / that updates live. It speaks HTTP/1.1 and HTTP/2 (h2c); with --tls, HTTPS\n"
    "with h2 and HTTP/1.1. It runs until SIGINT or SIGTERM.\n"
    "\n"
    "options:\n"
    "  --port N             the port, 0 (the default) for a free one\n"
    "  --bind ADDRESS       the IP address to listen on (default 127.0.0.1)\n"
    "  --watch FILE         post FILE to token 0 at the start and after each save\n"
    "  --extension PATH     the extension to start (default: next to corvlin-host)\n"
    "  --client-timeout MS  close a slower client after MS (default 10000)\n"
    "  --tls                speak HTTPS, with a certificate from a local authority\n"
    "  --state-dir DIR      with --tls: where the local authority is kept (default\n"
    "                       $XDG_STATE_HOME/corvlin or ~/.local/state/corvlin)\n"
    "  --cert PEM           with --tls and --key: your own certificate chain instead\n"
    "  --key PEM            with --tls and --cert: its private key\n"
    "  --auth-key P8        check provider tokens against this key (a .p8 file), with\n"
    "  --key-id ID          the key's id and\n"
    "  --team-id ID         the team's id\n"
    "  --subscribers N      give every broadcast channel made N local subscribers\n"
    "                       (0 to 10000; default 0: more can be added from the page)\n"
    "  -h, --help           this help\n"
    "\n"
    "exit status: 0 after SIGINT or SIGTERM, 64 bad usage, 65 a certificate libssl will not\n"
    "             serve, 66 a --watch file or certificate that cannot be had, 69 the address\n"
    "             cannot be listened on\n";

constexpr std::string_view compareHelp =
    "usage: corvlin-host compare OLD NEW [--out DIR] [--tolerance N]\n"
    "\n"
    "Compares two snapshot folders, at any depth: one line per differing picture with its\n"
    "changed pixels and their bounding box; a picture whose size changed says both sizes,\n"
    "and one in only one folder is named.\n"
    "\n"
    "options:\n"
    "  --out DIR         write a picture of each change into DIR\n"
    "  --tolerance N     ignore per-channel differences up to N (0 to 255)\n"
    "  -h, --help        this help\n"
    "\n"
    "exit status: 0 all match, 1 any differs, 2 a folder or picture that cannot be compared,\n"
    "             64 bad usage\n";

}  // namespace

std::string helpText(Command topic) {
  switch (topic) {
    case Command::help:
    case Command::version:
      return std::string(commandList);
    case Command::decode:
      return std::string(decodeHelp) + std::string(payloadExit);
    case Command::render:
      return std::string(renderHelp) + std::string(payloadExit);
    case Command::replay:
      return std::string(replayHelp) + std::string(payloadExit);
    case Command::serve:
      return std::string(serveHelp);
    case Command::compare:
      return std::string(compareHelp);
  }
  return std::string(commandList);
}

std::string versionText() { return std::string("corvlin-host ") + CORVLIN_VERSION + "\n"; }

}  // namespace corvlin::host
