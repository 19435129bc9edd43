// The word-at-a-time paths against the plain ones, at every length around their word and block
// sizes and with the odd byte at every position: the hasher's ASCII copy and check, equality's
// word compare, and the writer's unchecked copy of plain names.
#include <gtest/gtest.h>
#include <utf8proc.h>
#include <xxhash.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/writer.hpp"
#include "model/hasher.hpp"
#include "model/records.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::titled;

std::string nfd(const std::string& text) {
  utf8proc_uint8_t* out = nullptr;
  const auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                              static_cast<utf8proc_ssize_t>(text.size()), &out,
                              static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE));
  std::string result(reinterpret_cast<const char*>(out), n < 0 ? 0 : static_cast<std::size_t>(n));
  std::free(out);
  return result;
}

// The bytes a string unit feeds, built the plain way.
std::string plainUnit(const std::string& text) {
  const std::string form = nfd(text);
  if (form.size() <= Hasher::longUnit) return form + "\xFF";
  const std::uint64_t digest = XXH3_64bits(form.data(), form.size());
  std::string unit = "\xFE";
  unit.append(reinterpret_cast<const char*>(&digest), sizeof digest);
  return unit + "\xFF";
}

// Texts of every length up to past the long-unit length, all ASCII or with an e-acute (two
// bytes, not ASCII) at the start, the middle or the end.
template <class Check>
void forEachText(Check check) {
  for (std::size_t n = 0; n <= Hasher::longUnit + 70; ++n) {
    const std::string ascii(n, 'a');
    check(ascii);
    if (n == 0) continue;
    for (const std::size_t at : {std::size_t{0}, n / 2, n - 1}) {
      std::string text = ascii;
      text.replace(at, 1, "\xC3\xA9");
      check(text);
    }
  }
}

TEST(WordAtATime, HasherFeedsWhatThePlainUnitIs) {
  forEachText([](const std::string& text) {
    SCOPED_TRACE(text.size());
    Hasher hasher;
    hasher.marker(1);  // the unit starts at an odd offset in the buffer
    hasher.string(text);
    const std::string fed = "\x01" + plainUnit(text);
    ASSERT_EQ(hasher.finish(), XXH3_64bits(fed.data(), fed.size()));
  });
}

TEST(WordAtATime, EqualityFindsTheOneDifferentByteAnywhere) {
  for (std::size_t n = 0; n <= 40; ++n) {
    const ContentState state = titled(std::string(n, 'x'));
    ASSERT_EQ(state, titled(std::string(n, 'x')));
    ASSERT_FALSE(state == titled(std::string(n + 1, 'x')));
    for (std::size_t at = 0; at < n; ++at) {
      std::string other(n, 'x');
      other[at] = 'y';
      ASSERT_FALSE(state == titled(other)) << n << " at " << at;
    }
  }
}

TEST(WordAtATime, PlainNamesAreWrittenAsTheCheckedPathWritesThem) {
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string name;
    for (std::size_t i = 0; i < n; ++i) name += static_cast<char>('a' + i % 26);
    json::Writer plain;
    json::Writer checked;
    plain.beginObject();
    checked.beginObject();
    for (int i = 0; i < 2; ++i) {
      plain.plainKey(name);
      plain.plainString(name);
      checked.key(name);
      checked.string(name);
    }
    plain.endObject();
    checked.endObject();
    ASSERT_EQ(plain.str(), checked.str()) << n;
  }
  // Documents one after another: raw bytes start afresh, and truncate takes a document back.
  json::Writer lines;
  lines.beginArray();
  lines.endArray();
  lines.raw("\n");
  const std::size_t mark = lines.size();
  lines.beginArray();
  lines.number(1);
  lines.truncate(mark);
  lines.beginArray();
  lines.endArray();
  EXPECT_EQ(lines.str(), "[]\n[]");
}

}  // namespace
}  // namespace corvlin
