// `corvlin-host decode` for a remote update's body: checked, warned about, written back.
#pragma once

#include <string_view>

#include "host/cli/commands.hpp"

namespace corvlin::host {

// Whether `bytes` reads as an envelope: a JSON object with an "aps" member.
bool isEnvelope(std::string_view bytes);

// Decodes an envelope and writes it back as one line, {"aps":{...}}, with its warnings on
// standard error; or one error line and exitDataError. With `strict`, a warning fails it with
// exitDataError, after the line is written.
int runDecodeEnvelope(std::string_view bytes, bool strict, Environment& env);

}  // namespace corvlin::host
