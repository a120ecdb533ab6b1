// Results of settings-store calls: a value or an error that says what failed
// and where (the key path and value name), so that callers can tell "not
// found" from a real failure without exceptions.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace vokar::registry {

enum class ErrorKind {
  NotFound,    // the key or value does not exist
  KeyDeleted,  // the key behind an open handle was deleted meanwhile
  BadName,     // a key path or value name that the store cannot hold
  BadValue,    // string data that is not valid UTF-8 or holds a NUL
  WrongType,   // a typed read found a value of the other type
  Storage,     // the database could not be opened, read or written
};

struct Error {
  ErrorKind kind = ErrorKind::Storage;
  std::string description;  // names the hive, key path and value concerned
};

// The short name of an error kind, for messages ("not found", "storage").
const char* KindName(ErrorKind kind);

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : state_(std::move(error)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  bool IsNotFound() const { return !ok() && error().kind == ErrorKind::NotFound; }

  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(state_); }

  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }

 private:
  std::variant<T, Error> state_;
};

// The result of a call that gives nothing back but may fail.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  bool IsNotFound() const { return failed_ && error_.kind == ErrorKind::NotFound; }
  const Error& error() const { return error_; }

 private:
  Error error_;
  bool failed_ = false;
};

}  // namespace vokar::registry
