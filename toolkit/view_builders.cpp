// The functions that make each kind of view, with no modifiers, in the allocator given or in
// that of the children.
#include <string_view>
#include <utility>

#include "toolkit/view.hpp"

namespace corvlin::ui {

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
