// The activity's records: attributes, content state, action, and the derived timer state.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "model/instant.hpp"

namespace corvlin {

class Hasher;

// Each record's key set (its CodingKeys); the enumerators and key operations are in
// model/coding_keys.hpp.
enum class AttributesCodingKeys : std::uint8_t;
enum class ContentStateCodingKeys : std::uint8_t;
enum class ActionSpecCodingKeys : std::uint8_t;

// The timer state derived from a content state and the current instant; never stored or coded.
struct Clock {
  struct Running {
    Instant lower;  // never later than upper
    Instant upper;
    bool countsDown = false;
  };
  struct Elapsed {};
  struct Hidden {};

  std::variant<Running, Elapsed, Hidden> value;
};

struct CorvlinLiveActivityAttributes {
  struct ContentState {
    struct ActionSpec {
      using CodingKeys = ActionSpecCodingKeys;

      std::string actionId;
      std::string label;
      std::optional<bool> requiresAuth;

      // Strings compare under canonical equivalence; see equality.cpp.
      friend bool operator==(const ActionSpec& a, const ActionSpec& b);
    };

    using CodingKeys = ContentStateCodingKeys;

    std::string title;
    std::optional<std::string> body;
    std::optional<std::string> detail;
    std::optional<std::string> tone;
    std::optional<double> progress;
    std::optional<double> timerStart;
    std::optional<double> timerEnd;
    std::optional<std::string> timerDirection;
    std::optional<std::vector<ActionSpec>> actions;

    // The timer state at `now`; see clock.cpp.
    Clock clock(Instant now) const;

    friend bool operator==(const ContentState& a, const ContentState& b);
  };

  using CodingKeys = AttributesCodingKeys;

  std::string kind;
  std::string activityId;
};

using ContentState = CorvlinLiveActivityAttributes::ContentState;
using ActionSpec = ContentState::ActionSpec;

// Hashing in three forms: feed a caller's hasher, a value from seed 0, a value from a seed.
void hash(Hasher& hasher, const ActionSpec& action);
void hash(Hasher& hasher, const ContentState& state);
std::uint64_t hashValue(const ActionSpec& action);
std::uint64_t hashValue(const ContentState& state);
std::uint64_t hashValue(const ActionSpec& action, std::uint64_t seed);
std::uint64_t hashValue(const ContentState& state, std::uint64_t seed);

// Readable forms for test failures and diagnostics (the coded form, or a note when not codable).
std::ostream& operator<<(std::ostream& out, const ActionSpec& action);
std::ostream& operator<<(std::ostream& out, const ContentState& state);
std::ostream& operator<<(std::ostream& out, const CorvlinLiveActivityAttributes& attributes);
std::ostream& operator<<(std::ostream& out, const Clock& clock);

}  // namespace corvlin
