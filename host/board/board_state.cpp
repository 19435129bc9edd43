#include "host/board/board_state.hpp"

#include <algorithm>

#include "host/report/step_formats.hpp"

namespace corvlin::host::board {

std::string canonicalToken(std::string_view token) {
  std::string out(token);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const ActivityRecord* findActivity(const BoardState& state, std::string_view token) {
  const auto found = state.byToken.find(canonicalToken(token));
  return found == state.byToken.end() ? nullptr : &state.activities[found->second];
}

const ActivityRecord* findActivityById(const BoardState& state, std::uint64_t id) {
  for (const ActivityRecord& record : state.activities) {
    if (record.id == id) return &record;
  }
  return nullptr;
}

std::vector<std::uint64_t> subscribersOf(const BoardState& state, std::string_view channel) {
  std::vector<std::uint64_t> ids;
  for (const ActivityRecord& record : state.activities) {
    if (!channel.empty() && record.channel == channel) ids.push_back(record.id);
  }
  return ids;
}

std::size_t reachOf(const std::vector<ActivityRecord>& activities, std::string_view channel) {
  std::size_t reached = 0;
  for (const ActivityRecord& record : activities) {
    if (!channel.empty() && record.channel == channel) {
      reached += std::max<std::size_t>(record.subscribers, 1);
    }
  }
  return reached;
}

std::size_t localSubscribersOf(const BoardState& state, std::string_view channel) {
  std::size_t held = 0;
  for (const ActivityRecord& record : state.activities) {
    if (record.channel == channel) held += record.subscribers;
  }
  return held;
}

std::string subscriberGroupToken(std::string_view channel, std::size_t first, std::size_t count) {
  return std::string(channel) + "#" + std::to_string(first) + "-" +
         std::to_string(first + count - 1);
}

bool drawingUnderWay(const BoardState& state, std::uint64_t id, std::uint64_t serial) {
  const ActivityRecord* record = findActivityById(state, id);
  return record != nullptr && record->drawing && record->drawingSerial == serial;
}

std::string_view stateLabel(const std::optional<updates::ActivityState>& state) {
  return state ? updates::stateName(*state) : std::string_view("not started");
}

LogEntry logEntry(const TakenStep& taken, std::string_view token) {
  const updates::Step& step = taken.step;
  return {step.at.timeIntervalSince1970,
          std::string(token),
          step.event ? std::string(updates::stepEventName(*step.event)) : std::string(),
          std::string(updates::outcomeName(step.outcome)),
          stepNote(step),
          taken.warnings};
}

}  // namespace corvlin::host::board
