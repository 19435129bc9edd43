#include "json/location.hpp"

#include <string>
#include <utility>

#include "json/utf8.hpp"

namespace corvlin::json {
namespace {

namespace od = simdjson::ondemand;
using simdjson::error_code;

// Deeper than this, the reading gives up: well below the on-demand parser's own bound, which
// it asserts rather than reports.
constexpr std::size_t maxWalkDepth = 512;

// Reads every value below `value`, so that the on-demand parser stops where the document
// breaks.
template <class Value>
error_code walk(Value& value, std::size_t depth) {
  if (depth > maxWalkDepth) return simdjson::DEPTH_ERROR;
  od::json_type type{};
  if (auto e = value.type().get(type)) return e;
  switch (type) {
    case od::json_type::array: {
      od::array array;
      if (auto e = value.get_array().get(array)) return e;
      for (auto element : array) {
        od::value child;
        if (auto e = element.get(child)) return e;
        if (auto e = walk(child, depth + 1)) return e;
      }
      return simdjson::SUCCESS;
    }
    case od::json_type::object: {
      od::object object;
      if (auto e = value.get_object().get(object)) return e;
      for (auto member : object) {
        od::field field;
        if (auto e = std::move(member).get(field)) return e;
        std::string_view key;
        if (auto e = field.unescaped_key().get(key)) return e;
        od::value child = field.value();
        if (auto e = walk(child, depth + 1)) return e;
      }
      return simdjson::SUCCESS;
    }
    case od::json_type::number: {
      od::number number;
      return value.get_number().get(number);
    }
    case od::json_type::string: {
      std::string_view text;
      return value.get_string().get(text);
    }
    case od::json_type::boolean: {
      bool flag = false;
      return value.get_bool().get(flag);
    }
    case od::json_type::null: {
      bool null = false;
      if (auto e = value.is_null().get(null)) return e;
      return null ? simdjson::SUCCESS : simdjson::N_ATOM_ERROR;
    }
  }
  return simdjson::INCORRECT_TYPE;
}

// The document is read as the one element of a list: the on-demand parser checks a root
// object's or list's closing bracket before reading it, and would place a fault there at the
// start, where its element's is found where it lies.
std::optional<std::size_t> faultOffset(std::string_view bytes) {
  std::string wrapped;
  wrapped.reserve(bytes.size() + 2);
  wrapped += '[';
  wrapped += bytes;
  wrapped += ']';
  const simdjson::padded_string padded(wrapped);
  od::parser parser;
  od::document document;
  if (parser.iterate(padded).get(document)) return std::nullopt;
  const error_code fault = walk(document, 0);
  if (fault == simdjson::DEPTH_ERROR) return std::nullopt;  // given up before the fault
  const char* at = nullptr;
  // Past the last token, the fault is where the document ends; a document read whole with a
  // token left after it has content trailing there.
  if (document.current_location().get(at)) {
    return fault ? std::optional(bytes.size()) : std::nullopt;
  }
  const auto offset = static_cast<std::size_t>(at - padded.data());
  if (offset == 0) return std::nullopt;
  return offset - 1 < bytes.size() ? offset - 1 : bytes.size();
}

}  // namespace

TextLocation locationOf(std::string_view bytes, std::size_t offset) {
  TextLocation location;
  const std::size_t end = offset < bytes.size() ? offset : bytes.size();
  for (std::size_t i = 0; i < end; ++i) {
    if (bytes[i] == '\n') {
      ++location.line;
      location.column = 1;
    } else if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
      ++location.column;
    }
  }
  return location;
}

std::optional<TextLocation> errorLocation(std::string_view bytes, error_code error) {
  // Too deep is a fault of the whole document, not of a place in it.
  if (error == simdjson::DEPTH_ERROR) return std::nullopt;
  const std::optional<std::size_t> offset =
      error == simdjson::UTF8_ERROR ? firstInvalidUtf8(bytes) : faultOffset(bytes);
  if (!offset) return std::nullopt;
  return locationOf(bytes, *offset);
}

}  // namespace corvlin::json
