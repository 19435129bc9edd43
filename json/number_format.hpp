// Numbers in JSON: the shortest round-trip form of a double.
#pragma once

#include <cstddef>
#include <string>

namespace corvlin::json {

// Appends a finite double in its shortest round-trip form; integral values have no fraction.
// The caller checks finiteness: JSON has no form for infinities or NaN (as a last defence a
// non-finite value is written as null, never as invalid JSON). -0.0 is written "-0".
void appendNumber(std::string& out, double value);

namespace detail {

// Writes a double's JSON form at `at` (at least numberRoom bytes of room) and returns its end.
constexpr std::size_t numberRoom = 32;
char* writeNumber(char* at, double value) noexcept;

}  // namespace detail
}  // namespace corvlin::json
