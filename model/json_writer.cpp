#include "model/json_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace corvlin::json {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// Length of the valid UTF-8 sequence at the start of `s` (s non-empty, s[0] >= 0x80),
// or 0 when it is not a valid sequence (bad lead, bad continuation, overlong, surrogate,
// beyond U+10FFFF, or cut short).
std::size_t validSequenceLength(const unsigned char* s, std::size_t n) noexcept {
  const unsigned char lead = s[0];
  auto cont = [&](std::size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) return cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (lead == 0xE0 && s[1] < 0xA0) return 0;  // overlong
    if (lead == 0xED && s[1] > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (lead == 0xF0 && s[1] < 0x90) return 0;  // overlong
    if (lead == 0xF4 && s[1] > 0x8F) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

void appendString(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t run = 0;  // start of the pending stretch copied verbatim
  std::size_t i = 0;
  auto flushRun = [&](std::size_t end) { out.append(text.data() + run, end - run); };
  while (i < n) {
    const unsigned char c = s[i];
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t length = validSequenceLength(s + i, n - i);
      if (length != 0) {
        i += length;  // raw UTF-8, copied as it is
        continue;
      }
      // Not UTF-8: JSON text cannot hold it; write U+FFFD instead of the byte.
      flushRun(i);
      out += "\xEF\xBF\xBD";
      run = ++i;
      continue;
    }
    flushRun(i);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += hexDigits[c >> 4];
        out += hexDigits[c & 0x0F];
        break;
    }
    run = ++i;
  }
  flushRun(n);
  out += '"';
}

void appendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    // Not representable in JSON; callers check first. Never emit invalid JSON.
    out += "null";
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void Writer::separate() {
  if (needsComma_) out_ += ',';
}

void Writer::beginObject() {
  separate();
  out_ += '{';
  needsComma_ = false;
}

void Writer::endObject() {
  out_ += '}';
  needsComma_ = true;
}

void Writer::beginArray() {
  separate();
  out_ += '[';
  needsComma_ = false;
}

void Writer::endArray() {
  out_ += ']';
  needsComma_ = true;
}

void Writer::key(std::string_view name) {
  separate();
  appendString(out_, name);
  out_ += ':';
  needsComma_ = false;
}

void Writer::string(std::string_view text) {
  separate();
  appendString(out_, text);
  needsComma_ = true;
}

void Writer::number(double value) {
  separate();
  appendNumber(out_, value);
  needsComma_ = true;
}

void Writer::boolean(bool value) {
  separate();
  out_ += value ? "true" : "false";
  needsComma_ = true;
}

void Writer::null() {
  separate();
  out_ += "null";
  needsComma_ = true;
}

}  // namespace corvlin::json
