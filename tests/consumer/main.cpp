// Decodes the worked example with the installed headers and libraries, writes it back, and
// asks the installed widget for its presentations.
#include <corvlin/extension/runner.hpp>
#include <corvlin/model/coding.hpp>
#include <iostream>

int main() {
  const auto state = corvlin::decodeContentState(
      R"({"title":"Order 42 is on its way","body":"Courier is 2 km away","tone":"warning",)"
      R"("progress":0.4,"timerDirection":"down","timerEnd":1767225600,"actions":[)"
      R"({"actionId":"call","label":"Call","requiresAuth":true},)"
      R"({"actionId":"map","label":"Map"}]})");
  if (!state) {
    std::cerr << corvlin::errorJson(state.error()) << "\n";
    return 1;
  }
  const auto coded = corvlin::encodeContentState(state.value());
  if (!coded) return 1;
  std::cout << coded.value() << "\n";
  const std::string answer =
      corvlin::answer(R"({"now":1767225510,"contentState":)" + coded.value() + "}",
                      [] { return corvlin::Instant{0}; });
  if (answer.rfind("{\"presentations\":", 0) != 0) {
    std::cerr << answer << "\n";
    return 1;
  }
  return 0;
}
