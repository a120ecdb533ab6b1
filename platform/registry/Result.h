// Results of settings-store calls: a value or an error that says what failed
// and where (the key path and value name), so that callers can tell "not
// found" from a real failure without exceptions.
#pragma once

#include <string>
#include <utility>

#include "ValueOrError.h"

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
class [[nodiscard]] Result : public ValueOrError<T, Error> {
 public:
  using ValueOrError<T, Error>::ValueOrError;

  bool IsNotFound() const { return !this->ok() && this->error().kind == ErrorKind::NotFound; }
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
