// The preview page's stylesheet and script, compiled in from host/preview/.
#pragma once

#include <string_view>

namespace corvlin::host::html {

std::string_view pageStylesheet();
std::string_view pageScript();

}  // namespace corvlin::host::html
