#include "host/server/h2_stream.hpp"

#include <algorithm>
#include <cstring>

namespace corvlin::host::server {

void H2Stream::setBody(std::string body) {
  waitingBytes_ -= body_.size() - sent_;
  body_ = std::move(body);
  sent_ = 0;
  waitingBytes_ += body_.size();
}

void H2Stream::addBlock(EventBlock block) {
  waitingBytes_ += framedSize(block);
  waiting_.push_back(std::move(block));
}

std::size_t H2Stream::copyOut(std::uint8_t* out, std::size_t length, bool& bodyEnded) {
  std::size_t copied = 0;
  if (!events) {
    copied = std::min(length, body_.size() - sent_);
    if (copied != 0) {
      // Bytes of a DATA frame, not a C string.
      // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
      std::memcpy(out, body_.data() + sent_, copied);
    }
    sent_ += copied;
    bodyEnded = sent_ == body_.size();
  } else {
    while (copied < length && !waiting_.empty()) {
      const EventBlock& block = waiting_.front();
      const std::size_t n = copyFramed(block, sent_, out + copied, length - copied);
      copied += n;
      sent_ += n;
      if (sent_ == framedSize(block)) {
        waiting_.pop_front();
        sent_ = 0;
      }
    }
  }
  waitingBytes_ -= copied;
  sentBytes_ += copied;
  return copied;
}

std::size_t H2Stream::drop() {
  const std::size_t dropped = waitingBytes_;
  body_.clear();
  waiting_.clear();
  sent_ = 0;
  waitingBytes_ = 0;
  return dropped;
}

}  // namespace corvlin::host::server
