// Overloaded: one visitor from several lambdas, for std::visit over a variant.
#pragma once

namespace corvlin {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace corvlin
