// A compact JSON writer: members in the order written, shortest round-trip numbers.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "json/short_copy.hpp"

namespace corvlin::json {

// Appends `text` as a JSON string literal: quotes and backslashes escaped, control characters
// as short escapes or \u00XX, non-ASCII written as raw UTF-8. A byte that is not part of valid
// UTF-8 is written as U+FFFD (as repairUtf8 in utf8.hpp does), so that the output is always
// valid JSON.
void appendString(std::string& out, std::string_view text);

// Appends a finite double in its shortest round-trip form; integral values have no fraction.
// The caller checks finiteness: JSON has no form for infinities or NaN (as a last defence a
// non-finite value is written as null, never as invalid JSON). -0.0 is written "-0".
void appendNumber(std::string& out, double value);

// Writes values one after another, placing commas and colons itself. Output goes straight into
// a buffer that grows by doubling; the document is its first length_ bytes.
class Writer {
 public:
  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }
  // A member whose value is an object or a list, its name and the bracket written as one.
  void beginObject(std::string_view name) { openMember(name, '{'); }
  void beginArray(std::string_view name) { openMember(name, '['); }
  // An object and its first member, plain as for plainMember, written as one.
  void beginObjectWithMember(std::string_view name, std::string_view value);
  // The end of a list that is the last member of its object, and of the object.
  void endArrayAndObject() {
    std::memcpy(room(2), "]}", 2);
    length_ += 2;
    needsComma_ = true;
  }
  void key(std::string_view name);
  void string(std::string_view text);
  // The same for a text the program itself holds and knows to need no escaping (a key set's
  // names, an enumeration's names: printable ASCII without quote or backslash), which is then
  // copied unchecked. Debug builds check it.
  void plainKey(std::string_view name) { plainLiteral(name, ':', false); }
  void plainString(std::string_view text) { plainLiteral(text, '\0', true); }
  // A whole member written as one, with one check for room and one comma: "name" and its value.
  // The name, and a plain value, as for plainKey.
  void plainMember(std::string_view name, std::string_view value);
  void numberMember(std::string_view name, double value);  // finite only, as for number()
  void booleanMember(std::string_view name, bool value);
  void nullMember(std::string_view name);
  // Number members one after another, written as one.
  struct NumberMember {
    std::string_view name;
    double value;
  };
  void numberMembers(std::initializer_list<NumberMember> members);
  void number(double value);  // finite only
  void boolean(bool value);
  void null();

  // Room for `bytes` of output, so that a large document is not copied as it grows.
  void reserve(std::size_t bytes);

  // Bytes written as they are, with no comma before them; what follows starts afresh (for
  // documents written one after another into one buffer, such as JSON lines).
  void raw(std::string_view bytes);
  // Drops everything from `size` on (a size that str() had), keeping the buffer's room.
  void truncate(std::size_t size) {
    length_ = size < length_ ? size : length_;
    needsComma_ = false;
  }
  std::size_t size() const { return length_; }

  std::string_view str() const { return {out_.data(), length_}; }
  std::string take();

 private:
  void open(char bracket) {
    char* at = room(2);
    *at = ',';  // kept only where one is due: no branch to mispredict
    at += needsComma_ ? 1 : 0;
    *at++ = bracket;
    length_ = static_cast<std::size_t>(at - out_.data());
    needsComma_ = false;
  }
  void openMember(std::string_view name, char bracket);
  // Room for a member named `name` whose value takes at most `valueBytes`, the comma where one
  // is due and "name":; returns where the value goes.
  char* startMember(std::string_view name, std::size_t valueBytes);
  // Ends a write at `end`, a comma due after it or not.
  void finish(char* end, bool commaAfter);
  void close(char bracket) {
    *room(1) = bracket;
    ++length_;
    needsComma_ = true;
  }
  // Where the next `bytes` bytes go, after growing the buffer when needed; the caller
  // advances length_ by what it writes.
  char* room(std::size_t bytes) {
    if (out_.size() - length_ < bytes) grow(bytes);
    return out_.data() + length_;
  }
  void grow(std::size_t bytes);
  void literal(std::string_view text, char after);
  void plainLiteral(std::string_view text, char after, bool commaAfter);
  static bool isPlainText(std::string_view text) noexcept;  // for debug builds' check
  void escapedLiteral(std::string_view text, char after);

  std::string out_;
  std::size_t length_ = 0;
  bool needsComma_ = false;
};

namespace detail {

// Copies `text` to `at` and returns its end: short texts (nearly all) in two overlapping words
// rather than a call of memcpy. Inline, so that a length the compiler knows becomes fixed moves.
inline char* copyText(char* at, std::string_view text) noexcept {
  const std::size_t n = text.size();
  const char* from = text.data();
  if (n >= 8 && n <= 16) {
    words::storeEnds(at, n, words::loadEnds<std::uint64_t>(from, n));
  } else if (n >= 4 && n < 8) {
    words::storeEnds(at, n, words::loadEnds<std::uint32_t>(from, n));
  } else if (n != 0) {
    std::memcpy(at, from, n);
  }
  return at + n;
}

// Writes a double's JSON form at `at` (at least numberRoom bytes of room) and returns its end.
constexpr std::size_t numberRoom = 32;
char* writeNumber(char* at, double value) noexcept;

// Writes "text" at `at` and returns its end.
inline char* copyQuoted(char* at, std::string_view text) noexcept {
  *at++ = '"';
  at = copyText(at, text);
  *at++ = '"';
  return at;
}

// Writes "name": at `at` and returns its end.
inline char* copyKey(char* at, std::string_view name) noexcept {
  at = copyQuoted(at, name);
  *at++ = ':';
  return at;
}

}  // namespace detail

inline void Writer::plainLiteral(std::string_view text, char after, bool commaAfter) {
  assert(isPlainText(text));
  char* at = room(text.size() + 4);
  *at = ',';  // kept only where one is due: no branch to mispredict
  at += needsComma_ ? 1 : 0;
  at = detail::copyQuoted(at, text);
  *at = after;
  finish(at + (after != '\0' ? 1 : 0), commaAfter);
}

inline char* Writer::startMember(std::string_view name, std::size_t valueBytes) {
  assert(isPlainText(name));
  char* at = room(name.size() + 4 + valueBytes);
  *at = ',';  // kept only where one is due: no branch to mispredict
  at += needsComma_ ? 1 : 0;
  return detail::copyKey(at, name);
}

inline void Writer::finish(char* end, bool commaAfter) {
  length_ = static_cast<std::size_t>(end - out_.data());
  needsComma_ = commaAfter;
}

inline void Writer::openMember(std::string_view name, char bracket) {
  char* at = startMember(name, 1);
  *at++ = bracket;
  finish(at, false);
}

inline void Writer::plainMember(std::string_view name, std::string_view value) {
  assert(isPlainText(value));
  finish(detail::copyQuoted(startMember(name, value.size() + 2), value), true);
}

inline void Writer::numberMember(std::string_view name, double value) {
  finish(detail::writeNumber(startMember(name, detail::numberRoom), value), true);
}

inline void Writer::nullMember(std::string_view name) {
  char* at = startMember(name, 4);
  std::memcpy(at, "null", 4);  // NOLINT(*-not-null-terminated-result): JSON, not a C string
  finish(at + 4, true);
}

inline void Writer::booleanMember(std::string_view name, bool value) {
  char* at = startMember(name, 5);
  // "true" or "fals" in one word, then the "e" kept only for false.
  std::memcpy(at, value ? "true" : "fals", 4);
  at[4] = 'e';
  finish(at + (value ? 4 : 5), true);
}

inline void Writer::beginObjectWithMember(std::string_view name, std::string_view value) {
  assert(isPlainText(name) && isPlainText(value));
  char* at = room(name.size() + value.size() + 7);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  *at++ = '{';
  finish(detail::copyQuoted(detail::copyKey(at, name), value), true);
}

inline void Writer::numberMembers(std::initializer_list<NumberMember> members) {
  if (members.size() == 0) return;
  std::size_t bytes = 0;
  for (const NumberMember& member : members) {
    assert(isPlainText(member.name));
    bytes += member.name.size() + 4 + detail::numberRoom;
  }
  char* at = room(bytes);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  bool first = true;
  for (const NumberMember& member : members) {
    *at = ',';
    at += first ? 0 : 1;
    first = false;
    at = detail::writeNumber(detail::copyKey(at, member.name), member.value);
  }
  finish(at, true);
}

}  // namespace corvlin::json
