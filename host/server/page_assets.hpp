// The server page's own stylesheet and script, compiled in from host/html/preview/serve.*.
#pragma once

#include <string_view>

namespace corvlin::host::server {

std::string_view serveStylesheet();
std::string_view serveScript();

}  // namespace corvlin::host::server
