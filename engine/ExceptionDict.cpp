#include "ExceptionDict.h"

#include <utility>

#include "Cp1250.h"
#include "FileAccess.h"

namespace vokar {

namespace {

constexpr std::size_t kSizeLimit = 64u * 1024u * 1024u;
constexpr char kEndOfText = '\x1A';

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool CExceptionDict::Load(const std::filesystem::path& path) {
  map_.clear();
  path_ = path;

  FileContent content = FileAccess().Read(path, kSizeLimit);
  if (content.status == FileStatus::NotFound || content.status == FileStatus::CannotOpen) return false;
  // A file past the limit is no dictionary anyone wrote: none of it is read.
  if (content.truncated) return false;
  const bool readFailed = content.status == FileStatus::ReadError;
  std::string bytes = std::move(content.bytes);
  if (readFailed) {
    // Keep only the whole lines read before the failure.
    const auto lastLineEnd = bytes.rfind('\n');
    bytes.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
  }
  // A whole file or its whole lines: no character is cut at the end.
  LoadFromText(cp1250::IncomingText(bytes));
  return !readFailed;
}

void CExceptionDict::LoadFromText(std::string_view text) {
  if (const auto end = text.find(kEndOfText); end != std::string_view::npos) {
    text = text.substr(0, end);
  }
  while (!text.empty()) {
    const auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (newline != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    do {
      const auto piece = line.substr(0, kPieceLength);
      line.remove_prefix(piece.size());
      AddPiece(piece);
    } while (!line.empty());
  }
}

void CExceptionDict::AddPiece(std::string_view piece) {
  piece = piece.substr(0, piece.find('\0'));
  std::size_t keyEnd = 0;
  while (keyEnd < piece.size() && !IsSeparator(piece[keyEnd])) ++keyEnd;
  std::size_t valueStart = keyEnd;
  while (valueStart < piece.size() && IsSeparator(piece[valueStart])) ++valueStart;
  if (keyEnd == 0 || valueStart == piece.size()) return;
  map_.insert_or_assign(std::string(piece.substr(0, keyEnd)), std::string(piece.substr(valueStart)));
}

std::optional<std::string_view> CExceptionDict::Lookup(std::string_view key) const {
  const auto it = map_.find(key);
  if (it == map_.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::optional<std::string_view> CExceptionDict::LookupWord(std::string_view word) const {
  if (auto hit = Lookup(word)) return hit;
  if (word.empty()) return std::nullopt;
  const auto first = static_cast<unsigned char>(word.front());
  if (!cp1250::IsUpper(first)) return std::nullopt;
  const unsigned char folded = cp1250::FoldPolish(first);
  if (folded == first) return std::nullopt;
  std::string lower(word);
  lower.front() = static_cast<char>(folded);
  return Lookup(lower);
}

}  // namespace vokar
