// The repair of text that is not UTF-8: the same U+FFFD, byte for byte, as the JSON writer's.
#include "json/utf8.hpp"

#include <gtest/gtest.h>

#include "json/writer.hpp"

namespace corvlin {
namespace {

TEST(Utf8Repair, ReplacesEachStrayByteAsTheWriterDoes) {
  struct Case {
    const char* name;
    std::string text;
    std::string repaired;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  const std::vector<Case> cases = {
      {"ASCII", "/3/device/0a", "/3/device/0a"},
      {"valid sequences of every length", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"a request path's stray bytes", "/3/device/\xFF\xFE\xC3", "/3/device/" + fffd + fffd + fffd},
      {"a sequence cut short before ASCII", "\xE2\x82z", fffd + fffd + "z"},
      {"overlong", "\xC0\xAF", fffd + fffd},
      {"surrogate", "\xED\xA0\x80", fffd + fffd + fffd},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(json::repairUtf8(c.text), c.repaired);
    std::string written;
    std::string writtenRepaired;
    json::appendString(written, c.text);
    json::appendString(writtenRepaired, json::repairUtf8(c.text));
    EXPECT_EQ(writtenRepaired, written) << "the writer repairs the same bytes";
  }
}

}  // namespace
}  // namespace corvlin
