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

}  // namespace corvlin::host::server
