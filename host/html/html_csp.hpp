// The preview page's Content-Security-Policy: SHA-256 source hashes of its one style and script.
#pragma once

#include <string>
#include <string_view>

namespace corvlin::host::html {

// "'sha256-<base64 digest>'", the source expression that admits exactly this inline text
// (digest and base64 from OpenSSL's libcrypto).
std::string hashSource(std::string_view inlineText);

// Nothing may load from anywhere; only the page's own style and script (by hash) may apply.
std::string contentSecurityPolicy(std::string_view style, std::string_view script);

}  // namespace corvlin::host::html
