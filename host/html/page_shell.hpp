// The one shell every page is written in: the document's head with its Content-Security-Policy,
// its one style and one script, around the body each page draws for itself.
#pragma once

#include <string>
#include <string_view>

#include "host/html/html_csp.hpp"

namespace corvlin::host::html {

struct PageParts {
  std::string_view title;  // plain text, escaped here
  std::string_view style;
  std::string_view script;
  std::string_view body;  // markup
};

struct ShellPage {
  std::string html;
  std::string contentSecurityPolicy;  // also in the page for a file; for a header when served
};

ShellPage pageShell(const PageParts& parts, PageOrigin origin);

}  // namespace corvlin::host::html
