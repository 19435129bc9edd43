#include "views/toolkit/view.hpp"

namespace corvlin::ui {

Boxed::Boxed() : view_(std::make_unique<View>(View{EmptyView{}, {}})) {}
Boxed::Boxed(View view) : view_(std::make_unique<View>(std::move(view))) {}
Boxed::Boxed(const Boxed& other) : view_(std::make_unique<View>(*other.view_)) {}
Boxed& Boxed::operator=(const Boxed& other) {
  if (this != &other) view_ = std::make_unique<View>(*other.view_);
  return *this;
}
Boxed::~Boxed() = default;

bool operator==(const Boxed& a, const Boxed& b) { return *a.view_ == *b.view_; }

bool operator==(const HStack& a, const HStack& b) {
  return a.alignment == b.alignment && a.spacing == b.spacing && a.children == b.children;
}
bool operator==(const VStack& a, const VStack& b) {
  return a.alignment == b.alignment && a.spacing == b.spacing && a.children == b.children;
}
bool operator==(const ZStack& a, const ZStack& b) {
  return a.alignment == b.alignment && a.children == b.children;
}
bool operator==(const ForEach& a, const ForEach& b) { return a.children == b.children; }

View View::with(Modifier modifier) && {
  // Views carry a handful of modifiers; one allocation instead of three as the list grows.
  if (modifiers.empty()) modifiers.reserve(4);
  modifiers.push_back(std::move(modifier));
  return std::move(*this);
}

View View::with(Modifier modifier) const& {
  View copy = *this;
  copy.modifiers.push_back(std::move(modifier));
  return copy;
}

View text(std::string content) { return {Text{std::move(content)}, {}}; }
View hstack(VerticalAlignment alignment, double spacing, std::vector<View> children) {
  return {HStack{alignment, spacing, std::move(children)}, {}};
}
View vstack(HorizontalAlignment alignment, double spacing, std::vector<View> children) {
  return {VStack{alignment, spacing, std::move(children)}, {}};
}
View zstack(Alignment alignment, std::vector<View> children) {
  return {ZStack{alignment, std::move(children)}, {}};
}
View image(std::string systemName) { return {Image{std::move(systemName)}, {}}; }
View circle() { return {Circle{}, {}}; }
View capsule(RoundedCornerStyle style) { return {Capsule{style}, {}}; }
View emptyView() { return {EmptyView{}, {}}; }
View forEach(std::vector<View> children) { return {ForEach{std::move(children)}, {}}; }
View link(std::string destination, View label) {
  return {Link{std::move(destination), std::move(label)}, {}};
}

}  // namespace corvlin::ui
