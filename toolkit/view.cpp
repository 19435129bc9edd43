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

}  // namespace corvlin::ui
