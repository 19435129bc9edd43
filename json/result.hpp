// Result<T, E>: a value or the error that prevented it; the one error-return type.
#pragma once

#include <utility>
#include <variant>

namespace corvlin {

template <class E>
struct Failure {
  E error;
};

template <class E>
Failure(E) -> Failure<E>;

template <class T, class E>
class [[nodiscard]] Result {
 public:
  using value_type = T;
  using error_type = E;

  Result(const T& value) : storage_(std::in_place_index<0>, value) {}        // NOLINT: implicit
  Result(T&& value) : storage_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
  template <class F>
  Result(Failure<F> failure)  // NOLINT: implicit
      : storage_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool ok() const noexcept { return storage_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  const T& value() const& { return std::get<0>(storage_); }
  T& value() & { return std::get<0>(storage_); }
  T&& value() && { return std::get<0>(std::move(storage_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }

  const E& error() const& { return std::get<1>(storage_); }
  E&& error() && { return std::get<1>(std::move(storage_)); }

 private:
  std::variant<T, E> storage_;
};

}  // namespace corvlin
