// A reader of RIFF files held whole in memory: the allophone file and wave
// files. Chunks are types, errors are values that say what failed and at which
// byte offset, and nothing is ever read past a chunk's declared size or the
// end of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "WaveFormat.h"

namespace vokar::riff {

// A four-character chunk or form code such as "fmt " or "ALOF".
struct FourCC {
  std::array<char, 4> code{};

  constexpr FourCC() = default;
  // Takes a literal of exactly four characters: FourCC("data").
  consteval FourCC(const char (&text)[5]) : code{text[0], text[1], text[2], text[3]} {}
  static FourCC FromBytes(std::span<const std::uint8_t, 4> bytes);

  std::string_view View() const { return {code.data(), code.size()}; }
  bool operator==(const FourCC&) const = default;
};

enum class ErrorCategory {
  Open,           // the file could not be opened
  TooLarge,       // the file is larger than the reader accepts
  Read,           // the operating system reported a read error
  NotRiff,        // no RIFF form of the wanted type at the top of the file
  ChunkNotFound,  // a forward search for a chunk reached the end of its form
  Truncated,      // a chunk declares more bytes than the file holds
  BadSize,        // a chunk's size is not what its contents need
  BadValue,       // a field holds a value the reader refuses
};

std::string_view CategoryName(ErrorCategory category);

struct Error {
  ErrorCategory category = ErrorCategory::Read;
  std::string description;
  // Byte offset in the file where reading failed.
  std::uint64_t offset = 0;

  // "truncated at byte 1234: ..." for logs and tools.
  std::string ToString() const;
};

// A value or the error that prevented it; a small stand-in for std::expected,
// which C++20 lacks.
template <class T, class E = Error>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool HasValue() const { return state_.index() == 0; }
  explicit operator bool() const { return HasValue(); }

  T& Value() { return std::get<0>(state_); }
  const T& Value() const { return std::get<0>(state_); }
  T& operator*() { return Value(); }
  const T& operator*() const { return Value(); }
  T* operator->() { return &Value(); }
  const T* operator->() const { return &Value(); }

  const E& GetError() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

// Files larger than this are refused before they are read. The biggest file
// the engine reads, the allophone file, is a few megabytes.
inline constexpr std::uintmax_t kDefaultSizeLimit = 64u * 1024u * 1024u;

// Reads a whole file into memory through the engine's file reader (so only
// a regular file is read). Errors: Open (missing, not a regular file, no
// permission), TooLarge (offset = the limit), Read.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                std::uintmax_t sizeLimit = kDefaultSizeLimit);

// One chunk as found in the file. The declared size is kept as written; the
// bytes of the chunk are reached only through CFormReader::Data, which checks
// it against the file.
struct Chunk {
  FourCC id;
  std::uint32_t declaredSize = 0;
  std::size_t headerOffset = 0;  // offset of the chunk's 8-byte header
  std::size_t dataOffset = 0;    // headerOffset + 8
};

// The inside of one RIFF form with a current position, as the platform's
// multimedia file functions kept it: chunks are searched forward from the
// position, so the order of chunks in the file matters, and a chunk of odd
// size is followed by one pad byte.
//
// Sizes that do not fit the file:
// - The RIFF chunk itself may declare more than the file holds (writers that
//   died before fixing the size leave such files). The platform read them, so
//   the form's extent is clamped to the end of the file.
// - A chunk inside the form is found by its header alone; a search never
//   reads past the form's extent. Asking for the data of a chunk whose
//   declared size runs past the end of the file is a Truncated error at the
//   file's end: the platform's read came back short there, and every caller
//   treats a short read as a failure.
class CFormReader {
 public:
  // Searches the top level of the file from its start for a RIFF chunk of
  // the form type, skipping other chunks. NotRiff when none is found.
  static Result<CFormReader> Find(std::span<const std::uint8_t> file, FourCC formType);

  // Searches forward from the current position for the next chunk with this
  // id. On success the position moves past the found chunk (and its pad byte);
  // on failure (ChunkNotFound, offset = where the search gave up) it stays.
  Result<Chunk> FindChunk(FourCC id);

  // The chunk that starts at the current position, whatever its id, or
  // ChunkNotFound at the end of the form. Moves past it like FindChunk.
  Result<Chunk> NextChunk();

  // Exactly the chunk's declared bytes, or Truncated when the file ends
  // before them.
  Result<std::span<const std::uint8_t>> Data(const Chunk& chunk) const;

  FourCC FormType() const { return formType_; }
  std::size_t Position() const { return position_; }
  // One past the last byte of the form (clamped to the file).
  std::size_t FormEnd() const { return formEnd_; }
  std::span<const std::uint8_t> File() const { return file_; }

 private:
  CFormReader(std::span<const std::uint8_t> file, FourCC formType, std::size_t begin,
              std::size_t end)
      : file_(file), formType_(formType), position_(begin), formEnd_(end) {}

  std::span<const std::uint8_t> file_;
  FourCC formType_;
  std::size_t position_ = 0;
  std::size_t formEnd_ = 0;
};

// The opening steps shared by the allophone file and wave files: the RIFF form
// of the wanted type, then its "fmt " chunk, which must hold a PCM format.
struct PcmForm {
  CFormReader reader;
  WaveFormat format;
};

// Errors: NotRiff; ChunkNotFound for a missing "fmt "; BadSize for a "fmt "
// shorter than the 16 bytes of the record; BadValue when the format tag is
// not PCM. A longer "fmt " (the 18-byte form with an extra-size field) is
// read for its first 16 bytes.
Result<PcmForm> OpenPcmForm(std::span<const std::uint8_t> file, FourCC formType);

// Little-endian fields; the caller has checked the span is long enough.
std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace vokar::riff
