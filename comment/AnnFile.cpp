#include "AnnFile.h"

#include "ReplaceFile.h"

namespace vokar::comment {
namespace {

std::uint32_t LittleEndian32(std::string_view bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  return value;
}

}  // namespace

AnnRead ParseAnn(std::string_view bytes) {
  AnnRead read;
  read.present = bytes.size();
  if (bytes.size() < kLengthFieldSize) {
    read.error = AnnError::NoLength;
    return read;
  }
  const std::uint32_t length = LittleEndian32(bytes);
  read.declared = length;
  if (length > kMaxCommentBytes) {
    read.error = AnnError::TooLong;
    return read;
  }
  if (bytes.size() - kLengthFieldSize < length) {
    read.error = AnnError::TruncatedText;
    read.offset = kLengthFieldSize;
    return read;
  }
  read.text.assign(bytes.substr(kLengthFieldSize, length));
  return read;
}

AnnRead ReadAnnFile(const std::filesystem::path& path) {
  // Nothing past the longest comment can matter, so no more is read.
  const files::FileRead file = files::ReadRegularFile(path, kLengthFieldSize + kMaxCommentBytes);
  if (!file.ok()) {
    AnnRead read;
    read.error = AnnError::File;
    read.fileError = file.error;
    return read;
  }
  return ParseAnn(file.bytes);
}

std::string DescribeAnnError(const AnnRead& read) {
  const std::string at = "at byte " + std::to_string(read.offset) + ": ";
  switch (read.error) {
    case AnnError::None:
      return "no error";
    case AnnError::NoLength:
      return at + "the file holds " + std::to_string(read.present) + " bytes, fewer than the 4 of the length";
    case AnnError::TooLong:
      return at + "the length " + std::to_string(read.declared) + " is above the limit of " +
             std::to_string(kMaxCommentBytes) + " bytes";
    case AnnError::TruncatedText:
      return at + "the length announces " + std::to_string(read.declared) + " bytes of text, the file holds " +
             std::to_string(read.present - kLengthFieldSize);
    case AnnError::File:
      return std::string("the file cannot be read: ") + files::FileErrorName(read.fileError);
  }
  return "unknown error";
}

std::string EncodeAnn(std::string_view cp1250Text) {
  const auto length = static_cast<std::uint32_t>(cp1250Text.size());
  std::string bytes;
  bytes.reserve(kLengthFieldSize + cp1250Text.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  bytes.append(cp1250Text);
  return bytes;
}

AnnSave WriteAnnFile(const std::filesystem::path& path, std::string_view cp1250Text) {
  AnnSave save;
  if (!CanStore(cp1250Text)) {
    save.error = SaveError::TooLong;
    return save;
  }
  save.reason = ReplaceFileContents(path, EncodeAnn(cp1250Text));
  if (!save.reason.empty()) save.error = SaveError::CannotWrite;
  return save;
}

}  // namespace vokar::comment
