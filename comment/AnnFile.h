// Comment files (".ann"): a 32-bit little-endian length n, then n bytes of
// text in code page 1250 with CR LF line breaks, no terminator and no other
// header. The same bytes are a comment's data wherever it is stored. Every
// comment is read and written here: reading checks the length against the
// limit and against the bytes present; writing refuses what reading would
// refuse and never leaves a half-written file in place of the old one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "RegularFile.h"

namespace vokar::comment {

// The longest text a comment holds (0xFFFFF bytes).
inline constexpr std::uint32_t kMaxCommentBytes = 1048575;
// The length field before the text.
inline constexpr std::size_t kLengthFieldSize = 4;

enum class AnnError {
  None,
  NoLength,       // fewer than four bytes: the length itself is cut off
  TooLong,        // the length is above kMaxCommentBytes
  TruncatedText,  // the file ends before the text the length announces
  File,           // the file could not be opened or read (fileError says why)
};

// The outcome of reading a comment: the text, or where and why it failed.
struct AnnRead {
  std::string text;  // code page 1250, CR LF line breaks
  AnnError error = AnnError::None;
  files::FileError fileError = files::FileError::None;
  std::uint64_t offset = 0;    // where reading failed: 0 for the length, 4 for the text
  std::uint64_t declared = 0;  // the length the file announces (when it has one)
  std::uint64_t present = 0;   // the bytes the file holds (at most what was read)

  bool ok() const { return error == AnnError::None; }
};

// Reads a comment from its bytes. Bytes after the announced text are not
// part of the comment and are ignored.
AnnRead ParseAnn(std::string_view bytes);

// Reads a comment file. Only a regular file is opened.
AnnRead ReadAnnFile(const std::filesystem::path& path);

// An English description of a failed read for logs and tools, with the
// offset and the numbers: "at byte 4: the length announces 10 bytes of text,
// the file holds 7".
std::string DescribeAnnError(const AnnRead& read);

// The bytes of a comment file holding the text. The caller makes sure the
// text is not longer than kMaxCommentBytes (CanStore).
std::string EncodeAnn(std::string_view cp1250Text);

inline bool CanStore(std::string_view cp1250Text) { return cp1250Text.size() <= kMaxCommentBytes; }

enum class SaveError {
  None,
  TooLong,      // the text is longer than a comment holds; nothing was written
  CannotWrite,  // the folder or the file could not be written; the old file is untouched
};

struct AnnSave {
  SaveError error = SaveError::None;
  std::string reason;  // the system's reason for CannotWrite
  bool ok() const { return error == SaveError::None; }
};

// Writes the comment to path: first into a new file beside it, flushed to the
// disk, then renamed over the old one, so that a failure at any step leaves
// the old file as it was. An existing file keeps its permissions; a symbolic
// link keeps pointing where it pointed, at the new text.
AnnSave WriteAnnFile(const std::filesystem::path& path, std::string_view cp1250Text);

}  // namespace vokar::comment
