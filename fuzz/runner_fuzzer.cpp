// Arbitrary bytes as the extension's standard input: every line gets exactly one answer line,
// each a JSON object holding "presentations" or an "error" of a known kind, and the loop keeps
// serving: a valid request sent after whatever came before is still answered with presentations.
// In an input that begins with a vertical tab (0x0B, never JSON), each later one (up to three)
// becomes a run of spaces just short of the line bound, so that inputs of a few bytes reach
// lines at, around and far beyond it (the marker keeps these slow runs to a share of inputs); the
// input is fed through serve()'s reader as it is made, never held whole, so a run under
// -malloc_limit_mb shows that no line is held either.
#include <simdjson.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extension/runner.hpp"
#include "extension/widget.hpp"
#include "fuzz_check.hpp"
#include "model/coding.hpp"

namespace {

using corvlin::fuzz::require;

constexpr std::string_view validRequest =
    R"({"contentState":{"title":"Still serving","actions":[{"actionId":"ok","label":"OK"}]},)"
    R"("now":1767225510})";

// The lines std::getline sees: each '\n' ends one, and bytes after the last '\n' make one more.
std::size_t lineCount(std::string_view input) {
  std::size_t lines = 0;
  for (char c : input) lines += c == '\n' ? 1 : 0;
  if (!input.empty() && input.back() != '\n') ++lines;
  return lines;
}

bool isKnownKind(std::string_view kind) {
  return kind == "keyNotFound" || kind == "valueNotFound" || kind == "typeMismatch" ||
         kind == "dataCorrupted";
}

void checkAnswer(simdjson::dom::parser& parser, std::string_view line) {
  auto parsed = corvlin::json::parse(parser, line);
  require(parsed.ok(), "an answer line is JSON", line);
  simdjson::dom::object answer;
  require(parsed.value().get_object().get(answer) == simdjson::SUCCESS, "an answer is an object",
          line);
  require(answer.size() == 1, "an answer holds one member", line);
  simdjson::dom::element part;
  if (answer["presentations"].get(part) == simdjson::SUCCESS) return;
  require(answer["error"].get(part) == simdjson::SUCCESS, "an answer is presentations or error",
          line);
  std::string_view kind;
  require(part["kind"].get(kind) == simdjson::SUCCESS && isKnownKind(kind),
          "an error names a known kind", line);
}

}  // namespace

// How long a run of spaces one vertical tab becomes, and how many tabs are expanded.
constexpr std::size_t runBytes = corvlin::maxRequestLineBytes - 48;
constexpr int maxRuns = 3;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  const bool expands = !input.empty() && input.front() == '\v';
  if (expands) input.erase(0, 1);
  if (!input.empty() && input.back() != '\n') input += '\n';
  input += validRequest;
  input += '\n';

  // The stream serve() reads: `input` with its first tabs expanded, made as it is read.
  std::size_t at = 0;
  std::size_t run = 0;  // spaces of the current run still to give
  int runs = 0;
  const corvlin::ReadSome read =
      [&](char* buffer, std::size_t room) -> corvlin::Result<std::size_t, std::string> {
    std::size_t filled = 0;
    while (filled < room && (run > 0 || at < input.size())) {
      if (run > 0) {
        const std::size_t n = std::min(run, room - filled);
        std::fill_n(buffer + filled, n, ' ');
        filled += n;
        run -= n;
      } else if (expands && input[at] == '\v' && runs < maxRuns) {
        ++runs;
        ++at;
        run = runBytes;
      } else {
        buffer[filled++] = input[at++];
      }
    }
    return filled;
  };
  std::string answers;
  const corvlin::WriteAll write =
      [&](std::string_view bytes) -> corvlin::Result<std::size_t, std::string> {
    answers += bytes;
    return bytes.size();
  };
  const auto configuration = corvlin::CorvlinLiveActivityWidget{}.body();
  // The real clock is never read here: a request without "now" gets this fixed instant.
  const auto served =
      corvlin::serve(configuration, read, write, corvlin::fixedNow(corvlin::Instant{1767225510}));
  require(served.ok(), "serving from memory never fails");
  require(served.value() == lineCount(input), "one answer per request line");
  require(lineCount(answers) == lineCount(input), "one answer line per request line");
  require(answers.empty() || answers.back() == '\n', "every answer ends its line");

  simdjson::dom::parser parser;
  std::string_view rest = answers;
  std::string_view last;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    last = rest.substr(0, end);
    checkAnswer(parser, last);
    rest.remove_prefix(end + 1);
  }
  require(last.starts_with(R"({"presentations":)"), "the loop still serves a valid request", last);
  return 0;
}
