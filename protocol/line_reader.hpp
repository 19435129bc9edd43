// The one reader of lines between the host and the extension: the extension reads its requests
// with it, and the host the answers, blocking or from the event loop.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace corvlin::protocol {

// Cuts the bytes fed to it into lines, each at most `maxLineBytes` long without its line
// break ('\n'; a '\r' before it stays part of the line). Incremental: bytes come in any pieces,
// and a line may span any number of them. A line over the bound is never held: its bytes are
// dropped as they come, and it is told as TooLong once its line break (or end()) comes.
//
// The fed bytes are read in place: a line that lies whole within one piece is handed out as a
// view of it, uncopied. So the piece must stay as it is until next() has said NeedMore, or until
// keep() copies what is left of it. Only the start of a line that a piece does not finish is
// copied in, growing by doubling up to the bound. Memory running out throws std::bad_alloc.
class LineReader {
 public:
  // A whole line without its line break: valid until the reader is next called or moved.
  struct Line {
    std::string_view text;
  };
  // A line longer than the bound, now ended; its bytes were dropped.
  struct TooLong {};
  // Every byte fed has been taken: feed more.
  struct NeedMore {};
  using Next = std::variant<Line, TooLong, NeedMore>;

  explicit LineReader(std::size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

  // Hands over the next bytes read. Bytes fed before and not yet taken come first.
  void feed(std::string_view bytes);
  // The next line of what was fed, or NeedMore.
  Next next();
  // Copies the fed bytes not yet taken into the reader, so that the caller may reuse its buffer
  // without taking them now; a later next() takes them first.
  void keep();
  // At the end of the input: the lines still to be taken, one a call, the bytes after the last
  // line break making the last one (or TooLong); nothing once every byte is taken.
  std::optional<Next> end();

  // The line being read has gone past the bound; TooLong will be told at its end. For a reader
  // that cannot wait for that end.
  bool overBound() const { return dropping_; }
  // Bytes of a line whose break has not come were taken (held or, over the bound, dropped).
  bool midLine() const { return dropping_ || (!held_.empty() && !heldIsLine_); }
  std::size_t maxLineBytes() const { return maxLineBytes_; }
  // A new bound, for the bytes taken from now on.
  void setMaxLineBytes(std::size_t maxLineBytes) { maxLineBytes_ = maxLineBytes; }

 private:
  std::string_view fed() const;
  void advance(std::size_t bytes);
  void hold(std::string_view piece);
  void releaseLine();

  std::size_t maxLineBytes_;
  // The fed bytes not yet taken: the caller's (fed_), or copied in (kept_ from keptFrom_).
  std::string_view fed_;
  std::string kept_;
  std::size_t keptFrom_ = 0;
  bool fedIsKept_ = false;
  std::string held_;         // the start of a line that its piece did not finish
  bool heldIsLine_ = false;  // held_ is the whole line last handed out
  bool dropping_ = false;    // the line being read is over the bound
};

}  // namespace corvlin::protocol
