#include "VersionReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "VersionRecordFormat.h"

namespace vokar::version {
namespace {

// Where the bytes come from: a file read piece by piece (an executable with
// debug information can be large) or a block in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly n bytes at offset; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t n) const = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t n) const override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, n);
    return true;
  }

 private:
  std::span<const unsigned char> bytes_;
};

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t n) const override {
    if (offset > size_ || n > size_ - offset) return false;
    auto* target = static_cast<unsigned char*>(out);
    while (n > 0) {
      const ssize_t got = ::pread(fd_, target, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      target += got;
      offset += static_cast<std::uint64_t>(got);
      n -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

VersionError Fail(VersionErrorKind kind, std::string description, std::uint64_t offset) {
  return VersionError{kind, std::move(description), offset};
}

// The parts of the ELF layout that finding a section by name needs, for the
// 32-bit and the 64-bit class.
struct ElfLayout {
  bool is64 = false;
  bool bigEndian = false;
  std::size_t headerSize = 0;
  std::size_t shoffAt = 0, shentsizeAt = 0, shnumAt = 0, shstrndxAt = 0;
  std::size_t sectionHeaderSize = 0;
  std::size_t nameAt = 0, typeAt = 0, offsetAt = 0, sizeAt = 0, linkAt = 0;
};

constexpr ElfLayout kElf32{false, false, 52, 0x20, 0x2E, 0x30, 0x32, 40, 0x00, 0x04, 0x10, 0x14, 0x18};
constexpr ElfLayout kElf64{true, false, 64, 0x28, 0x3A, 0x3C, 0x3E, 64, 0x00, 0x04, 0x18, 0x20, 0x28};

constexpr std::uint32_t kSectionNoBits = 8;
constexpr std::uint16_t kExtendedIndex = 0xFFFF;
// More sections than any real executable has; a count above it is damage.
constexpr std::uint64_t kMaxSections = 1u << 20;

class ElfReader {
 public:
  ElfReader(const ByteSource& source, const ElfLayout& layout) : source_(source), layout_(layout) {}

  std::optional<std::uint64_t> Number(std::uint64_t offset, std::size_t width) const {
    std::array<unsigned char, 8> bytes{};
    if (!source_.ReadAt(offset, bytes.data(), width)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t index = layout_.bigEndian ? i : width - 1 - i;
      value = (value << 8) | bytes[index];
    }
    return value;
  }
  std::size_t AddressWidth() const { return layout_.is64 ? 8 : 4; }

 private:
  const ByteSource& source_;
  const ElfLayout& layout_;
};

struct Section {
  std::uint64_t name = 0, type = 0, offset = 0, size = 0, link = 0;
};

VersionResult ParseRecord(const ByteSource& source, const Section& section, std::uint64_t headerOffset) {
  if (section.type == kSectionNoBits || section.size < kRecordSize) {
    return Fail(VersionErrorKind::Malformed, "the version section is too small for a record", headerOffset);
  }
  std::array<unsigned char, kRecordSize> record{};
  if (!source.ReadAt(section.offset, record.data(), record.size())) {
    return Fail(VersionErrorKind::Malformed, "the version section lies outside the file", section.offset);
  }
  if (std::memcmp(record.data(), kRecordMagic.data(), kRecordMagic.size()) != 0) {
    return Fail(VersionErrorKind::Malformed, "the version section does not begin with VOKARVER", section.offset);
  }
  const auto get16 = [&](std::size_t at) { return static_cast<std::uint16_t>(record[at] | (record[at + 1] << 8)); };
  if (get16(kFormatOffset) != kRecordFormat) {
    return Fail(VersionErrorKind::Malformed, "unknown version record format " + std::to_string(get16(kFormatOffset)),
                section.offset + kFormatOffset);
  }
  const std::uint16_t recordSize = get16(kSizeOffset);
  if (recordSize < kRecordSize || recordSize > section.size) {
    return Fail(VersionErrorKind::Malformed, "the version record's size does not fit its section",
                section.offset + kSizeOffset);
  }
  const auto name = [&](std::size_t at) {
    const auto* start = reinterpret_cast<const char*>(record.data() + at);
    return std::string(start, strnlen(start, kNameLength));
  };
  FileVersion version;
  version.major = get16(kNumbersOffset);
  version.minor = get16(kNumbersOffset + 2);
  version.patch = get16(kNumbersOffset + 4);
  version.build = get16(kNumbersOffset + 6);
  version.company = name(kCompanyOffset);
  version.product = name(kProductOffset);
  return version;
}

VersionResult ReadFrom(const ByteSource& source) {
  std::array<unsigned char, 16> ident{};
  if (!source.ReadAt(0, ident.data(), ident.size())) {
    return Fail(VersionErrorKind::NotElf, "the file is too short to be an executable", 0);
  }
  if (std::memcmp(ident.data(), "\x7F" "ELF", 4) != 0) {
    return Fail(VersionErrorKind::NotElf, "not an ELF executable", 0);
  }
  ElfLayout layout;
  if (ident[4] == 1) {
    layout = kElf32;
  } else if (ident[4] == 2) {
    layout = kElf64;
  } else {
    return Fail(VersionErrorKind::Malformed, "unknown ELF class " + std::to_string(ident[4]), 4);
  }
  if (ident[5] != 1 && ident[5] != 2) {
    return Fail(VersionErrorKind::Malformed, "unknown ELF byte order " + std::to_string(ident[5]), 5);
  }
  layout.bigEndian = ident[5] == 2;
  if (source.size() < layout.headerSize) {
    return Fail(VersionErrorKind::Malformed, "the ELF header is cut short", source.size());
  }
  const ElfReader elf(source, layout);
  const std::uint64_t shoff = *elf.Number(layout.shoffAt, elf.AddressWidth());
  const std::uint64_t entrySize = *elf.Number(layout.shentsizeAt, 2);
  std::uint64_t count = *elf.Number(layout.shnumAt, 2);
  std::uint64_t namesIndex = *elf.Number(layout.shstrndxAt, 2);
  if (shoff == 0) return Fail(VersionErrorKind::NoRecord, "the file has no section table", layout.shoffAt);
  if (entrySize < layout.sectionHeaderSize) {
    return Fail(VersionErrorKind::Malformed, "section headers are smaller than the ELF class needs", layout.shentsizeAt);
  }

  const auto readSection = [&](std::uint64_t index, std::uint64_t& at) -> std::optional<Section> {
    at = shoff + index * entrySize;  // bounded: index < kMaxSections, entrySize < 65536
    Section s;
    const auto name = elf.Number(at + layout.nameAt, 4);
    const auto type = elf.Number(at + layout.typeAt, 4);
    const auto offset = elf.Number(at + layout.offsetAt, elf.AddressWidth());
    const auto size = elf.Number(at + layout.sizeAt, elf.AddressWidth());
    const auto link = elf.Number(at + layout.linkAt, 4);
    if (!name || !type || !offset || !size || !link) return std::nullopt;
    s.name = *name, s.type = *type, s.offset = *offset, s.size = *size, s.link = *link;
    return s;
  };

  std::uint64_t at = 0;
  // Files with very many sections keep the true count and the index of the
  // names section in the first section header.
  if (count == 0 || namesIndex == kExtendedIndex) {
    const auto first = readSection(0, at);
    if (!first) return Fail(VersionErrorKind::Malformed, "the section table lies outside the file", shoff);
    if (count == 0) count = first->size;
    if (namesIndex == kExtendedIndex) namesIndex = first->link;
  }
  if (count > kMaxSections) return Fail(VersionErrorKind::Malformed, "implausible number of sections", layout.shnumAt);
  if (shoff > source.size() || count * entrySize > source.size() - shoff) {
    return Fail(VersionErrorKind::Malformed, "the section table lies outside the file", shoff);
  }
  if (namesIndex >= count) {
    return Fail(VersionErrorKind::Malformed, "the index of the section names is out of range", layout.shstrndxAt);
  }
  const auto names = readSection(namesIndex, at);
  if (!names) return Fail(VersionErrorKind::Malformed, "the section table lies outside the file", at);
  if (names->offset > source.size() || names->size > source.size() - names->offset) {
    return Fail(VersionErrorKind::Malformed, "the section names lie outside the file", at + layout.offsetAt);
  }

  std::array<char, kSectionName.size() + 1> wanted{};
  for (std::uint64_t index = 0; index < count; ++index) {
    const auto section = readSection(index, at);
    if (!section) return Fail(VersionErrorKind::Malformed, "the section table lies outside the file", at);
    // The name must fit, with its NUL, inside the names section.
    if (section->name >= names->size || names->size - section->name < wanted.size()) continue;
    if (!source.ReadAt(names->offset + section->name, wanted.data(), wanted.size())) continue;
    if (std::memcmp(wanted.data(), kSectionName.data(), kSectionName.size()) != 0 || wanted.back() != '\0') continue;
    if (section->offset > source.size() || section->size > source.size() - section->offset) {
      return Fail(VersionErrorKind::Malformed, "the version section lies outside the file", at + layout.offsetAt);
    }
    return ParseRecord(source, *section, at);
  }
  return Fail(VersionErrorKind::NoRecord, "the file has no version record", shoff);
}

}  // namespace

std::string FileVersion::ToString() const {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) + "." +
         std::to_string(build);
}

VersionResult ReadFileVersion(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(VersionErrorKind::Io, file.string() + ": " + std::strerror(errno), 0);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return Fail(VersionErrorKind::Io, file.string() + ": not a regular file", 0);
  }
  const FileSource source(fd, static_cast<std::uint64_t>(info.st_size));
  VersionResult result = ReadFrom(source);
  ::close(fd);
  if (!result) {
    VersionError error = result.error();
    error.description = file.string() + ": " + error.description;
    return error;
  }
  return result;
}

VersionResult ReadVersionFromBytes(std::span<const unsigned char> bytes) { return ReadFrom(MemorySource(bytes)); }

}  // namespace vokar::version
