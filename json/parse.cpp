#include "json/parse.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "json/location.hpp"
#include "json/writer.hpp"

namespace corvlin::json {

using simdjson::dom::element;
using simdjson::dom::element_type;

namespace {

DecodingError corrupted(std::string description) {
  return DecodingError{DecodingError::Kind::dataCorrupted, {}, std::move(description)};
}

constexpr std::string_view invalidJson = "The given data was not valid JSON: ";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// simdjson 3.0.1 reads "-0" as the integer 0 (losing the sign) and rejects integers written
// with more digits than 64 bits hold (1e30 as 31 digits), though both are plain JSON numbers
// within the range of a double. Such integer tokens get ".0" appended, which makes simdjson
// read them as doubles with the same value (an invalid token stays invalid: "01" becomes
// "01.0"). Returns the rewritten document, or nothing when no token needed it.
std::optional<std::string> rewriteIntegers(std::string_view bytes) {
  std::string out;
  bool changed = false;
  std::size_t copied = 0;
  bool inString = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const char c = bytes[i];
    if (inString) {
      if (c == '\\') {
        i += 2;
      } else {
        if (c == '"') inString = false;
        ++i;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      ++i;
      continue;
    }
    if (c != '-' && !isDigit(c)) {
      ++i;
      continue;
    }
    // A number token starts here (outside strings, a '-' or digit can start nothing else
    // that is valid); take the longest run of number characters.
    const std::size_t start = i;
    std::size_t digits = 0;
    bool integer = true;
    for (; i < bytes.size(); ++i) {
      const char d = bytes[i];
      if (isDigit(d)) {
        ++digits;
      } else if (d == '-' && i == start) {
      } else if (d == '.' || d == 'e' || d == 'E' || d == '+' || d == '-') {
        integer = false;
      } else {
        break;
      }
    }
    const std::string_view token = bytes.substr(start, i - start);
    // 19 digits hold every positive 64-bit integer but not every negative one: a negative
    // integer of 19 digits may lie below the 64-bit minimum, and reads as a double then too.
    const bool negative = token.front() == '-';
    if (integer && digits > 0 && (token == "-0" || digits > 19 || (negative && digits == 19))) {
      out.append(bytes.data() + copied, i - copied);
      out += ".0";
      copied = i;
      changed = true;
    }
  }
  if (!changed) return std::nullopt;
  out.append(bytes.data() + copied, bytes.size() - copied);
  return out;
}

// Checks what simdjson does not: nesting at most maxDepth, and no object that repeats a
// member name anywhere in the document.
// Equal names give equal words; most different names give different ones.
std::uint64_t fingerprint(std::string_view name) noexcept {
  const std::size_t n = name.size();
  std::uint64_t word = n;
  if (n >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, name.data(), 4);
    std::memcpy(&last, name.data() + n - 4, 4);
    return word ^ (std::uint64_t{first} << 8) ^ (std::uint64_t{last} << 32);
  }
  for (std::size_t i = 0; i < n; ++i)
    word ^= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * (i + 1));
  return word;
}

class StructureCheck {
 public:
  std::optional<DecodingError> check(element value, std::size_t depth) {
    const element_type type = value.type();
    if (type != element_type::OBJECT && type != element_type::ARRAY) return std::nullopt;
    if (depth > maxDepth) {
      return corrupted(std::string(invalidJson) + "it is nested deeper than " +
                       std::to_string(maxDepth) + " levels.");
    }
    if (type == element_type::ARRAY) {
      const simdjson::dom::array array = value.get_array().value_unsafe();
      for (element child : array) {
        if (auto error = check(child, depth + 1)) return error;
      }
      return std::nullopt;
    }
    const simdjson::dom::object object = value.get_object().value_unsafe();
    if (auto error = checkNames(object)) return error;
    for (auto field : object) {
      if (auto error = check(field.value, depth + 1)) return error;
    }
    return std::nullopt;
  }

 private:
  std::optional<DecodingError> checkNames(simdjson::dom::object object) {
    const std::size_t size = object.size();
    if (size < 2) return std::nullopt;
    if (size <= 16) {
      // Small objects (nearly all) compare each name with those before it, on the stack: by a
      // word made of its length and its first and last bytes, and in full only when those match.
      // (Trivial element types: the arrays are left uninitialised, not cleared on every call.)
      std::array<const char*, 16> names;     // NOLINT(*-member-init)
      std::array<std::size_t, 16> sizes;     // NOLINT(*-member-init)
      std::array<std::uint64_t, 16> prints;  // NOLINT(*-member-init)
      std::size_t count = 0;
      for (auto field : object) {
        const std::string_view name = field.key;
        const std::uint64_t print = fingerprint(name);
        for (std::size_t j = 0; j < count; ++j) {
          if (prints[j] == print && sizes[j] == name.size() &&
              std::memcmp(name.data(), names[j], name.size()) == 0) {
            return repeatedMember(name);
          }
        }
        prints[count] = print;
        sizes[count] = name.size();
        names[count++] = name.data();
      }
      return std::nullopt;
    }
    names_.clear();
    for (auto field : object) names_.push_back(field.key);
    std::sort(names_.begin(), names_.end());
    const auto repeat = std::adjacent_find(names_.begin(), names_.end());
    if (repeat != names_.end()) return repeatedMember(*repeat);
    return std::nullopt;
  }

  std::vector<std::string_view> names_;  // reused for every object
};

}  // namespace

Result<element, DecodingError> parse(simdjson::dom::parser& parser, std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return Failure{corrupted(std::string(invalidJson) + "it begins with a byte order mark.")};
  }
  std::optional<std::string> rewritten;
  if (bytes.find("-0") != std::string_view::npos) rewritten = rewriteIntegers(bytes);
  std::string_view input = rewritten ? std::string_view(*rewritten) : bytes;

  element root;
  simdjson::error_code error = parser.parse(input.data(), input.size()).get(root);
  if (error == simdjson::NUMBER_ERROR && !rewritten) {
    rewritten = rewriteIntegers(bytes);
    if (rewritten) {
      input = *rewritten;
      error = parser.parse(input.data(), input.size()).get(root);
    }
  }
  if (error) {
    std::string description(invalidJson);
    std::string_view message = simdjson::error_message(error);
    // Some of simdjson's messages end with a full stop of their own ("..., etc.").
    if (message.ends_with('.')) message.remove_suffix(1);
    description += message;
    if (error == simdjson::NUMBER_ERROR) {
      description += " (malformed, or beyond the range of a double)";
    }
    if (auto at = errorLocation(bytes, error)) {
      description +=
          ", at line " + std::to_string(at->line) + ", column " + std::to_string(at->column);
    }
    description += '.';
    return Failure{corrupted(std::move(description))};
  }
  // The element refers to the parser's own copy of the document, not to `input`.
  StructureCheck structure;
  if (auto failure = structure.check(root, 1)) return Failure{std::move(*failure)};
  return root;
}

Result<double, DecodingError> parseNumber(std::string_view text) {
  simdjson::dom::parser parser;
  auto value = parse(parser, text);
  if (!value) return Failure{std::move(value).error()};
  double number = 0;
  if (value.value().get_double().get(number) != simdjson::SUCCESS) {
    return Failure{corrupted("The given data is not a number.")};
  }
  return number;
}

}  // namespace corvlin::json
