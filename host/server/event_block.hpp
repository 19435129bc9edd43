// A block of an event stream, as both protocols send it: an event's JSON, shared by every
// stream it goes to and framed as a "data:" block when sent, or a line sent as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvlin::host::server {

struct EventBlock {
  std::shared_ptr<const std::string> text;
  bool isEvent = false;
};

inline constexpr std::string_view eventPrefix = "data: ";
inline constexpr std::string_view eventEnd = "\n\n";
// The stream's first block: a reader reconnects after a second, and the id it is given comes
// back as its Last-Event-ID when it does, which asks for the catch-up (see OpenEvents).
inline constexpr std::string_view streamOpening = "retry: 1000\nid: 1\n\n";

// The block's bytes as sent.
std::size_t framedSize(const EventBlock& block);
// Copies up to `length` of the block's bytes as sent, from `offset` on; how many it copied.
std::size_t copyFramed(const EventBlock& block, std::size_t offset, std::uint8_t* out,
                       std::size_t length);

// A block at least this long is sent from where it is; shorter ones are copied.
inline constexpr std::size_t sharedBlockBytes = 4096;

// The blocks' bytes as sent, as pieces for one gathered write: each run of short blocks copied
// framed into `scratch` (which the pieces point into, so it must outlive them), and each long
// block's text referenced where it is. A batch of many short events thus takes a few pieces,
// and one system call writes far more than the 64 pieces a gathered write takes at most.
std::vector<std::string_view> gatherFramed(const std::vector<EventBlock>& blocks,
                                           std::string& scratch);

// The blocks an HTTP/1.1 event stream holds for its reader, within bounds on their count and
// their bytes as framed, those taken for a write still counted until it is done.
class EventQueue {
 public:
  EventQueue(std::size_t maxBlocks, std::size_t maxBytes)
      : maxBlocks_(maxBlocks), maxBytes_(maxBytes) {}
  // Adds a block, or refuses it (false, nothing added) when it would pass a bound: the reader
  // fell behind.
  bool add(EventBlock block);
  // The blocks waiting, for one write.
  std::vector<EventBlock> take();
  // That many bytes of the blocks taken were written.
  void written(std::size_t bytes) { bytes_ -= bytes; }
  bool empty() const { return waiting_.empty(); }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t maxBlocks_;
  std::size_t maxBytes_;
  std::vector<EventBlock> waiting_;
  std::size_t bytes_ = 0;  // waiting and taken, not yet written
};

}  // namespace corvlin::host::server
