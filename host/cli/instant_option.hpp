// The instant --now pins: seconds since 1970 written as in a payload, or an ISO 8601 instant
// with its zone.
#pragma once

#include <string>

#include "json/result.hpp"

namespace corvlin::host::cli {

// Seconds since 1970 for `text`: a JSON number (1767225600; one above 1e11, which the warnings
// take for milliseconds, is refused with the value in seconds), or an ISO 8601 date and time of
// day with a zone, "2026-01-01T09:00:00Z" or "2026-01-01T11:00:00+02:00" (seconds and their
// fraction may be left out; "t", "z", a space for "T" and "+0200" are read too). Otherwise the
// message saying what is wrong, naming the option as `name`.
Result<double, std::string> readInstant(const std::string& name, const std::string& text);

}  // namespace corvlin::host::cli
