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

}  // namespace
}  // namespace corvlin::host::server
