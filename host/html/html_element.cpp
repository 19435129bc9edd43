#include "host/html/html_element.hpp"

#include <charconv>
#include <cmath>

#include "json/writer.hpp"

namespace corvlin::host::html {

const std::string* Element::attribute(std::string_view name) const {
  for (const auto& [key, value] : attributes) {
    if (key == name) return &value;
  }
  return nullptr;
}

const std::string* Element::styleValue(std::string_view property) const {
  for (const auto& [key, value] : style) {
    if (key == property) return &value;
  }
  return nullptr;
}

bool Element::hasClass(std::string_view name) const {
  for (const auto& c : classes) {
    if (c == name) return true;
  }
  return false;
}

void Element::setStyle(std::string property, std::string value) {
  for (auto& [key, existing] : style) {
    if (key == property) {
      existing = std::move(value);
      return;
    }
  }
  style.emplace_back(std::move(property), std::move(value));
}

void Element::setAttribute(std::string name, std::string value) {
  for (auto& [key, existing] : attributes) {
    if (key == name) {
      existing = std::move(value);
      return;
    }
  }
  attributes.emplace_back(std::move(name), std::move(value));
}

Element element(std::string tag, std::vector<std::string> classes) {
  Element e;
  e.tag = std::move(tag);
  e.classes = std::move(classes);
  return e;
}

Element textElement(std::string tag, std::string text, std::vector<std::string> classes) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

const std::string& GeneratedStyles::classFor(const std::string& block) {
  auto found = classByBlock.find(block);
  if (found != classByBlock.end()) return found->second;
  std::string name = prefix + std::to_string(classByBlock.size());
  rules += "." + name + "{" + block + "}\n";
  return classByBlock.emplace(block, std::move(name)).first->second;
}

namespace {

// Appends `text` escaped, copying the runs that need no escape whole.
void appendEscaped(std::string& out, std::string_view text) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string_view replacement;
    switch (text[i]) {
      case '&':
        replacement = "&amp;";
        break;
      case '<':
        replacement = "&lt;";
        break;
      case '>':
        replacement = "&gt;";
        break;
      case '"':
        replacement = "&quot;";
        break;
      case '\'':
        replacement = "&#39;";
        break;
      case '\0':
        replacement = "\xEF\xBF\xBD";
        break;
      default:
        continue;
    }
    out.append(text.substr(run, i - run));
    out.append(replacement);
    run = i + 1;
  }
  out.append(text.substr(run));
}

}  // namespace

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text);
  return out;
}

// Appends in place: this runs for every element of every drawing the server sends.
void write(const Element& e, GeneratedStyles& styles, std::string& out) {
  out += '<';
  out += e.tag;
  std::string classes;
  for (const auto& c : e.classes) {
    if (!classes.empty()) classes += ' ';
    classes += c;
  }
  if (!e.style.empty()) {
    std::string block;
    for (const auto& [property, value] : e.style) {
      block += property;
      block += ':';
      block += value;
      block += ';';
    }
    if (!classes.empty()) classes += ' ';
    classes += styles.classFor(block);
  }
  if (!classes.empty()) {
    out += " class=\"";
    appendEscaped(out, classes);
    out += '"';
  }
  for (const auto& [name, value] : e.attributes) {
    out += ' ';
    out += name;
    out += "=\"";
    appendEscaped(out, value);
    out += '"';
  }
  out += '>';
  // A void element has no content and no end tag.
  if (e.tag == "input" || e.tag == "br" || e.tag == "meta") return;
  appendEscaped(out, e.text);
  for (const auto& child : e.children) write(child, styles, out);
  out += "</";
  out += e.tag;
  out += '>';
}

std::string number(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";  // also turns -0 into 0
  std::string out;
  json::appendNumber(out, value);
  return out;
}

}  // namespace corvlin::host::html
