// Arbitrary bytes as a coded content state and as coded attributes: decoding either gives a
// record or a coder error, never a crash; a decoded record writes back to JSON that decodes to
// an equal record, and writing that again gives the same bytes. A decoded state's texts
// decompose as utf8proc decomposes them, and the state with its texts in NFC or in NFD is equal
// to it and hashes alike.
#include <utf8proc.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "model/coding.hpp"
#include "model/unicode.hpp"

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

// The text in a normalization form by utf8proc's whole-text mapping (the plain version).
std::string mapped(const std::string& text, int options) {
  utf8proc_uint8_t* out = nullptr;
  const auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                              static_cast<utf8proc_ssize_t>(text.size()), &out,
                              static_cast<utf8proc_option_t>(UTF8PROC_STABLE | options));
  require(n >= 0, "decoded text is valid UTF-8", text);
  std::string result(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
  std::free(out);
  return result;
}

void checkCanonicalForms(const corvlin::ContentState& state) {
  for (const std::string* text : {&state.title, state.body ? &*state.body : nullptr}) {
    if (text == nullptr) continue;
    std::string decomposed(corvlin::unicode::maxDecomposedSize(text->size()), '\0');
    const std::size_t n = corvlin::unicode::decompose(*text, decomposed.data());
    require(n != corvlin::unicode::notUtf8, "a decoded text decomposes", *text);
    decomposed.resize(n);
    require(decomposed == mapped(*text, UTF8PROC_DECOMPOSE), "the decomposition is utf8proc's",
            *text);
  }
  for (const int form : {UTF8PROC_COMPOSE, UTF8PROC_DECOMPOSE}) {
    corvlin::ContentState other = state;
    other.title = mapped(state.title, form);
    if (other.body) other.body = mapped(*other.body, form);
    require(other == state && corvlin::hashValue(other) == corvlin::hashValue(state),
            "a state in another normalization form is equal and hashes alike", state.title);
  }
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
  if (const auto state = corvlin::decodeContentState(bytes)) checkCanonicalForms(state.value());
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
