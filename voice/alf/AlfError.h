// Errors of the allophone-file tools as values: what kind of input failed,
// where (file and byte offset or line) and why, so that a bad manifest or a
// damaged source names the exact place.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace vokar::alf {

enum class ErrorKind { Manifest, Source, AlfFile, Io };

struct AlfError {
  ErrorKind kind = ErrorKind::Io;
  std::string file;         // the file that was read or written, may be empty
  std::size_t position = 0; // byte offset (sources, allophone files) or line (manifests)
  std::string description;

  // "manifest voice.txt line 12: unknown option 'gian'" and the like.
  std::string ToString() const;
};

AlfError MakeError(ErrorKind kind, std::string file, std::size_t position, std::string description);

// A value or the error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(AlfError error) : value_(std::move(error)) {}

  bool Ok() const { return std::holds_alternative<T>(value_); }
  explicit operator bool() const { return Ok(); }
  T& Value() { return std::get<T>(value_); }
  const T& Value() const { return std::get<T>(value_); }
  T& operator*() { return Value(); }
  T* operator->() { return &Value(); }
  const AlfError& Error() const { return std::get<AlfError>(value_); }

 private:
  std::variant<T, AlfError> value_;
};

}  // namespace vokar::alf
