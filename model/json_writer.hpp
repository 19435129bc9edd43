// A compact JSON writer: members in the order written, shortest round-trip numbers.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace corvlin::json {

// Appends `text` as a JSON string literal: quotes and backslashes escaped, control characters
// as short escapes or \u00XX, non-ASCII written as raw UTF-8. A byte that is not part of valid
// UTF-8 is written as U+FFFD, so that the output is always valid JSON.
void appendString(std::string& out, std::string_view text);

// Appends a finite double in its shortest round-trip form; integral values have no fraction.
// The caller checks finiteness: JSON has no form for infinities or NaN (as a last defence a
// non-finite value is written as null, never as invalid JSON). -0.0 is written "-0".
void appendNumber(std::string& out, double value);

// Writes values one after another, placing commas and colons itself.
class Writer {
 public:
  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  void key(std::string_view name);
  void string(std::string_view text);
  void number(double value);  // finite only
  void boolean(bool value);
  void null();

  const std::string& str() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void separate();

  std::string out_;
  bool needsComma_ = false;
};

}  // namespace corvlin::json
