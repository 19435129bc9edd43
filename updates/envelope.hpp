// The remote-update envelope: what a push's body holds under "aps", as a plain record.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/records.hpp"

namespace corvlin::updates {

// What the push asks of the activity.
enum class Event { start, update, end };

std::string_view eventName(Event event);

// The only attributes type this extension's activities have.
inline constexpr std::string_view attributesTypeName = "CorvlinLiveActivityAttributes";

// An alert text given as a key into the app's localised strings, with its arguments.
struct LocalizedText {
  std::string key;                               // "loc-key"
  std::optional<std::vector<std::string>> args;  // "loc-args"

  friend bool operator==(const LocalizedText&, const LocalizedText&) = default;
};

using AlertText = std::variant<std::string, LocalizedText>;

// A sound given as an object rather than a file name.
struct SoundSpec {
  std::optional<double> critical;
  std::optional<std::string> name;
  std::optional<double> volume;

  friend bool operator==(const SoundSpec&, const SoundSpec&) = default;
};

using Sound = std::variant<std::string, SoundSpec>;

struct Alert {
  std::optional<AlertText> title;
  std::optional<AlertText> body;
  std::optional<Sound> sound;

  friend bool operator==(const Alert&, const Alert&) = default;
};

// The members of "aps" that the platform reads, in their coded order.
struct Envelope {
  double timestamp = 0;  // seconds since 1970, when the server sent the update
  Event event = Event::update;
  std::optional<ContentState> contentState;  // required for start and update
  std::optional<double> staleDate;
  std::optional<double> dismissalDate;
  std::optional<double> relevanceScore;
  std::optional<Alert> alert;
  std::optional<std::string> attributesType;                // required for start
  std::optional<CorvlinLiveActivityAttributes> attributes;  // required for start
  // The broadcast channel a started activity subscribes to (its channel id), instead of a
  // token of its own for updates.
  std::optional<std::string> inputPushChannel;

  // Member by member; the content state under its own equality (canonical equivalence).
  friend bool operator==(const Envelope& a, const Envelope& b);
};

}  // namespace corvlin::updates
