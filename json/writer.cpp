#include "json/writer.hpp"

#include <cstring>

namespace corvlin::json {

using detail::isPlain;
using detail::numberRoom;
using detail::writeNumber;

void Writer::grow(std::size_t bytes) {
  std::size_t size = out_.size() < 256 ? 256 : out_.size();
  while (size < length_ + bytes) size *= 2;
  out_.resize(size);
}

void Writer::reserve(std::size_t bytes) {
  if (out_.size() < bytes) out_.resize(bytes);
}

void Writer::raw(std::string_view bytes) {
  if (!bytes.empty()) std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
  length_ += bytes.size();
  needsComma_ = false;
}

std::string Writer::take() {
  out_.resize(length_);
  length_ = 0;
  needsComma_ = false;
  return std::move(out_);
}

// A string literal, preceded by a comma where one is due and followed by `after` unless it is
// '\0'.
void Writer::literal(std::string_view text, char after) {
  const std::size_t n = text.size();
  char* at = room(n + 4);
  *at = ',';  // kept only where one is due: no branch to mispredict
  at += needsComma_ ? 1 : 0;
  *at++ = '"';
  // Keys and most values are short: checked and copied in the same few words.
  const bool plain = n <= 16 ? detail::copyShortPlain(at, text.data(), n) : isPlain(text);
  if (!plain) return escapedLiteral(text, after);
  if (n > 16) std::memcpy(at, text.data(), n);
  at += n;
  *at++ = '"';
  if (after != '\0') *at++ = after;
  length_ = static_cast<std::size_t>(at - out_.data());
}

bool Writer::isPlainText(std::string_view text) noexcept { return isPlain(text); }

void Writer::escapedLiteral(std::string_view text, char after) {
  std::string escaped;
  if (needsComma_) escaped += ',';
  appendString(escaped, text);
  if (after != '\0') escaped += after;
  std::memcpy(room(escaped.size()), escaped.data(), escaped.size());
  length_ += escaped.size();
}

void Writer::key(std::string_view name) {
  literal(name, ':');
  needsComma_ = false;
}

void Writer::string(std::string_view value) {
  literal(value, '\0');
  needsComma_ = true;
}

void Writer::number(double value) {
  char* at = room(numberRoom + 1);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  length_ = static_cast<std::size_t>(writeNumber(at, value) - out_.data());
  needsComma_ = true;
}

void Writer::boolean(bool value) {
  const std::string_view word = value ? "true" : "false";
  char* at = room(word.size() + 1);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  std::memcpy(at, word.data(), word.size());
  length_ = static_cast<std::size_t>(at + word.size() - out_.data());
  needsComma_ = true;
}

void Writer::null() {
  char* at = room(5);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  std::memcpy(at, "null", 4);  // NOLINT(*-not-null-terminated-result): JSON, not a C string
  length_ = static_cast<std::size_t>(at + 4 - out_.data());
  needsComma_ = true;
}

}  // namespace corvlin::json
