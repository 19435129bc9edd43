// Short byte runs moved as two overlapping words, rather than by a call of memcpy or a byte loop.
#pragma once

#include <cstddef>
#include <cstring>

namespace corvlin::words {

// The first and the last word of a run of bytes.
template <class W>
struct Ends {
  W first;
  W last;
};

// The ends of the `n` bytes at `from`, where sizeof(W) <= n <= 2 * sizeof(W): together they hold
// every byte of the run, the middle ones twice when n is under 2 * sizeof(W).
template <class W>
Ends<W> loadEnds(const void* from, std::size_t n) noexcept {
  Ends<W> ends;
  std::memcpy(&ends.first, from, sizeof(W));
  std::memcpy(&ends.last, static_cast<const char*>(from) + n - sizeof(W), sizeof(W));
  return ends;
}

// Stores the ends of an `n`-byte run at `to`, giving back the run that loadEnds read.
template <class W>
void storeEnds(void* to, std::size_t n, Ends<W> ends) noexcept {
  std::memcpy(to, &ends.first, sizeof(W));
  std::memcpy(static_cast<char*>(to) + n - sizeof(W), &ends.last, sizeof(W));
}

}  // namespace corvlin::words
