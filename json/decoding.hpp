// Reading the coded form: coding paths under construction, value coders, and the keyed
// decoding container over a key set. Every JSON form of the project reads through these, so
// that every failure carries one of the same kinds and a real coding path.
#pragma once

#include <simdjson.h>

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/coding_key.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "json/try.hpp"

namespace corvlin::json {

using simdjson::dom::element;
using simdjson::dom::element_type;

// One step of the path to the value being read, kept on the stack; turned into a CodingPath
// only when a failure needs it. The root's node is nullptr.
struct PathNode {
  const PathNode* parent = nullptr;
  std::string_view key;  // when !isIndex
  std::size_t index = 0;
  bool isIndex = false;

  static PathNode member(const PathNode* parent, std::string_view key) {
    return {parent, key, 0, false};
  }
  static PathNode item(const PathNode* parent, std::size_t index) {
    return {parent, {}, index, true};
  }
};

CodingPath pathOf(const PathNode* node);

// The failures, in the host coder's wording.
DecodingError typeMismatch(const PathNode* at, std::string_view expected, element_type found);
DecodingError keyNotFound(const PathNode* at, std::string_view key);  // `at`: the key's node
// The same for a key of the set `known` missing from `object`: with a hint when a member that no
// key reads is a misspelling of it (json/near_key.hpp), as in "found \"titel\"; did you mean
// \"title\"?".
DecodingError keyNotFound(const PathNode* at, std::string_view key, simdjson::dom::object object,
                          std::span<const std::string_view> known);
DecodingError valueNotFound(const PathNode* at, std::string_view expected);
DecodingError dataCorrupted(const PathNode* at, std::string description);

inline constexpr std::string_view objectTypeName = "Dictionary<String, Any>";
inline constexpr std::string_view arrayTypeName = "Array<Any>";

// Reads one value of type T: `static Result<T, DecodingError> read(element, const PathNode*)`
// and `static constexpr std::string_view typeName` (named in valueNotFound). Specialise it for
// a record to read the record wherever it appears (see coding.cpp).
template <class T>
struct ValueCoder;

template <>
struct ValueCoder<std::string> {
  static constexpr std::string_view typeName = "String";
  static Result<std::string, DecodingError> read(element value, const PathNode* at);
  static std::optional<DecodingError> readInto(element value, const PathNode* at, std::string& out);
};

template <>
struct ValueCoder<double> {
  static constexpr std::string_view typeName = "Double";
  static Result<double, DecodingError> read(element value, const PathNode* at);
  static std::optional<DecodingError> readInto(element value, const PathNode* at, double& out);
};

template <>
struct ValueCoder<bool> {
  static constexpr std::string_view typeName = "Bool";
  static Result<bool, DecodingError> read(element value, const PathNode* at);
  static std::optional<DecodingError> readInto(element value, const PathNode* at, bool& out);
};

// A non-negative whole number that fits 64 bits (an index, a count).
template <>
struct ValueCoder<std::uint64_t> {
  static constexpr std::string_view typeName = "UInt64";
  static Result<std::uint64_t, DecodingError> read(element value, const PathNode* at);
};

// A list of type `List`: every item read by `read(element, const PathNode*)`, its path ending in
// its index.
template <class List, class Read>
Result<List, DecodingError> decodeArrayAs(element value, const PathNode* at, Read read) {
  if (value.type() != element_type::ARRAY) {
    return Failure{typeMismatch(at, arrayTypeName, value.type())};
  }
  const simdjson::dom::array array = value.get_array().value_unsafe();
  List items;
  items.reserve(array.size());
  std::size_t index = 0;
  for (element item : array) {
    const PathNode node = PathNode::item(at, index++);
    CORVLIN_TRY(read_, read(item, &node));
    items.push_back(std::move(read_));
  }
  return items;
}

// The same as a `std::vector`.
template <class Read>
auto decodeArray(element value, const PathNode* at, Read read)
    -> Result<std::vector<typename decltype(read(value, at))::value_type>, DecodingError> {
  return decodeArrayAs<std::vector<typename decltype(read(value, at))::value_type>>(value, at,
                                                                                    read);
}

template <class T>
struct ValueCoder<std::vector<T>> {
  static constexpr std::string_view typeName = arrayTypeName;
  static Result<std::vector<T>, DecodingError> read(element value, const PathNode* at) {
    return decodeArray(value, at, &ValueCoder<T>::read);
  }
};

// Reads one value of type T into `out`: the failure, or nothing. Where the value coder offers
// `static std::optional<DecodingError> readInto(element, const PathNode*, T&)`, the value is
// built in place (a string reuses `out`'s room), with no result to move.
template <class T>
std::optional<DecodingError> readInto(element value, const PathNode* at, T& out) {
  if constexpr (requires { ValueCoder<T>::readInto(value, at, out); }) {
    return ValueCoder<T>::readInto(value, at, out);
  } else {
    auto read = ValueCoder<T>::read(value, at);
    if (!read) return std::move(read).error();
    out = std::move(read).value();
    return std::nullopt;
  }
}

// A list read into `out`, every item in place by `readItem(element, const PathNode*, T&)`.
template <class T, class ReadItem>
std::optional<DecodingError> decodeArrayInto(element value, const PathNode* at, std::vector<T>& out,
                                             ReadItem readItem) {
  if (value.type() != element_type::ARRAY) return typeMismatch(at, arrayTypeName, value.type());
  const simdjson::dom::array array = value.get_array().value_unsafe();
  out.resize(array.size());
  std::size_t index = 0;
  for (element item : array) {
    const PathNode node = PathNode::item(at, index);
    if (auto failure = readItem(item, &node, out[index])) return failure;
    ++index;
  }
  return std::nullopt;
}

// A keyed container over one key set: one pass over the object's members finds the entry of
// every key (names matched exactly); members outside the key set are ignored.
template <CodingKey Key>
class KeyedDecodingContainer {
 public:
  static Result<KeyedDecodingContainer, DecodingError> make(element value, const PathNode* at) {
    if (value.type() != element_type::OBJECT) {
      return Failure{typeMismatch(at, objectTypeName, value.type())};
    }
    // (A named object: a range-for over value_unsafe() of a temporary would dangle.)
    const simdjson::dom::object object = value.get_object().value_unsafe();
    KeyedDecodingContainer container(at, object);
    for (auto field : object) {
      const auto key = codingKeyFromString<Key>(field.key);
      if (!key) continue;
      const std::size_t slot = position(*key);
      // Only reachable for an element that did not come from json::parse.
      if (container.present_[slot]) return Failure{repeatedMember(field.key)};
      container.present_[slot] = true;
      container.entries_[slot] = field.value;
    }
    return container;
  }

  // Whether the key is present with a value other than null.
  bool contains(Key key) const {
    const std::size_t slot = position(key);
    return present_[slot] && !entries_[slot].is_null();
  }

  // A required value: keyNotFound, valueNotFound (null), or what the reader finds wrong.
  template <class T>
  Result<T, DecodingError> decode(Key key) const {
    return decode(key, &ValueCoder<T>::read, ValueCoder<T>::typeName);
  }
  template <class Read>
  auto decode(Key key, Read read, std::string_view typeName = objectTypeName) const
      -> decltype(read(element(), nullptr)) {
    const PathNode node = PathNode::member(at_, stringValue(key));
    const std::size_t slot = position(key);
    if (!present_[slot]) return Failure{missing(&node, key)};
    if (entries_[slot].is_null()) return Failure{valueNotFound(&node, typeName)};
    return read(entries_[slot], &node);
  }

  // An optional value: absent when the key is missing or null.
  template <class T>
  Result<std::optional<T>, DecodingError> decodeIfPresent(Key key) const {
    return decodeIfPresent(key, &ValueCoder<T>::read);
  }
  template <class Read>
  auto decodeIfPresent(Key key, Read read) const
      -> Result<std::optional<typename decltype(read(element(), nullptr))::value_type>,
                DecodingError> {
    using T = typename decltype(read(element(), nullptr))::value_type;
    if (!contains(key)) return std::optional<T>();
    const PathNode node = PathNode::member(at_, stringValue(key));
    CORVLIN_TRY(value, read(entries_[position(key)], &node));
    return std::optional<T>(std::move(value));
  }

  // The same, read into `out` in place: the failure, or nothing. Without a reader, T's own
  // readInto; with one, `readItem(element, const PathNode*, T&)`.
  template <class T>
  std::optional<DecodingError> decodeInto(Key key, T& out) const {
    return decodeInto(
        key, out,
        [](element value, const PathNode* at, T& into) { return readInto(value, at, into); },
        ValueCoder<T>::typeName);
  }
  template <class T, class ReadItem>
  std::optional<DecodingError> decodeInto(Key key, T& out, ReadItem readItem,
                                          std::string_view typeName = objectTypeName) const {
    const PathNode node = PathNode::member(at_, stringValue(key));
    const std::size_t slot = position(key);
    if (!present_[slot]) return missing(&node, key);
    if (entries_[slot].is_null()) return valueNotFound(&node, typeName);
    return readItem(entries_[slot], &node, out);
  }

  // An optional value read in place: `out` is left absent when the key is missing or null.
  template <class T>
  std::optional<DecodingError> decodeIfPresentInto(Key key, std::optional<T>& out) const {
    return decodeIfPresentInto(key, out, [](element value, const PathNode* at, T& into) {
      return readInto(value, at, into);
    });
  }
  template <class T, class ReadItem>
  std::optional<DecodingError> decodeIfPresentInto(Key key, std::optional<T>& out,
                                                   ReadItem readItem) const {
    if (!contains(key)) {
      out.reset();
      return std::nullopt;
    }
    const PathNode node = PathNode::member(at_, stringValue(key));
    if (!out) out.emplace();
    return readItem(entries_[position(key)], &node, *out);
  }

  // The path of this container's object.
  const PathNode* path() const { return at_; }

 private:
  KeyedDecodingContainer(const PathNode* at, simdjson::dom::object object)
      : at_(at), object_(object) {}

  DecodingError missing(const PathNode* node, Key key) const {
    return keyNotFound(node, stringValue(key), object_, CodingKeyStrings<Key>::values);
  }

  const PathNode* at_;
  simdjson::dom::object object_;  // read again only to name a misspelt member
  std::array<element, codingKeyCount<Key>> entries_{};
  std::bitset<codingKeyCount<Key>> present_;
};

}  // namespace corvlin::json
