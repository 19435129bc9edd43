// The coder standing in for the host's: a keyed container over a record's CodingKeys with
// decode / decodeIfPresent / encode / encodeIfPresent, and the records' reading and writing
// orders built on it.
#include "model/coding.hpp"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/coding_keys.hpp"
#include "model/json_writer.hpp"

namespace corvlin {

using simdjson::dom::element;
using simdjson::dom::element_type;
using Kind = DecodingError::Kind;

namespace {

// ---------------------------------------------------------------------------------------------
// Coding paths, kept as frames on the stack and turned into a CodingPath only on failure.

struct PathFrame {
  const PathFrame* parent = nullptr;
  std::string_view key;  // when !isIndex
  std::size_t index = 0;
  bool isIndex = false;
};

void materialize(const PathFrame* frame, CodingPath& out) {
  if (frame == nullptr) return;
  materialize(frame->parent, out);
  if (frame->isIndex) {
    out.emplace_back(frame->index);
  } else {
    out.emplace_back(std::string(frame->key));
  }
}

CodingPath pathOf(const PathFrame* frame) {
  CodingPath path;
  materialize(frame, path);
  return path;
}

DecodingError corrupted(std::string description) {
  return DecodingError{Kind::dataCorrupted, {}, std::move(description)};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Parsing a whole document.

namespace json {
namespace {

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
    if (integer && digits > 0 && (token == "-0" || digits > 19)) {
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

std::string repeatedName(std::string_view name) {
  std::string description = "Repeated member name ";
  appendString(description, name);
  description += '.';
  return description;
}

// Checks what simdjson does not: nesting at most maxDepth, and no object that repeats a
// member name anywhere in the document.
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
      // Small objects (nearly all) compare each name with those before it, on the stack.
      std::array<std::string_view, 16> names;
      std::size_t count = 0;
      for (auto field : object) {
        for (std::size_t j = 0; j < count; ++j) {
          if (field.key == names[j]) return corrupted(repeatedName(field.key));
        }
        names[count++] = field.key;
      }
      return std::nullopt;
    }
    names_.clear();
    for (auto field : object) names_.push_back(field.key);
    std::sort(names_.begin(), names_.end());
    const auto repeat = std::adjacent_find(names_.begin(), names_.end());
    if (repeat != names_.end()) return corrupted(repeatedName(*repeat));
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
    description += simdjson::error_message(error);
    if (error == simdjson::NUMBER_ERROR) {
      description += " (malformed, or beyond the range of a double)";
    }
    description += '.';
    return Failure{corrupted(std::move(description))};
  }
  // The element refers to the parser's own copy of the document, not to `input`.
  StructureCheck structure;
  if (auto failure = structure.check(root, 1)) return Failure{std::move(*failure)};
  return root;
}

}  // namespace json

// ---------------------------------------------------------------------------------------------
// Reading.

namespace {

std::string_view foundDescription(element_type type) {
  switch (type) {
    case element_type::STRING:
      return "a string";
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return "a number";
    case element_type::BOOL:
      return "a boolean";
    case element_type::NULL_VALUE:
      return "null";
    case element_type::OBJECT:
      return "a dictionary";
    case element_type::ARRAY:
      return "an array";
  }
  return "an unknown value";
}

DecodingError typeMismatch(const PathFrame* at, std::string_view expected, element_type found) {
  std::string description = "Expected to decode ";
  description += expected;
  description += " but found ";
  description += foundDescription(found);
  description += " instead.";
  return DecodingError{Kind::typeMismatch, pathOf(at), std::move(description)};
}

// The value kinds, each read from one JSON value.
template <class T>
struct ValueCoder;

template <>
struct ValueCoder<std::string> {
  static constexpr std::string_view typeName = "String";
  static Result<std::string, DecodingError> read(element value, const PathFrame* at) {
    if (value.type() != element_type::STRING)
      return Failure{typeMismatch(at, typeName, value.type())};
    return std::string(value.get_string().value_unsafe());
  }
};

template <>
struct ValueCoder<double> {
  static constexpr std::string_view typeName = "Double";
  static Result<double, DecodingError> read(element value, const PathFrame* at) {
    switch (value.type()) {
      case element_type::DOUBLE:
        return value.get_double().value_unsafe();
      case element_type::INT64:
        return static_cast<double>(value.get_int64().value_unsafe());
      case element_type::UINT64:
        return static_cast<double>(value.get_uint64().value_unsafe());
      default:
        return Failure{typeMismatch(at, typeName, value.type())};
    }
  }
};

template <>
struct ValueCoder<bool> {
  static constexpr std::string_view typeName = "Bool";
  static Result<bool, DecodingError> read(element value, const PathFrame* at) {
    if (value.type() != element_type::BOOL)
      return Failure{typeMismatch(at, typeName, value.type())};
    return value.get_bool().value_unsafe();
  }
};

Result<ActionSpec, DecodingError> readActionSpec(element value, const PathFrame* at);

template <>
struct ValueCoder<std::vector<ActionSpec>> {
  static constexpr std::string_view typeName = "Array<Any>";
  static Result<std::vector<ActionSpec>, DecodingError> read(element value, const PathFrame* at) {
    if (value.type() != element_type::ARRAY)
      return Failure{typeMismatch(at, typeName, value.type())};
    const simdjson::dom::array array = value.get_array().value_unsafe();
    std::vector<ActionSpec> actions;
    actions.reserve(array.size());
    std::size_t index = 0;
    for (element item : array) {
      const PathFrame frame{at, {}, index, true};
      auto action = readActionSpec(item, &frame);
      if (!action) return Failure{std::move(action).error()};
      actions.push_back(std::move(action).value());
      ++index;
    }
    return actions;
  }
};

// A keyed container over one record's CodingKeys: one pass over the object's members finds
// the entry of every key (member names matched exactly); unknown members are ignored.
template <CodingKey Key>
class KeyedDecodingContainer {
 public:
  static Result<KeyedDecodingContainer, DecodingError> make(element value, const PathFrame* at) {
    if (value.type() != element_type::OBJECT) {
      return Failure{typeMismatch(at, "Dictionary<String, Any>", value.type())};
    }
    KeyedDecodingContainer container(at);
    // (A named object: a range-for over value_unsafe() of a temporary would dangle.)
    const simdjson::dom::object object = value.get_object().value_unsafe();
    for (auto field : object) {
      const auto key = codingKeyFromString<Key>(field.key);
      if (!key) continue;
      const std::size_t slot = position(*key);
      if (container.present_[slot]) {
        // Only reachable for an element that did not come from json::parse.
        return Failure{corrupted(json::repeatedName(field.key))};
      }
      container.present_[slot] = true;
      container.entries_[slot] = field.value;
    }
    return container;
  }

  // A required field: key not found, value not found (null), or type mismatch.
  template <class T>
  Result<T, DecodingError> decode(Key key) const {
    const PathFrame frame{at_, stringValue(key)};
    const std::size_t slot = position(key);
    if (!present_[slot]) {
      std::string description = "No value associated with key ";
      json::appendString(description, stringValue(key));
      description += '.';
      return Failure{DecodingError{Kind::keyNotFound, pathOf(&frame), std::move(description)}};
    }
    if (entries_[slot].is_null()) {
      std::string description = "Expected ";
      description += ValueCoder<T>::typeName;
      description += " value but found null instead.";
      return Failure{DecodingError{Kind::valueNotFound, pathOf(&frame), std::move(description)}};
    }
    return ValueCoder<T>::read(entries_[slot], &frame);
  }

  // An optional field: absent when the key is missing or null; type mismatch otherwise.
  template <class T>
  Result<std::optional<T>, DecodingError> decodeIfPresent(Key key) const {
    const std::size_t slot = position(key);
    if (!present_[slot] || entries_[slot].is_null()) return std::optional<T>();
    const PathFrame frame{at_, stringValue(key)};
    auto value = ValueCoder<T>::read(entries_[slot], &frame);
    if (!value) return Failure{std::move(value).error()};
    return std::optional<T>(std::move(value).value());
  }

 private:
  explicit KeyedDecodingContainer(const PathFrame* at) : at_(at) {}

  const PathFrame* at_;
  std::array<element, codingKeyCount<Key>> entries_{};
  std::bitset<codingKeyCount<Key>> present_;
};

// NOLINTBEGIN(bugprone-macro-parentheses): `target` names a variable.
#define CORVLIN_TRY_READ(target, expression)                              \
  auto target##Result = (expression);                                     \
  if (!target##Result) return Failure{std::move(target##Result).error()}; \
  auto target = std::move(target##Result).value()
// NOLINTEND(bugprone-macro-parentheses)

Result<ActionSpec, DecodingError> readActionSpec(element value, const PathFrame* at) {
  using K = ActionSpecCodingKeys;
  CORVLIN_TRY_READ(container, KeyedDecodingContainer<K>::make(value, at));
  CORVLIN_TRY_READ(actionId, container.decode<std::string>(K::actionId));
  CORVLIN_TRY_READ(label, container.decode<std::string>(K::label));
  CORVLIN_TRY_READ(requiresAuth, container.decodeIfPresent<bool>(K::requiresAuth));
  return ActionSpec{std::move(actionId), std::move(label), requiresAuth};
}

Result<ContentState, DecodingError> readContentState(element value, const PathFrame* at) {
  using K = ContentStateCodingKeys;
  CORVLIN_TRY_READ(container, KeyedDecodingContainer<K>::make(value, at));
  CORVLIN_TRY_READ(title, container.decode<std::string>(K::title));
  CORVLIN_TRY_READ(body, container.decodeIfPresent<std::string>(K::body));
  CORVLIN_TRY_READ(detail, container.decodeIfPresent<std::string>(K::detail));
  CORVLIN_TRY_READ(tone, container.decodeIfPresent<std::string>(K::tone));
  CORVLIN_TRY_READ(progress, container.decodeIfPresent<double>(K::progress));
  CORVLIN_TRY_READ(timerStart, container.decodeIfPresent<double>(K::timerStart));
  CORVLIN_TRY_READ(timerEnd, container.decodeIfPresent<double>(K::timerEnd));
  CORVLIN_TRY_READ(timerDirection, container.decodeIfPresent<std::string>(K::timerDirection));
  CORVLIN_TRY_READ(actions, container.decodeIfPresent<std::vector<ActionSpec>>(K::actions));
  return ContentState{
      std::move(title), std::move(body), std::move(detail),         std::move(tone),   progress,
      timerStart,       timerEnd,        std::move(timerDirection), std::move(actions)};
}

Result<CorvlinLiveActivityAttributes, DecodingError> readAttributes(element value,
                                                                    const PathFrame* at) {
  using K = AttributesCodingKeys;
  CORVLIN_TRY_READ(container, KeyedDecodingContainer<K>::make(value, at));
  CORVLIN_TRY_READ(kind, container.decode<std::string>(K::kind));
  CORVLIN_TRY_READ(activityId, container.decode<std::string>(K::activityId));
  return CorvlinLiveActivityAttributes{std::move(kind), std::move(activityId)};
}

#undef CORVLIN_TRY_READ

template <class Record, class Read>
Result<Record, DecodingError> readDocument(std::string_view bytes, Read read) {
  // A parser of its own, so that no state outlives the call; callers that decode many
  // documents keep a parser and use json::parse with the element overloads instead.
  simdjson::dom::parser parser;
  auto root = json::parse(parser, bytes);
  if (!root) return Failure{std::move(root).error()};
  return read(root.value(), nullptr);
}

}  // namespace

Result<ContentState, DecodingError> decodeContentState(element value) {
  return readContentState(value, nullptr);
}

Result<ContentState, DecodingError> decodeContentState(std::string_view json) {
  return readDocument<ContentState>(json, readContentState);
}

Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(element value) {
  return readAttributes(value, nullptr);
}

Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(std::string_view json) {
  return readDocument<CorvlinLiveActivityAttributes>(json, readAttributes);
}

Result<ActionSpec, DecodingError> decodeActionSpec(element value) {
  return readActionSpec(value, nullptr);
}

Result<ActionSpec, DecodingError> decodeActionSpec(std::string_view json) {
  return readDocument<ActionSpec>(json, readActionSpec);
}

// ---------------------------------------------------------------------------------------------
// Writing.

namespace {

using EncodeStatus = std::optional<EncodingError>;

EncodingError invalidValue(const PathFrame* at, std::string description) {
  return EncodingError{pathOf(at), std::move(description)};
}

template <class T>
struct ValueEncoder;

template <>
struct ValueEncoder<std::string> {
  static EncodeStatus write(json::Writer& writer, const std::string& text, const PathFrame* at) {
    if (!simdjson::validate_utf8(text.data(), text.size())) {
      return invalidValue(at, "Unable to encode String: it is not valid UTF-8.");
    }
    writer.string(text);
    return std::nullopt;
  }
};

template <>
struct ValueEncoder<double> {
  static EncodeStatus write(json::Writer& writer, double value, const PathFrame* at) {
    if (std::isnan(value)) return invalidValue(at, "Unable to encode Double.nan directly in JSON.");
    if (std::isinf(value)) {
      return invalidValue(at, value > 0 ? "Unable to encode Double.infinity directly in JSON."
                                        : "Unable to encode -Double.infinity directly in JSON.");
    }
    writer.number(value);
    return std::nullopt;
  }
};

template <>
struct ValueEncoder<bool> {
  static EncodeStatus write(json::Writer& writer, bool value, const PathFrame*) {
    writer.boolean(value);
    return std::nullopt;
  }
};

EncodeStatus writeActionSpec(json::Writer& writer, const ActionSpec& action, const PathFrame* at);

template <>
struct ValueEncoder<std::vector<ActionSpec>> {
  static EncodeStatus write(json::Writer& writer, const std::vector<ActionSpec>& actions,
                            const PathFrame* at) {
    writer.beginArray();
    for (std::size_t index = 0; index < actions.size(); ++index) {
      const PathFrame frame{at, {}, index, true};
      if (auto error = writeActionSpec(writer, actions[index], &frame)) return error;
    }
    writer.endArray();
    return std::nullopt;
  }
};

// A keyed container over one record's CodingKeys, writing members in the order handed to it.
template <CodingKey Key>
class KeyedEncodingContainer {
 public:
  KeyedEncodingContainer(json::Writer& writer, const PathFrame* at) : writer_(writer), at_(at) {
    writer_.beginObject();
  }
  void finish() { writer_.endObject(); }

  template <class T>
  EncodeStatus encode(Key key, const T& value) {
    const PathFrame frame{at_, stringValue(key)};
    // On a failure the half-written output is dropped by the caller.
    writer_.key(stringValue(key));
    return ValueEncoder<T>::write(writer_, value, &frame);
  }

  // Stores nothing at all (no key, no null) when the value is absent.
  template <class T>
  EncodeStatus encodeIfPresent(Key key, const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return encode(key, *value);
  }

 private:
  json::Writer& writer_;
  const PathFrame* at_;
};

#define CORVLIN_TRY_WRITE(expression) \
  if (auto error = (expression)) return error

EncodeStatus writeActionSpec(json::Writer& writer, const ActionSpec& action, const PathFrame* at) {
  using K = ActionSpecCodingKeys;
  KeyedEncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::actionId, action.actionId));
  CORVLIN_TRY_WRITE(container.encode(K::label, action.label));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::requiresAuth, action.requiresAuth));
  container.finish();
  return std::nullopt;
}

EncodeStatus writeContentState(json::Writer& writer, const ContentState& state,
                               const PathFrame* at) {
  using K = ContentStateCodingKeys;
  KeyedEncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::title, state.title));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::body, state.body));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::detail, state.detail));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::tone, state.tone));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::progress, state.progress));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerStart, state.timerStart));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerEnd, state.timerEnd));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerDirection, state.timerDirection));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::actions, state.actions));
  container.finish();
  return std::nullopt;
}

EncodeStatus writeAttributes(json::Writer& writer, const CorvlinLiveActivityAttributes& attributes,
                             const PathFrame* at) {
  using K = AttributesCodingKeys;
  KeyedEncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::kind, attributes.kind));
  CORVLIN_TRY_WRITE(container.encode(K::activityId, attributes.activityId));
  container.finish();
  return std::nullopt;
}

#undef CORVLIN_TRY_WRITE

template <class Record, class Write>
Result<std::string, EncodingError> writeDocument(const Record& record, Write write) {
  json::Writer writer;
  if (auto error = write(writer, record, nullptr)) return Failure{std::move(*error)};
  return writer.take();
}

}  // namespace

Result<std::string, EncodingError> encodeContentState(const ContentState& state) {
  return writeDocument(state, writeContentState);
}

Result<std::string, EncodingError> encodeAttributes(
    const CorvlinLiveActivityAttributes& attributes) {
  return writeDocument(attributes, writeAttributes);
}

Result<std::string, EncodingError> encodeActionSpec(const ActionSpec& action) {
  return writeDocument(action, writeActionSpec);
}

// ---------------------------------------------------------------------------------------------
// Readable forms: the coded form, or a note when the record cannot be coded.

namespace {

template <class Record, class Encode>
std::ostream& printCoded(std::ostream& out, std::string_view name, const Record& record,
                         Encode encode) {
  const auto coded = encode(record);
  if (coded) return out << *coded;
  return out << '<' << name << " not codable: " << coded.error() << '>';
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const ActionSpec& action) {
  return printCoded(out, "ActionSpec", action, encodeActionSpec);
}

std::ostream& operator<<(std::ostream& out, const ContentState& state) {
  return printCoded(out, "ContentState", state, encodeContentState);
}

std::ostream& operator<<(std::ostream& out, const CorvlinLiveActivityAttributes& attributes) {
  return printCoded(out, "CorvlinLiveActivityAttributes", attributes, encodeAttributes);
}

}  // namespace corvlin
