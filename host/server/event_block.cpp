#include "host/server/event_block.hpp"

#include <algorithm>
#include <cstring>

namespace corvlin::host::server {

std::size_t framedSize(const EventBlock& block) {
  return block.text->size() + (block.isEvent ? eventPrefix.size() + eventEnd.size() : 0);
}

std::size_t copyFramed(const EventBlock& block, std::size_t offset, std::uint8_t* out,
                       std::size_t length) {
  const std::string_view parts[] = {block.isEvent ? eventPrefix : std::string_view(), *block.text,
                                    block.isEvent ? eventEnd : std::string_view()};
  std::size_t copied = 0;
  for (const std::string_view part : parts) {
    if (copied == length) break;
    if (offset >= part.size()) {
      offset -= part.size();
      continue;
    }
    const std::size_t n = std::min(length - copied, part.size() - offset);
    std::memcpy(out + copied, part.data() + offset, n);
    copied += n;
    offset = 0;
  }
  return copied;
}

std::vector<std::string_view> gatherFramed(const std::vector<EventBlock>& blocks,
                                           std::string& scratch) {
  const auto shared = [](const EventBlock& block) {
    return block.text->size() >= sharedBlockBytes;
  };
  std::size_t copied = 0;
  for (const EventBlock& block : blocks) {
    copied += shared(block) ? framedSize(block) - block.text->size() : framedSize(block);
  }
  scratch.clear();
  scratch.reserve(copied);  // never grown below, so the pieces stay valid
  std::vector<std::string_view> pieces;
  std::size_t runStart = 0;
  const auto endRun = [&] {
    if (scratch.size() > runStart) {
      pieces.emplace_back(scratch.data() + runStart, scratch.size() - runStart);
    }
    runStart = scratch.size();
  };
  for (const EventBlock& block : blocks) {
    if (block.isEvent) scratch += eventPrefix;
    if (shared(block)) {
      endRun();
      pieces.emplace_back(*block.text);
    } else {
      scratch += *block.text;
    }
    if (block.isEvent) scratch += eventEnd;
  }
  endRun();
  return pieces;
}

bool EventQueue::add(EventBlock block) {
  const std::size_t size = framedSize(block);
  if (waiting_.size() >= maxBlocks_ || bytes_ + size > maxBytes_) return false;
  waiting_.push_back(std::move(block));
  bytes_ += size;
  return true;
}

std::vector<EventBlock> EventQueue::take() {
  std::vector<EventBlock> taken;
  taken.swap(waiting_);
  return taken;
}

}  // namespace corvlin::host::server
