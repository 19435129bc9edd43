#include "updates/envelope.hpp"

namespace corvlin::updates {
namespace {

bool sameAttributes(const std::optional<CorvlinLiveActivityAttributes>& a,
                    const std::optional<CorvlinLiveActivityAttributes>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->kind == b->kind && a->activityId == b->activityId;
}

}  // namespace

std::string_view eventName(Event event) {
  switch (event) {
    case Event::start:
      return "start";
    case Event::update:
      return "update";
    case Event::end:
      return "end";
  }
  return "update";
}

bool operator==(const Envelope& a, const Envelope& b) {
  return a.timestamp == b.timestamp && a.event == b.event && a.contentState == b.contentState &&
         a.staleDate == b.staleDate && a.dismissalDate == b.dismissalDate &&
         a.relevanceScore == b.relevanceScore && a.alert == b.alert &&
         a.attributesType == b.attributesType && sameAttributes(a.attributes, b.attributes);
}

}  // namespace corvlin::updates
