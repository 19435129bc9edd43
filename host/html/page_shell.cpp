#include "host/html/page_shell.hpp"

#include "host/html/html_element.hpp"

namespace corvlin::host::html {

ShellPage pageShell(const PageParts& parts, PageOrigin origin) {
  ShellPage page;
  page.contentSecurityPolicy = contentSecurityPolicy(parts.style, parts.script, origin);
  std::string& out = page.html;
  out.reserve(parts.style.size() + parts.script.size() + parts.body.size() + 1024);
  out += "<!doctype html>\n<html lang=\"en\" dir=\"ltr\">\n<head>\n<meta charset=\"utf-8\">\n";
  if (origin == PageOrigin::file) {
    out += "<meta http-equiv=\"Content-Security-Policy\" content=\"" +
           escape(page.contentSecurityPolicy) + "\">\n";
  }
  out += "<meta name=\"referrer\" content=\"no-referrer\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "<title>" + escape(parts.title) + "</title>\n";
  out += "<style>";
  out += parts.style;
  out += "</style>\n</head>\n<body>\n";
  out += parts.body;
  out += "\n<script>";
  out += parts.script;
  out += "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace corvlin::host::html
