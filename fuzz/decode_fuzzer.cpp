// Arbitrary bytes as a coded content state and as coded attributes: decoding either gives a
// record or a coder error, never a crash; a decoded record writes back to JSON that decodes to
// an equal record, and writing that again gives the same bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "model/coding.hpp"

namespace {

using corvlin::fuzz::require;

template <class Decode, class Encode, class Equal>
void checkRoundTrip(std::string_view bytes, Decode decode, Encode encode, Equal equal) {
  const auto decoded = decode(bytes);
  if (!decoded) {
    const auto& error = decoded.error();
    require(!error.description.empty(), "a decoding error has a description");
    return;
  }
  const auto written = encode(decoded.value());
  require(written.ok(), "a decoded record can be written", bytes);
  const std::string& first = written.value();

  const auto again = decode(first);
  require(again.ok(), "what was written decodes", first);
  require(equal(again.value(), decoded.value()), "what was written decodes to an equal record",
          first);

  const auto rewritten = encode(again.value());
  require(rewritten.ok() && rewritten.value() == first, "writing again gives the same bytes",
          first);
}

// Equality takes -0 for 0; the coded form must not: nothing is converted on the way.
bool sameSign(const std::optional<double>& a, const std::optional<double>& b) {
  return !a || !b || std::signbit(*a) == std::signbit(*b);
}

bool sameSigns(const corvlin::ContentState& a, const corvlin::ContentState& b) {
  return sameSign(a.progress, b.progress) && sameSign(a.timerStart, b.timerStart) &&
         sameSign(a.timerEnd, b.timerEnd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkRoundTrip(
      bytes, [](std::string_view json) { return corvlin::decodeContentState(json); },
      [](const corvlin::ContentState& state) { return corvlin::encodeContentState(state); },
      [](const corvlin::ContentState& a, const corvlin::ContentState& b) {
        return a == b && sameSigns(a, b);
      });
  checkRoundTrip(
      bytes, [](std::string_view json) { return corvlin::decodeAttributes(json); },
      [](const corvlin::CorvlinLiveActivityAttributes& attributes) {
        return corvlin::encodeAttributes(attributes);
      },
      // The attributes have no equality of their own; both fields are plain strings.
      [](const corvlin::CorvlinLiveActivityAttributes& a,
         const corvlin::CorvlinLiveActivityAttributes& b) {
        return a.kind == b.kind && a.activityId == b.activityId;
      });
  return 0;
}
