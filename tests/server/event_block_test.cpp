// The event stream's blocks as both protocols send them: framed byte for byte, whether copied
// piecewise (HTTP/2's frames) or gathered for one write (HTTP/1.1).
#include "host/server/event_block.hpp"

#include <gtest/gtest.h>

namespace corvlin::host::server {
namespace {

EventBlock event(std::string text) {
  return {std::make_shared<const std::string>(std::move(text)), true};
}
EventBlock line(std::string text) {
  return {std::make_shared<const std::string>(std::move(text)), false};
}

std::string framed(const std::vector<EventBlock>& blocks) {
  std::string out;
  for (const auto& block : blocks) {
    if (block.isEvent) out += "data: ";
    out += *block.text;
    if (block.isEvent) out += "\n\n";
  }
  return out;
}

TEST(EventBlock, IsGatheredForOneWriteInFewPieces) {
  const std::string large(sharedBlockBytes, 'x');
  struct Case {
    const char* name;
    std::vector<EventBlock> blocks;
    std::size_t pieces;
  };
  std::vector<EventBlock> many;
  many.push_back(line("retry: 1000\nid: 1\n\n"));
  for (int i = 0; i < 500; ++i) many.push_back(event("{\"n\":" + std::to_string(i) + "}"));
  const std::vector<Case> cases = {
      {"nothing", {}, 0},
      {"a line as it is", {line(":\n\n")}, 1},
      {"500 short events, copied into one piece", many, 1},
      {"a long event, referenced between its frame's pieces", {event(large)}, 3},
      {"short, long, short",
       {event("{\"a\":1}"), event(large), line(":\n\n"), event("{\"b\":2}")},
       3},
      {"two long ones in a row", {event(large), event(large + "y")}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string scratch = "left from the last write";
    const auto pieces = gatherFramed(c.blocks, scratch);
    std::string sent;
    for (const auto piece : pieces) sent += piece;
    EXPECT_EQ(sent, framed(c.blocks));
    EXPECT_EQ(pieces.size(), c.pieces);
    for (const auto& block : c.blocks) {
      if (block.text->size() < sharedBlockBytes) continue;
      bool referenced = false;
      for (const auto piece : pieces) referenced = referenced || piece.data() == block.text->data();
      EXPECT_TRUE(referenced) << "a long block is not copied";
    }
  }
}

TEST(EventBlock, IsCopiedPiecewiseFromAnyOffset) {
  const EventBlock block = event("{\"n\":1}");
  const std::string whole = framed({block});
  ASSERT_EQ(framedSize(block), whole.size());
  for (std::size_t offset = 0; offset <= whole.size(); ++offset) {
    for (std::size_t length : {std::size_t{1}, std::size_t{5}, whole.size()}) {
      std::string out(length, '\0');
      const std::size_t n =
          copyFramed(block, offset, reinterpret_cast<std::uint8_t*>(out.data()), length);
      EXPECT_EQ(out.substr(0, n), whole.substr(offset, length)) << offset << " " << length;
    }
  }
}

// A reader that takes nothing holds at most so many blocks and bytes; one past either is refused,
// and a write done gives its bytes back.
TEST(EventBlock, QueuesWithinBoundsOnBlocksAndBytes) {
  struct Case {
    const char* name;
    std::vector<std::size_t> sizes;  // of each event's text, added in order (framed: 8 more)
    std::size_t maxBlocks;
    std::size_t maxBytes;
    std::vector<bool> added;
    std::size_t bytes;
  };
  const std::vector<Case> cases = {
      {"within both", {10, 20}, 4, 100, {true, true}, 46},
      {"exactly at the byte bound", {42, 42}, 4, 100, {true, true}, 100},
      {"one byte past it", {42, 43}, 4, 100, {true, false}, 50},
      {"past the block bound", {1, 1, 1}, 2, 100, {true, true, false}, 18},
      {"a small block after a large one refused", {95, 2}, 4, 100, {false, true}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventQueue queue(c.maxBlocks, c.maxBytes);
    std::vector<bool> added;
    for (const std::size_t size : c.sizes)
      added.push_back(queue.add(event(std::string(size, 'x'))));
    EXPECT_EQ(added, c.added);
    EXPECT_EQ(queue.bytes(), c.bytes);
  }
  EventQueue queue(2, 100);
  ASSERT_TRUE(queue.add(event(std::string(40, 'x'))));
  const auto taken = queue.take();
  EXPECT_EQ(taken.size(), 1u);
  EXPECT_TRUE(queue.empty());
  EXPECT_FALSE(queue.add(event(std::string(60, 'x')))) << "what is being written still counts";
  queue.written(48);
  EXPECT_TRUE(queue.add(event(std::string(60, 'x'))));
  EXPECT_EQ(queue.bytes(), 68u);
}

}  // namespace
}  // namespace corvlin::host::server
