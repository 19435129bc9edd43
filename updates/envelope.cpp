#include "updates/envelope.hpp"

#include <array>

#include "json/names.hpp"

template <>
struct corvlin::json::EnumNames<corvlin::updates::Event> {
  static constexpr std::array<std::string_view, 3> values{"start", "update", "end"};
};

namespace corvlin::updates {

static_assert(json::namesEvery(Event::end));

namespace {

bool sameAttributes(const std::optional<CorvlinLiveActivityAttributes>& a,
                    const std::optional<CorvlinLiveActivityAttributes>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->kind == b->kind && a->activityId == b->activityId;
}

}  // namespace

std::string_view eventName(Event event) { return json::nameOf(event, "update"); }

bool operator==(const Envelope& a, const Envelope& b) {
  return a.timestamp == b.timestamp && a.event == b.event && a.contentState == b.contentState &&
         a.staleDate == b.staleDate && a.dismissalDate == b.dismissalDate &&
         a.relevanceScore == b.relevanceScore && a.alert == b.alert &&
         a.attributesType == b.attributesType && sameAttributes(a.attributes, b.attributes) &&
         a.inputPushChannel == b.inputPushChannel;
}

}  // namespace corvlin::updates
