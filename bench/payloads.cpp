#include "bench/payloads.hpp"

#include <simdjson.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "json/writer.hpp"
#include "model/coding.hpp"

namespace corvlin::bench {

namespace {

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "bench: %s\n", message.c_str());
  std::abort();
}

// Words repeated until `length` bytes; the last one may be cut.
std::string prose(std::size_t length) {
  static constexpr std::string_view words =
      "Courier is 2 km away and turning onto Elm Street, the van is blue. ";
  std::string out;
  out.reserve(length);
  while (out.size() < length) out.append(words.substr(0, length - out.size()));
  return out;
}

}  // namespace

std::string dataFile(std::string_view name) {
  const std::string path = std::string(CORVLIN_BENCH_DATA) + "/" + std::string(name);
  std::ifstream in(path, std::ios::binary);
  if (!in) fail("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string defaultActivityRequest() {
  std::string line = dataFile("../../host/samples/default-activity.json");
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

ContentState defaultActivityState() {
  simdjson::dom::parser parser;
  auto root = json::parse(parser, defaultActivityRequest());
  if (!root) fail("the default activity does not parse");
  auto state = decodeContentState(root.value()["contentState"].value());
  if (!state) fail("the default activity does not decode");
  return std::move(state).value();
}

Instant defaultActivityNow() {
  simdjson::dom::parser parser;
  auto root = json::parse(parser, defaultActivityRequest());
  double seconds = 0;
  if (!root || root.value()["now"].get_double().get(seconds) != simdjson::SUCCESS) {
    fail("the default activity pins no now");
  }
  return Instant{seconds};
}

std::string encoded(const ContentState& state) {
  auto coded = encodeContentState(state);
  if (!coded) fail("a sample state cannot be coded");
  return std::move(coded).value();
}

std::string requestLine(const ContentState& state, Instant now) {
  std::string line = "{\"contentState\":" + encoded(state) + ",\"now\":";
  json::appendNumber(line, now.timeIntervalSince1970);
  line += '}';
  return line;
}

std::string textBytes(const ContentState& state) {
  std::string bytes = state.title;
  for (const auto* text : {&state.body, &state.detail, &state.tone, &state.timerDirection}) {
    if (*text) bytes += **text;
  }
  if (state.actions) {
    for (const auto& action : *state.actions) bytes += action.actionId + action.label;
  }
  return bytes;
}

ContentState nearBudgetState() {
  ContentState state = defaultActivityState();
  state.title = "Order 42 from Corner Bakery is on its way to 221B Baker Street";
  state.detail = "Leave at the door. \"Ring twice\", the note says.\nGate code 4711. " + prose(900);
  state.actions.emplace();
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i + 1);
    state.actions->push_back({"action-" + n, "Do thing number " + n + " now",
                              i % 3 == 0 ? std::optional(true) : std::nullopt});
  }
  // Grow the body until the coded form is as close to the budget as it gets.
  state.body = "";
  const std::size_t base = encoded(state).size();
  state.body = prose(payloadBudget - 16 - base);
  if (encoded(state).size() > payloadBudget) fail("the near-budget payload is over budget");
  return state;
}

ContentState decomposedState() {
  ContentState state = defaultActivityState();
  // U+0301 COMBINING ACUTE ACCENT, U+0308 COMBINING DIAERESIS, U+0300 COMBINING GRAVE ACCENT.
  state.title =
      "Commande 42 : livre\xCC\x81"
      "e a\xCC\x80 Zu\xCC\x88rich";
  state.body = "Le coursier est a\xCC\x80 2 km, rue de l'E\xCC\x81glise";
  state.actions = std::vector<ActionSpec>{{"cancel", "Annuler la commande", true},
                                          {"call", "Appeler le livreur", std::nullopt}};
  return state;
}

ContentState precomposedState() {
  ContentState state = decomposedState();
  state.title =
      "Commande 42 : livr\xC3\xA9"
      "e \xC3\xA0 Z\xC3\xBCrich";
  state.body = "Le coursier est \xC3\xA0 2 km, rue de l'\xC3\x89glise";
  return state;
}

ContentState stateWithBody(std::size_t length) {
  ContentState state = defaultActivityState();
  state.body = prose(length);
  return state;
}

ContentState stateWithActions(std::size_t count) {
  // Plain spaces and tabs, NO-BREAK SPACE and EM SPACE: all trimmed from an id.
  static constexpr std::array<std::string_view, 4> blanks = {" ", "\t ", "\xC2\xA0",
                                                             " \xE2\x80\x83 "};
  // The same usable actions whatever the count, so that answers compare in size.
  static constexpr std::array<std::string_view, 4> usable = {"call", "cancel", "track", "help"};
  ContentState state = defaultActivityState();
  state.actions.emplace();
  state.actions->reserve(count);
  const std::size_t usableCount = count < usable.size() ? count : usable.size();
  const std::size_t blankCount = count - usableCount;
  for (std::size_t i = 0; i < count; ++i) {
    const bool blank = i < blankCount;
    const std::string_view id = blank ? blanks[i % blanks.size()] : usable[i - blankCount];
    std::string label = blank ? "Action " + std::to_string(i) : "Do " + std::string(id);
    state.actions->push_back({std::string(id), std::move(label), std::nullopt});
  }
  return state;
}

}  // namespace corvlin::bench
