// Reads the version record of an executable file: finds the ELF section
// ".vokar_version" by name and returns the four numbers of the file version
// (1.1.95.3 for this suite). Every offset and size in the file is checked, so
// a damaged or foreign file gives an error, never a crash.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>

namespace vokar::version {

struct FileVersion {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t patch = 0;
  std::uint16_t build = 0;
  std::string company;
  std::string product;

  // The fixed file version as two 32-bit words, high half first:
  // 0x00010001 and 0x005F0003 for 1.1.95.3.
  std::uint32_t MostSignificant() const { return (std::uint32_t{major} << 16) | minor; }
  std::uint32_t LeastSignificant() const { return (std::uint32_t{patch} << 16) | build; }
  std::string ToString() const;  // "1.1.95.3"
};

enum class VersionErrorKind {
  Io,         // the file cannot be opened or read
  NotElf,     // not an ELF file at all
  Malformed,  // an ELF file whose headers or record do not hold together
  NoRecord,   // a sound ELF file without a version record
};

struct VersionError {
  VersionErrorKind kind = VersionErrorKind::Io;
  std::string description;
  std::uint64_t offset = 0;  // byte offset in the file where reading failed
};

class [[nodiscard]] VersionResult {
 public:
  VersionResult(FileVersion version) : state_(std::move(version)) {}  // NOLINT
  VersionResult(VersionError error) : state_(std::move(error)) {}    // NOLINT
  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const FileVersion& value() const { return std::get<0>(state_); }
  const VersionError& error() const { return std::get<1>(state_); }

 private:
  std::variant<FileVersion, VersionError> state_;
};

// The version record of an executable file.
VersionResult ReadFileVersion(const std::filesystem::path& file);

// The same for a file already in memory.
VersionResult ReadVersionFromBytes(std::span<const unsigned char> bytes);

}  // namespace vokar::version
