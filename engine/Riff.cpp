#include "Riff.h"

#include <algorithm>
#include <cstdint>

#include "BlockMemory.h"
#include "FileAccess.h"

namespace vokar::riff {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFormatRecordSize = 16;

std::string Quoted(FourCC id) {
  std::string text = "\"";
  for (char c : id.code) {
    // Codes from a damaged file may hold any byte; keep the text printable.
    const auto byte = static_cast<unsigned char>(c);
    text += (byte >= 0x20 && byte < 0x7f) ? c : '?';
  }
  text += '"';
  return text;
}

// Where the chunk whose header starts at offset ends, pad byte included. Done
// in 64 bits so that a size near 4 GiB cannot wrap.
std::uint64_t ChunkEnd(std::uint64_t offset, std::uint32_t size) {
  return offset + kHeaderSize + size + (size & 1u);
}

Chunk HeaderAt(std::span<const std::uint8_t> file, std::size_t offset) {
  Chunk chunk;
  chunk.id = FourCC::FromBytes(file.subspan(offset).first<4>());
  chunk.declaredSize = ReadU32(file, offset + 4);
  chunk.headerOffset = offset;
  chunk.dataOffset = offset + kHeaderSize;
  return chunk;
}

}  // namespace

FourCC FourCC::FromBytes(std::span<const std::uint8_t, 4> bytes) {
  FourCC id;
  for (std::size_t i = 0; i < 4; ++i) id.code[i] = static_cast<char>(bytes[i]);
  return id;
}

std::string_view CategoryName(ErrorCategory category) {
  switch (category) {
    case ErrorCategory::Open: return "cannot open";
    case ErrorCategory::TooLarge: return "too large";
    case ErrorCategory::Read: return "read error";
    case ErrorCategory::NotRiff: return "not a RIFF form";
    case ErrorCategory::ChunkNotFound: return "chunk not found";
    case ErrorCategory::Truncated: return "truncated";
    case ErrorCategory::BadSize: return "bad chunk size";
    case ErrorCategory::BadValue: return "bad value";
  }
  return "error";
}

std::string Error::ToString() const {
  std::string text(CategoryName(category));
  text += " at byte ";
  text += std::to_string(offset);
  text += ": ";
  text += description;
  return text;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                std::uintmax_t sizeLimit) {
  // A file of exactly the limit is read; the reader says when one goes on
  // past it.
  const auto bound = static_cast<std::size_t>(std::min<std::uintmax_t>(sizeLimit, SIZE_MAX - 1));
  FileContent content = FileAccess().Read(path, bound);
  switch (content.status) {
    case FileStatus::Ok:
      break;
    case FileStatus::NotFound:
      return Error{ErrorCategory::Open, "\"" + path.string() + "\" is not a file that can be read", 0};
    case FileStatus::CannotOpen:
      return Error{ErrorCategory::Open, "cannot open \"" + path.string() + "\"", 0};
    case FileStatus::ReadError:
      return Error{ErrorCategory::Read, "read error in \"" + path.string() + "\"", content.bytes.size()};
  }
  if (content.truncated) {
    return Error{ErrorCategory::TooLarge,
                 "file larger than " + std::to_string(sizeLimit) + " bytes", sizeLimit};
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(content.bytes.size());
  const auto* data = reinterpret_cast<const std::uint8_t*>(content.bytes.data());
  for (std::size_t done = 0; done < content.bytes.size(); done += blocks::kPieceBytes) {
    const std::size_t piece = std::min(blocks::kPieceBytes, content.bytes.size() - done);
    bytes.insert(bytes.end(), data + done, data + done + piece);
  }
  return bytes;
}

Result<CFormReader> CFormReader::Find(std::span<const std::uint8_t> file, FourCC formType) {
  std::uint64_t offset = 0;
  bool sawRiff = false;
  FourCC otherForm;
  while (offset + kHeaderSize <= file.size()) {
    const auto at = static_cast<std::size_t>(offset);
    const Chunk chunk = HeaderAt(file, at);
    if (chunk.id == FourCC("RIFF") && at + kHeaderSize + 4 <= file.size()) {
      const FourCC type = FourCC::FromBytes(file.subspan(at + kHeaderSize).first<4>());
      if (type == formType) {
        const std::size_t begin = at + kHeaderSize + 4;
        const std::uint64_t declaredEnd = std::uint64_t{at} + kHeaderSize + chunk.declaredSize;
        const std::size_t end = static_cast<std::size_t>(
            std::clamp<std::uint64_t>(declaredEnd, begin, file.size()));
        return CFormReader(file, formType, begin, end);
      }
      sawRiff = true;
      otherForm = type;
    }
    offset = ChunkEnd(offset, chunk.declaredSize);
  }
  const auto stop = static_cast<std::uint64_t>(std::min<std::uint64_t>(offset, file.size()));
  if (sawRiff) {
    return Error{ErrorCategory::NotRiff,
                 "RIFF form " + Quoted(otherForm) + " where " + Quoted(formType) + " was expected",
                 stop};
  }
  return Error{ErrorCategory::NotRiff, "no RIFF form " + Quoted(formType) + " in the file", stop};
}

Result<Chunk> CFormReader::NextChunk() {
  if (position_ + kHeaderSize > formEnd_) {
    return Error{ErrorCategory::ChunkNotFound, "no further chunk in the form", position_};
  }
  const Chunk chunk = HeaderAt(file_, position_);
  position_ = static_cast<std::size_t>(
      std::min<std::uint64_t>(ChunkEnd(position_, chunk.declaredSize), formEnd_));
  return chunk;
}

Result<Chunk> CFormReader::FindChunk(FourCC id) {
  std::uint64_t offset = position_;
  while (offset + kHeaderSize <= formEnd_) {
    const Chunk chunk = HeaderAt(file_, static_cast<std::size_t>(offset));
    const std::uint64_t next = ChunkEnd(offset, chunk.declaredSize);
    if (chunk.id == id) {
      position_ = static_cast<std::size_t>(std::min<std::uint64_t>(next, formEnd_));
      return chunk;
    }
    offset = next;
  }
  return Error{ErrorCategory::ChunkNotFound,
               "no " + Quoted(id) + " chunk after byte " + std::to_string(position_),
               std::min<std::uint64_t>(offset, formEnd_)};
}

Result<std::span<const std::uint8_t>> CFormReader::Data(const Chunk& chunk) const {
  const std::uint64_t end = std::uint64_t{chunk.dataOffset} + chunk.declaredSize;
  if (chunk.dataOffset > file_.size() || end > file_.size()) {
    return Error{ErrorCategory::Truncated,
                 Quoted(chunk.id) + " chunk at byte " + std::to_string(chunk.headerOffset) +
                     " declares " + std::to_string(chunk.declaredSize) +
                     " bytes; the file ends after " +
                     std::to_string(file_.size() - std::min(file_.size(), chunk.dataOffset)),
                 file_.size()};
  }
  return file_.subspan(chunk.dataOffset, chunk.declaredSize);
}

Result<PcmForm> OpenPcmForm(std::span<const std::uint8_t> file, FourCC formType) {
  auto reader = CFormReader::Find(file, formType);
  if (!reader) return reader.GetError();
  auto chunk = reader->FindChunk(FourCC("fmt "));
  if (!chunk) return chunk.GetError();
  auto data = reader->Data(*chunk);
  if (!data) return data.GetError();
  if (data->size() < kFormatRecordSize) {
    return Error{ErrorCategory::BadSize,
                 "\"fmt \" chunk of " + std::to_string(data->size()) + " bytes; the format needs 16",
                 chunk->headerOffset + 4};
  }
  WaveFormat format;
  format.formatTag = ReadU16(*data, 0);
  format.channels = ReadU16(*data, 2);
  format.samplesPerSec = ReadU32(*data, 4);
  format.avgBytesPerSec = ReadU32(*data, 8);
  format.blockAlign = ReadU16(*data, 12);
  format.bitsPerSample = ReadU16(*data, 14);
  if (format.formatTag != WaveFormat::kPcm) {
    return Error{ErrorCategory::BadValue,
                 "format tag " + std::to_string(format.formatTag) + " is not PCM (1)",
                 chunk->dataOffset};
  }
  return PcmForm{*reader, format};
}

}  // namespace vokar::riff
