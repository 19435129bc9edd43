#include "protocol/line_reader.hpp"

#include <algorithm>
#include <utility>

namespace corvlin::protocol {

std::string_view LineReader::fed() const {
  return fedIsKept_ ? std::string_view(kept_).substr(keptFrom_) : fed_;
}

void LineReader::advance(std::size_t bytes) {
  if (fedIsKept_) {
    keptFrom_ += bytes;
  } else {
    fed_.remove_prefix(bytes);
  }
}

void LineReader::releaseLine() {
  if (!heldIsLine_) return;
  held_.clear();
  heldIsLine_ = false;
}

void LineReader::hold(std::string_view piece) {
  if (held_.capacity() < held_.size() + piece.size()) {
    // Grow by doubling, but never past the bound.
    held_.reserve(
        std::min(maxLineBytes_, std::max(2 * held_.capacity(), held_.size() + piece.size())));
  }
  held_.append(piece);
}

void LineReader::feed(std::string_view bytes) {
  releaseLine();
  const std::string_view before = fed();
  if (before.empty()) {
    fed_ = bytes;
    fedIsKept_ = false;
    return;
  }
  if (bytes.empty()) return;
  std::string joined;
  joined.reserve(before.size() + bytes.size());
  joined.append(before).append(bytes);
  kept_ = std::move(joined);
  keptFrom_ = 0;
  fedIsKept_ = true;
}

void LineReader::keep() {
  releaseLine();
  if (fedIsKept_ || fed_.empty()) return;
  kept_.assign(fed_);
  keptFrom_ = 0;
  fedIsKept_ = true;
  fed_ = {};
}

LineReader::Next LineReader::next() {
  releaseLine();
  for (std::string_view rest = fed(); !rest.empty(); rest = fed()) {
    const std::size_t newline = rest.find('\n');
    const std::string_view piece = rest.substr(0, newline);
    if (!dropping_ && held_.size() + piece.size() > maxLineBytes_) {
      dropping_ = true;
      std::string().swap(held_);  // give the memory back at once
    }
    if (newline == std::string_view::npos) {
      if (!dropping_) hold(piece);
      advance(rest.size());
      break;
    }
    if (dropping_) {
      advance(newline + 1);
      dropping_ = false;
      return TooLong{};
    }
    // A line that ends in the piece it began in is handed out in place.
    if (held_.empty()) {
      advance(newline + 1);
      return Line{piece};
    }
    hold(piece);
    advance(newline + 1);
    heldIsLine_ = true;
    return Line{held_};
  }
  fed_ = {};
  kept_.clear();
  keptFrom_ = 0;
  fedIsKept_ = false;
  return NeedMore{};
}

std::optional<LineReader::Next> LineReader::end() {
  if (!fed().empty()) {
    Next line = next();
    if (!std::holds_alternative<NeedMore>(line)) return line;
  }
  releaseLine();
  if (dropping_) {
    dropping_ = false;
    return TooLong{};
  }
  if (held_.empty()) return std::nullopt;
  heldIsLine_ = true;
  return Line{held_};
}

}  // namespace corvlin::protocol
