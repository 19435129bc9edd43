// Hashing of the records: string units, markers and words, in field order.
#include <bit>
#include <cstdint>
#include <optional>
#include <string>

#include "model/hasher.hpp"
#include "model/records.hpp"

namespace corvlin {

namespace {

void feedOptional(Hasher& hasher, const std::optional<std::string>& text) {
  if (!text) {
    hasher.marker(0);
    return;
  }
  hasher.marker(1);
  hasher.string(*text);
}

void feedOptional(Hasher& hasher, const std::optional<double>& number) {
  if (!number) {
    hasher.marker(0);
    return;
  }
  hasher.marker(1);
  // The bit pattern, except that +0 and -0 (which compare equal) both feed 0.
  hasher.word(*number == 0 ? std::uint64_t{0} : std::bit_cast<std::uint64_t>(*number));
}

}  // namespace

void hash(Hasher& hasher, const ActionSpec& action) {
  hasher.string(action.actionId);
  hasher.string(action.label);
  if (!action.requiresAuth) {
    hasher.marker(0);
  } else {
    hasher.marker(1);
    hasher.marker(*action.requiresAuth ? 1 : 0);
  }
}

void hash(Hasher& hasher, const ContentState& state) {
  hasher.string(state.title);
  feedOptional(hasher, state.body);
  feedOptional(hasher, state.detail);
  feedOptional(hasher, state.tone);
  feedOptional(hasher, state.progress);
  feedOptional(hasher, state.timerStart);
  feedOptional(hasher, state.timerEnd);
  feedOptional(hasher, state.timerDirection);
  if (!state.actions) {
    hasher.marker(0);
  } else {
    hasher.marker(1);
    hasher.word(static_cast<std::uint64_t>(state.actions->size()));
    for (const ActionSpec& action : *state.actions) hash(hasher, action);
  }
}

std::uint64_t hashValue(const ActionSpec& action, std::uint64_t seed) {
  Hasher hasher(seed);
  hash(hasher, action);
  return hasher.finish();
}

std::uint64_t hashValue(const ContentState& state, std::uint64_t seed) {
  Hasher hasher(seed);
  hash(hasher, state);
  return hasher.finish();
}

std::uint64_t hashValue(const ActionSpec& action) { return hashValue(action, 0); }
std::uint64_t hashValue(const ContentState& state) { return hashValue(state, 0); }

}  // namespace corvlin
