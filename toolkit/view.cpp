#include "toolkit/view.hpp"

namespace corvlin::ui {

namespace {

View* newView(std::pmr::memory_resource* memory, View view) {
  return std::pmr::polymorphic_allocator<View>(memory).new_object<View>(std::move(view));
}

}  // namespace

Boxed::Boxed()
    : view_(newView(std::pmr::get_default_resource(), emptyView())),
      memory_(std::pmr::get_default_resource()) {}
Boxed::Boxed(View view) : memory_(allocatorOf(view).resource()) {
  view_ = newView(memory_, std::move(view));
}
Boxed::Boxed(const Boxed& other) : memory_(std::pmr::get_default_resource()) {
  view_ = newView(memory_, *other.view_);
}
Boxed::Boxed(Boxed&& other) noexcept
    : view_(std::exchange(other.view_, nullptr)), memory_(other.memory_) {}
Boxed& Boxed::operator=(const Boxed& other) {
  if (this != &other) *this = Boxed(other);
  return *this;
}
Boxed& Boxed::operator=(Boxed&& other) noexcept {
  if (this != &other) {
    std::swap(view_, other.view_);
    std::swap(memory_, other.memory_);
  }
  return *this;
}
Boxed::~Boxed() {
  if (view_ != nullptr) std::pmr::polymorphic_allocator<View>(memory_).delete_object(view_);
}

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

View text(std::string_view content, Allocator allocator) {
  return {Text{std::pmr::string(content, allocator)}, Modifiers(allocator)};
}
View timerText(TimerText timer, Allocator allocator) { return {timer, Modifiers(allocator)}; }
View hstack(VerticalAlignment alignment, double spacing, Views children) {
  Modifiers modifiers(children.get_allocator());
  return {HStack{alignment, spacing, std::move(children)}, std::move(modifiers)};
}
View vstack(HorizontalAlignment alignment, double spacing, Views children) {
  Modifiers modifiers(children.get_allocator());
  return {VStack{alignment, spacing, std::move(children)}, std::move(modifiers)};
}
View zstack(Alignment alignment, Views children) {
  Modifiers modifiers(children.get_allocator());
  return {ZStack{alignment, std::move(children)}, std::move(modifiers)};
}
View image(std::string_view systemName, Allocator allocator) {
  return {Image{std::pmr::string(systemName, allocator)}, Modifiers(allocator)};
}
View circle(Allocator allocator) { return {Circle{}, Modifiers(allocator)}; }
View capsule(RoundedCornerStyle style, Allocator allocator) {
  return {Capsule{style}, Modifiers(allocator)};
}
View emptyView(Allocator allocator) { return {EmptyView{}, Modifiers(allocator)}; }
View forEach(Views children) {
  Modifiers modifiers(children.get_allocator());
  return {ForEach{std::move(children)}, std::move(modifiers)};
}
View link(std::string_view destination, View label) {
  const Allocator allocator = allocatorOf(label);
  return {Link{std::pmr::string(destination, allocator), std::move(label)}, Modifiers(allocator)};
}

}  // namespace corvlin::ui
