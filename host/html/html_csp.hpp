// The pages' Content-Security-Policy: SHA-256 source hashes of each page's one style and script.
#pragma once

#include <string>
#include <string_view>

namespace corvlin::host::html {

// "'sha256-<base64 digest>'", the source expression that admits exactly this inline text
// (digest and base64 from OpenSSL's libcrypto).
std::string hashSource(std::string_view inlineText);

// Where a page is opened from. A file connects nowhere and carries its policy in a meta
// element; a served page connects back to its own origin for its event stream, may not be
// framed, and has its policy sent as a header.
enum class PageOrigin { file, served };

// Nothing may load from anywhere; only the page's own style and script (by hash) may apply.
std::string contentSecurityPolicy(std::string_view style, std::string_view script,
                                  PageOrigin origin = PageOrigin::file);

}  // namespace corvlin::host::html
