// Writing the coded form: value encoders and the keyed encoding container over a key set, on
// the one compact writer. A value the form cannot hold fails with its coding path.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "json/coding_key.hpp"
#include "json/decoding.hpp"
#include "json/error.hpp"
#include "json/writer.hpp"

namespace corvlin::json {

// Nothing, or why the value could not be written (the writer's output is then to be dropped).
using EncodeStatus = std::optional<EncodingError>;

EncodingError invalidValue(const PathNode* at, std::string description);

// Writes one value of type T: `static EncodeStatus write(Writer&, const T&, const PathNode*)`.
template <class T>
struct ValueEncoder;

template <>
struct ValueEncoder<std::string> {
  // Fails for text that is not valid UTF-8.
  static EncodeStatus write(Writer& writer, const std::string& text, const PathNode* at);
};

template <>
struct ValueEncoder<double> {
  // Fails for infinities and NaN, which JSON cannot hold.
  static EncodeStatus write(Writer& writer, double value, const PathNode* at);
};

template <>
struct ValueEncoder<bool> {
  static EncodeStatus write(Writer& writer, bool value, const PathNode*) {
    writer.boolean(value);
    return std::nullopt;
  }
};

template <class T>
struct ValueEncoder<std::vector<T>> {
  static EncodeStatus write(Writer& writer, const std::vector<T>& items, const PathNode* at) {
    writer.beginArray();
    for (std::size_t index = 0; index < items.size(); ++index) {
      const PathNode node = PathNode::item(at, index);
      if (auto error = ValueEncoder<T>::write(writer, items[index], &node)) return error;
    }
    writer.endArray();
    return std::nullopt;
  }
};

// A keyed container over one key set, writing members in the order handed to it.
template <CodingKey Key>
class KeyedEncodingContainer {
 public:
  KeyedEncodingContainer(Writer& writer, const PathNode* at) : writer_(writer), at_(at) {
    writer_.beginObject();
  }
  void finish() { writer_.endObject(); }

  template <class T>
  EncodeStatus encode(Key key, const T& value) {
    const PathNode node = PathNode::member(at_, stringValue(key));
    writer_.plainKey(stringValue(key));
    return ValueEncoder<T>::write(writer_, value, &node);
  }

  // Stores nothing at all (no key, no null) when the value is absent.
  template <class T>
  EncodeStatus encodeIfPresent(Key key, const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return encode(key, *value);
  }

 private:
  Writer& writer_;
  const PathNode* at_;
};

}  // namespace corvlin::json
