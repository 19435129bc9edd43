// The preview page's Content-Security-Policy: SHA-256 source hashes of its one style and script.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvlin::host::html {

// The SHA-256 digest of `bytes` (FIPS 180-4).
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

// Standard base64 with padding, the form a CSP hash source takes.
std::string base64(const std::uint8_t* data, std::size_t size);

// "'sha256-<base64 digest>'", the source expression that admits exactly this inline text.
std::string hashSource(std::string_view inlineText);

// Nothing may load from anywhere; only the page's own style and script (by hash) may apply.
std::string contentSecurityPolicy(std::string_view style, std::string_view script);

}  // namespace corvlin::host::html
