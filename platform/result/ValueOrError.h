// The result of a platform call that makes a value: the value, or the error
// (the library's own type) that says what failed and where. Each library
// names its instance Result<T> and adds its own questions about the error.
#pragma once

#include <utility>
#include <variant>

namespace vokar {

template <class T, class E>
class [[nodiscard]] ValueOrError {
 public:
  ValueOrError(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  ValueOrError(E error) : state_(std::move(error)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const E& error() const { return std::get<1>(state_); }

  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }

 private:
  std::variant<T, E> state_;
};

}  // namespace vokar
