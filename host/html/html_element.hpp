// A small HTML element tree: what the preview builds before it writes the page as text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvlin::host::html {

// One element. Attribute values and text are kept raw and escaped when written; style
// declarations become a generated class, so that the page needs no style attributes.
struct Element {
  std::string tag;
  std::vector<std::string> classes;                             // classes of the page's stylesheet
  std::vector<std::pair<std::string, std::string>> attributes;  // in the order written
  std::vector<std::pair<std::string, std::string>> style;       // CSS property, value
  std::string text;                                             // text before the children
  std::vector<Element> children;

  const std::string* attribute(std::string_view name) const;
  const std::string* styleValue(std::string_view property) const;
  bool hasClass(std::string_view name) const;
  // Sets a declaration, replacing an earlier one for the same property.
  void setStyle(std::string property, std::string value);
  void setAttribute(std::string name, std::string value);
};

Element element(std::string tag, std::vector<std::string> classes = {});
// An element whose only content is `text`.
Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {});

// Collects the declaration blocks of a page, one generated class per distinct block.
struct GeneratedStyles {
  std::string prefix = "g";  // the classes' names: prefix and a number
  std::map<std::string, std::string> classByBlock;
  std::string rules;  // ".g0{...}\n.g1{...}\n" in order of first use

  const std::string& classFor(const std::string& block);
};

// Escapes & < > " and ' so that a text or attribute value can never become markup; a NUL
// becomes U+FFFD, which is what a browser would read in its place.
std::string escape(std::string_view text);

// Writes the element and its subtree; its style blocks are added to `styles`.
void write(const Element& element, GeneratedStyles& styles, std::string& out);

// A number for CSS or an attribute: shortest round-trip form, "0" for anything not finite.
std::string number(double value);

}  // namespace corvlin::host::html
