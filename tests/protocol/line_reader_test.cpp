// The one line reader: lines across any split of the bytes, the bound to the byte, and what it
// keeps, hands out in place and tells at the end.
#include "protocol/line_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvlin::protocol {
namespace {

constexpr const char* tooLong = "<too long>";

// Takes every outcome until NeedMore, as one string each.
void drain(LineReader& reader, std::vector<std::string>& out) {
  for (;;) {
    const LineReader::Next next = reader.next();
    if (std::holds_alternative<LineReader::NeedMore>(next)) return;
    const auto* line = std::get_if<LineReader::Line>(&next);
    out.emplace_back(line ? std::string(line->text) : tooLong);
  }
}

void drainEnd(LineReader& reader, std::vector<std::string>& out) {
  while (auto last = reader.end()) {
    const auto* line = std::get_if<LineReader::Line>(&*last);
    out.emplace_back(line ? std::string(line->text) : tooLong);
  }
}

TEST(LineReader, CutsLinesAcrossAnySplitWithinTheBound) {
  struct Case {
    const char* name;
    std::size_t max;
    std::vector<std::string> pieces;
    bool atEnd;  // the input ends after the pieces
    std::vector<std::string> lines;
    bool midLine;  // after the pieces (before any end)
  };
  const Case cases[] = {
      {"one line", 8, {"abc\n"}, false, {"abc"}, false},
      {"split across pieces", 8, {"ab", "c", "d\nef", "g\n"}, false, {"abcd", "efg"}, false},
      {"several in one piece", 8, {"a\nb\nc\n"}, false, {"a", "b", "c"}, false},
      {"empty lines", 8, {"\n\n", "a\n", "\n"}, false, {"", "", "a", ""}, false},
      {"exactly the bound", 4, {"abcd\n"}, false, {"abcd"}, false},
      {"exactly the bound, split", 4, {"ab", "cd", "\n"}, false, {"abcd"}, false},
      {"one over", 4, {"abcde\nok\n"}, false, {tooLong, "ok"}, false},
      {"one over, split", 4, {"abc", "de", "\nok\n"}, false, {tooLong, "ok"}, false},
      {"far over, many pieces",
       4,
       {"abc", "defgh", "ijkl", "m\n", "ok\n"},
       false,
       {tooLong, "ok"},
       false},
      {"over, still open", 4, {"abcde"}, false, {}, true},
      {"over, ended by the input's end", 4, {"abcdefgh"}, true, {tooLong}, true},
      {"two over in a row", 2, {"abc\ndef\n"}, false, {tooLong, tooLong}, false},
      {"a carriage return stays in the line", 8, {"a\r\n", "\r\n"}, false, {"a\r", "\r"}, false},
      {"bytes after the last break are held", 8, {"a\nbc"}, false, {"a"}, true},
      {"and make a last line at the end", 8, {"a\nb", "c"}, true, {"a", "bc"}, true},
      {"at the end, at the bound", 4, {"x\nab", "cd"}, true, {"x", "abcd"}, true},
      {"no input", 8, {}, true, {}, false},
      {"nothing after the last break", 8, {"a\n"}, true, {"a"}, false},
      {"a zero bound takes only empty lines", 0, {"\na\n\n"}, false, {"", tooLong, ""}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader reader(c.max);
    std::vector<std::string> lines;
    for (const std::string& piece : c.pieces) {
      // The caller's buffer is overwritten once the reader has taken it all.
      std::string buffer = piece;
      reader.feed(buffer);
      drain(reader, lines);
      buffer.assign(buffer.size(), '#');
    }
    EXPECT_EQ(reader.midLine(), c.midLine);
    if (c.atEnd) {
      drainEnd(reader, lines);
      EXPECT_FALSE(reader.midLine());
    }
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(LineReader, TellsALineOverTheBoundBeforeItsBreakComes) {
  LineReader reader(4);
  std::vector<std::string> lines;
  reader.feed("ok\nabcd");
  drain(reader, lines);
  EXPECT_FALSE(reader.overBound());
  reader.feed("e");
  drain(reader, lines);
  EXPECT_TRUE(reader.overBound());
  reader.feed("fgh\nnext\n");
  drain(reader, lines);
  EXPECT_FALSE(reader.overBound());
  EXPECT_EQ(lines, (std::vector<std::string>{"ok", tooLong, "next"}));
}

TEST(LineReader, HandsOutALineWithinOnePieceInPlace) {
  LineReader reader(16);
  const std::string piece = "whole\npart";
  reader.feed(piece);
  const auto first = reader.next();
  ASSERT_TRUE(std::holds_alternative<LineReader::Line>(first));
  EXPECT_EQ(std::get<LineReader::Line>(first).text.data(), piece.data());
  EXPECT_TRUE(std::holds_alternative<LineReader::NeedMore>(reader.next()));
  reader.feed("ial\n");
  const auto second = reader.next();
  ASSERT_TRUE(std::holds_alternative<LineReader::Line>(second));
  EXPECT_EQ(std::get<LineReader::Line>(second).text, "partial");
}

TEST(LineReader, KeepsWhatIsLeftForLaterEvenWhenMoved) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> later;  // the lines taken after keep(), the end included
  };
  const Case cases[] = {
      {"short", "a\nb\nc", {"b", "c"}},
      {"long", "a\n" + std::string(100, 'x') + "\ny", {std::string(100, 'x'), "y"}},
      {"only a break", "a\n\n", {""}},
      {"nothing", "a\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader reader(128);
    std::string buffer = c.bytes;
    reader.feed(buffer);
    const auto first = reader.next();
    ASSERT_TRUE(std::holds_alternative<LineReader::Line>(first));
    EXPECT_EQ(std::get<LineReader::Line>(first).text, "a");
    reader.keep();
    buffer.assign(buffer.size(), '#');
    LineReader moved = std::move(reader);
    std::vector<std::string> lines;
    drain(moved, lines);
    drainEnd(moved, lines);
    EXPECT_EQ(lines, c.later);
  }
}

TEST(LineReader, JoinsBytesFedBeforeTheLastWereTaken) {
  LineReader reader(16);
  reader.feed("a\nb");
  std::vector<std::string> lines;
  const auto first = reader.next();
  ASSERT_TRUE(std::holds_alternative<LineReader::Line>(first));
  reader.feed("c\nd");
  drain(reader, lines);
  drainEnd(reader, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"bc", "d"}));
}

TEST(LineReader, ANewBoundAppliesToTheBytesTakenAfterIt) {
  LineReader reader(2);
  std::vector<std::string> lines;
  reader.feed("abc\n");
  drain(reader, lines);
  reader.setMaxLineBytes(3);
  reader.feed("abc\nabcd\n");
  drain(reader, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{tooLong, "abc", tooLong}));
}

}  // namespace
}  // namespace corvlin::protocol
