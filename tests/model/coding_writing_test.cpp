// The coded (JSON) form's writing rules: numbers in their shortest round-trip form, escapes,
// failures naming their key, and the writer's members written as one.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "json/error.hpp"
#include "json/writer.hpp"
#include "model/coding.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::bits;
using testing_support::decodeOk;
using testing_support::encodeOk;
using testing_support::readTestData;
using testing_support::titled;

constexpr std::size_t n1 = 1;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------------------------
// Writing.

TEST(ContentStateWriting, DoublesInShortestRoundTripForm) {
  const struct {
    double value;
    std::string written;
  } cases[] = {// clang-format off
      {0.4, "0.4"}, {1767225600.25, "1767225600.25"}, {0.0, "0"}, {-0.0, "-0"}, {-1.5, "-1.5"},
      {1.0 / 3.0, "0.3333333333333333"}, {1e30, "1e+30"}, {1e-7, "1e-07"},
      {64092211200.0, "64092211200"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::numeric_limits<double>::lowest(), "-1.7976931348623157e+308"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    ContentState state = titled("t");
    state.progress = c.value;
    const std::string written = encodeOk(state);
    EXPECT_EQ(written, R"({"title":"t","progress":)" + c.written + "}");
    EXPECT_EQ(bits(decodeOk(written).progress.value_or(nan)), bits(c.value));
  }
  std::mt19937_64 random(20260101);
  for (int i = 0; i < 5000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    ContentState state = titled("t");
    state.timerStart = value;
    ASSERT_EQ(bits(decodeOk(encodeOk(state)).timerStart.value_or(nan)), bits(value)) << value;
  }
}

// The writer formats short decimals and integers itself; the result must be exactly what the
// general shortest-form conversion gives.
TEST(ContentStateWriting, EscapesWhatJsonRequires) {
  const struct {
    std::string text, literal;  // literal as written, quotes included
  } cases[] = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"a\\b/c", R"("a\\b/c")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\0", 1), R"("\u0000")"},
      {"\x01\x1f\x0b", R"("\u0001\u001f\u000b")"},
      {"\x7f", "\"\x7f\""},
      {"\xC3\xA9t\xE2\x80\xA8\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\"\xC3\xA9t\xE2\x80\xA8\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.literal);
    const std::string written = encodeOk(titled(c.text));
    EXPECT_EQ(written, R"({"title":)" + c.literal + "}");
    EXPECT_EQ(decodeOk(written).title, c.text);
  }
}

ContentState with(auto change) {
  ContentState state = titled("t");
  change(state);
  return state;
}

TEST(ContentStateWriting, FailsNamingTheKey) {
  const std::string notUtf8 = "Unable to encode String: it is not valid UTF-8.";
  const struct {
    ContentState state;
    CodingPath path;
    std::string description;
  } cases[] = {
      {with([](ContentState& s) { s.progress = nan; }),
       {"progress"},
       "Unable to encode Double.nan directly in JSON."},
      {with([](ContentState& s) { s.timerStart = inf; }),
       {"timerStart"},
       "Unable to encode Double.infinity directly in JSON."},
      {with([](ContentState& s) { s.timerEnd = -inf; }),
       {"timerEnd"},
       "Unable to encode -Double.infinity directly in JSON."},
      {with([](ContentState& s) { s.timerEnd = nan, s.progress = inf; }),
       {"progress"},
       "Unable to encode Double.infinity directly in JSON."},
      {titled("\xFF"), {"title"}, notUtf8},
      {with([](ContentState& s) {
         s.actions = {{{"a", "b", {}}, {"c", "\xC3", true}}};
       }),
       {"actions", n1, "label"},
       notUtf8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    const auto result = encodeContentState(c.state);
    ASSERT_FALSE(result.ok()) << "wrote " << result.value();
    EXPECT_EQ(result.error().codingPath, c.path);
    EXPECT_EQ(result.error().description, c.description);
  }
  const ContentState unwritable = with([](ContentState& s) { s.progress = nan; });
  EXPECT_EQ(errorJson(encodeContentState(unwritable).error()),
            R"({"error":{"kind":"invalidValue","codingPath":["progress"],)"
            R"("description":"Unable to encode Double.nan directly in JSON."}})");
  std::ostringstream printed;
  printed << unwritable;
  EXPECT_EQ(printed.str(),
            "<ContentState not codable: invalidValue at progress: "
            "Unable to encode Double.nan directly in JSON.>");
}

TEST(JsonWriter, NeverEmitsInvalidJson) {
  std::string out;
  json::appendString(out,
                     "a\xFF"
                     "b\xC3"
                     "\xE0\x80\x80"
                     "\xED\xA0\x80"
                     "\xF4\x90\x80\x80"
                     "z");
  simdjson::dom::parser parser;
  const auto parsed = json::parse(parser, out);
  ASSERT_TRUE(parsed.ok()) << out;
  const std::string_view text = parsed.value().get_string().value();
  EXPECT_TRUE(
      text.starts_with("a\xEF\xBF\xBD"
                       "b\xEF\xBF\xBD"))
      << text;
  EXPECT_TRUE(text.ends_with("z"));
  out.clear();
  json::appendNumber(out, nan);
  EXPECT_EQ(out, "null");
}

// A member written as one gives the bytes of its name and value written apart, first in its
// object and after another member, where its comma is due.
TEST(JsonWriter, MembersWrittenAsOneMatchTheirParts) {
  struct Case {
    const char* what;
    void (*whole)(json::Writer&);
    void (*parts)(json::Writer&);
  };
  const Case cases[] = {
      {"plain", [](json::Writer& w) { w.plainMember("style", "headline"); },
       [](json::Writer& w) {
         w.plainKey("style");
         w.plainString("headline");
       }},
      {"number", [](json::Writer& w) { w.numberMember("opacity", 0.85); },
       [](json::Writer& w) {
         w.key("opacity");
         w.number(0.85);
       }},
      {"true", [](json::Writer& w) { w.booleanMember("countsDown", true); },
       [](json::Writer& w) {
         w.key("countsDown");
         w.boolean(true);
       }},
      {"null", [](json::Writer& w) { w.nullMember("weight"); },
       [](json::Writer& w) {
         w.key("weight");
         w.null();
       }},
      {"false", [](json::Writer& w) { w.booleanMember("showsHours", false); },
       [](json::Writer& w) {
         w.key("showsHours");
         w.boolean(false);
       }},
      {"object",
       [](json::Writer& w) {
         w.beginObject("anchor");
         w.numberMember("x", 0.5);
         w.endObject();
       },
       [](json::Writer& w) {
         w.key("anchor");
         w.beginObject();
         w.key("x");
         w.number(0.5);
         w.endObject();
       }},
      {"list",
       [](json::Writer& w) {
         w.beginArray("children");
         w.endArray();
       },
       [](json::Writer& w) {
         w.key("children");
         w.beginArray();
         w.endArray();
       }},
      {"numbers, a last one not finite",
       [](json::Writer& w) {
         w.numberMembers({});
         w.numberMembers({{"red", 1}, {"green", 0.62}, {"blue", nan}});
       },
       [](json::Writer& w) {
         w.key("red");
         w.number(1);
         w.key("green");
         w.number(0.62);
         w.key("blue");
         w.null();
       }},
      {"an object opened with its first member, closed with its list",
       [](json::Writer& w) {
         w.key("content");
         w.beginObjectWithMember("type", "Circle");
         w.beginArray("modifiers");
         w.endArrayAndObject();
       },
       [](json::Writer& w) {
         w.key("content");
         w.beginObject();
         w.plainKey("type");
         w.plainString("Circle");
         w.key("modifiers");
         w.beginArray();
         w.endArray();
         w.endObject();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool afterAnother : {false, true}) {
      json::Writer whole;
      json::Writer parts;
      for (json::Writer* w : {&whole, &parts}) {
        w->beginObject();
        if (afterAnother) w->plainMember("type", "font");
      }
      c.whole(whole);
      c.parts(parts);
      whole.endObject();
      parts.endObject();
      EXPECT_EQ(whole.str(), parts.str());
    }
  }
}

}  // namespace
}  // namespace corvlin
