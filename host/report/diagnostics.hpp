// The lines corvlin-host writes on standard error: what failed (a decoding error, an extension's
// failure) as JSON naming the activity of a list, and warnings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "json/error.hpp"
#include "protocol/extension_failure.hpp"

namespace corvlin::host {

using protocol::ExtensionFailure;

// {"error":{"kind":...,"codingPath":[...],"description":...,"activity":I}}, the last member
// only for an activity of a list, counted from 0 like the coding path.
std::string errorLine(const DecodingError& error, std::optional<std::size_t> activity = {});

// {"extensionFailure":{"kind":...,"description":...,"activity":I}}, likewise.
std::string extensionFailureLine(const ExtensionFailure& failure,
                                 std::optional<std::size_t> activity = {});

}  // namespace corvlin::host
