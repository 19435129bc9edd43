// The envelope's coded form: the members read, their errors with paths from the root, the
// push service's size limit, and the written form's member order.
#include "updates/envelope_coding.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace corvlin::updates {
namespace {

using Kind = DecodingError::Kind;
constexpr std::size_t n1 = 1;

const std::string exampleState =
    R"({"title":"Order 42","body":"Courier is near","tone":"warning","progress":0.4,)"
    R"("timerEnd":1767226500,"timerDirection":"down","actions":[{"actionId":"call",)"
    R"("label":"Call courier"},{"actionId":"cancel","label":"Cancel","requiresAuth":true}]})";

// The worked example, its members shuffled and with members the platform ignores.
const std::string example =
    R"({"other":1,"aps":{"attributes":{"kind":"delivery","activityId":"A42"},"event":"update",)"
    R"("content-state":)" +
    exampleState +
    R"(,"timestamp":1767225510,"stale-date":1767229110,"dismissal-date":1767240000,)"
    R"("relevance-score":50,"mutable-content":1,)"
    R"("alert":{"sound":"default","body":"Courier is near","title":"Order 42"},)"
    R"("attributes-type":"CorvlinLiveActivityAttributes"}})";

const std::string exampleWritten =
    R"({"aps":{"timestamp":1767225510,"event":"update","content-state":)" + exampleState +
    R"(,"stale-date":1767229110,"dismissal-date":1767240000,"relevance-score":50,)"
    R"("alert":{"title":"Order 42","body":"Courier is near","sound":"default"},)"
    R"("attributes-type":"CorvlinLiveActivityAttributes",)"
    R"("attributes":{"kind":"delivery","activityId":"A42"}}})";

TEST(EnvelopeCoding, WritesTheKnownMembersInOrderAndDropsTheRest) {
  auto decoded = decodeEnvelope(example);
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ(decoded.value().event, Event::update);
  EXPECT_EQ(decoded.value().contentState->title, "Order 42");
  auto written = encodeEnvelope(decoded.value());
  ASSERT_TRUE(written.ok());
  EXPECT_EQ(written.value(), exampleWritten);
  auto again = decodeEnvelope(written.value());
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value(), decoded.value());
}

TEST(EnvelopeCoding, ReadsEachEventWithWhatItRequires) {
  struct Case {
    const char* name;
    std::string aps;
    std::string written;
  };
  const std::string attrs =
      R"("attributes-type":"CorvlinLiveActivityAttributes","attributes":{"kind":"k","activityId":"a"})";
  const std::vector<Case> cases{
      {"start", R"({"event":"start","timestamp":1,"content-state":{"title":"t"},)" + attrs + "}",
       R"({"aps":{"timestamp":1,"event":"start","content-state":{"title":"t"},)" + attrs + "}}"},
      {"start subscribed to a broadcast channel, its id after the attributes",
       R"({"input-push-channel":"dHJ5IHRoaXM=","event":"start","timestamp":1,)"
       R"("content-state":{"title":"t"},)" +
           attrs + "}",
       R"({"aps":{"timestamp":1,"event":"start","content-state":{"title":"t"},)" + attrs +
           R"(,"input-push-channel":"dHJ5IHRoaXM="}})"},
      {"end without content state, nulls as absent",
       R"({"event":"end","timestamp":2.5,"content-state":null,"alert":null})",
       R"({"aps":{"timestamp":2.5,"event":"end"}})"},
      {"localised alert texts and a sound object",
       R"({"event":"update","timestamp":3,"content-state":{"title":"t"},"alert":{)"
       R"("title":{"loc-key":"T","loc-args":["a","b"]},"body":{"loc-key":"B"},)"
       R"("sound":{"volume":0.5,"critical":1,"name":"chime.aiff"}}})",
       R"({"aps":{"timestamp":3,"event":"update","content-state":{"title":"t"},"alert":{)"
       R"("title":{"loc-key":"T","loc-args":["a","b"]},"body":{"loc-key":"B"},)"
       R"("sound":{"critical":1,"name":"chime.aiff","volume":0.5}}}})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoded = decodeEnvelope(R"({"aps":)" + c.aps + "}");
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    auto written = encodeEnvelope(decoded.value());
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(written.value(), c.written);
  }
}

TEST(EnvelopeCoding, ErrorsNameTheirPlaceFromTheRoot) {
  struct Case {
    const char* name;
    std::string body;
    Kind kind;
    CodingPath path;
  };
  // A body whose aps holds `members`; `start` and `update` add the event, its timestamp and, for
  // the update, a content state.
  const auto aps = [](const std::string& members) { return R"({"aps":{)" + members + "}}"; };
  const auto start = [&](const std::string& more) {
    return aps(R"("timestamp":1,"event":"start","content-state":{"title":"t"})" + more);
  };
  const auto update = [&](const std::string& more) {
    return aps(R"("timestamp":1,"event":"update","content-state":{"title":"t"})" + more);
  };
  const std::string type = R"(,"attributes-type":"CorvlinLiveActivityAttributes")";
  // clang-format off
  const std::vector<Case> cases{
      {"not an object", "[1]", Kind::typeMismatch, {}},
      {"no aps", R"({"payload":{}})", Kind::keyNotFound, {"aps"}},
      {"aps not an object", R"({"aps":"x"})", Kind::typeMismatch, {"aps"}},
      {"no timestamp", aps(R"("event":"end")"), Kind::keyNotFound, {"aps", "timestamp"}},
      {"timestamp as text", aps(R"("timestamp":"1","event":"end")"), Kind::typeMismatch, {"aps", "timestamp"}},
      {"no event", aps(R"("timestamp":1)"), Kind::keyNotFound, {"aps", "event"}},
      {"unknown event", aps(R"("timestamp":1,"event":"begin")"), Kind::dataCorrupted, {"aps", "event"}},
      {"update without content", aps(R"("timestamp":1,"event":"update")"), Kind::keyNotFound,
       {"aps", "content-state"}},
      {"update with null content", aps(R"("timestamp":1,"event":"update","content-state":null)"),
       Kind::valueNotFound, {"aps", "content-state"}},
      {"second action without a label", aps(R"("timestamp":1,"event":"update","content-state":{"title":"t",)"
       R"("actions":[{"actionId":"a","label":"A"},{"actionId":"b"}]})"), Kind::keyNotFound,
       {"aps", "content-state", "actions", n1, "label"}},
      {"start without content, all else there",
       aps(R"("timestamp":1,"event":"start")" + type + R"(,"attributes":{"kind":"k","activityId":"a"})"),
       Kind::keyNotFound, {"aps", "content-state"}},
      {"start without attributes type", start(""), Kind::keyNotFound, {"aps", "attributes-type"}},
      {"start with another attributes type", start(R"(,"attributes-type":"Other")"), Kind::dataCorrupted,
       {"aps", "attributes-type"}},
      {"start without attributes", start(type), Kind::keyNotFound, {"aps", "attributes"}},
      {"attributes without activityId", start(type + R"(,"attributes":{"kind":"k"})"), Kind::keyNotFound,
       {"aps", "attributes", "activityId"}},
      {"alert title a number", update(R"(,"alert":{"title":3})"), Kind::typeMismatch, {"aps", "alert", "title"}},
      {"localised body without its key", update(R"(,"alert":{"body":{}})"), Kind::keyNotFound,
       {"aps", "alert", "body", "loc-key"}},
      {"stale date as text", update(R"(,"stale-date":"soon")"), Kind::typeMismatch, {"aps", "stale-date"}},
      {"not JSON", R"({"aps":)", Kind::dataCorrupted, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoded = decodeEnvelope(c.body);
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(kindName(decoded.error().kind), kindName(c.kind)) << decoded.error();
    EXPECT_EQ(decoded.error().codingPath, c.path) << decoded.error();
  }
}

TEST(EnvelopeCoding, TheSizeLimitIsInclusive) {
  const std::string head = R"({"aps":{"timestamp":1,"event":"end"},"x":")";
  const std::string body = head + std::string(maxEnvelopeBytes - head.size() - 2, 'a') + "\"}";
  ASSERT_EQ(body.size(), maxEnvelopeBytes);
  EXPECT_TRUE(decodeEnvelope(body).ok());
  const auto over = decodeEnvelope(body + " ");
  ASSERT_FALSE(over.ok());
  EXPECT_EQ(over.error().kind, Kind::payloadTooLarge);
}

TEST(EnvelopeCoding, WritingFailsForANumberJsonCannotHoldNamingItsPath) {
  Envelope envelope;
  envelope.event = Event::end;
  envelope.staleDate = std::numeric_limits<double>::infinity();
  auto written = encodeEnvelope(envelope);
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error().codingPath, (CodingPath{"aps", "stale-date"}));
}

}  // namespace
}  // namespace corvlin::updates
