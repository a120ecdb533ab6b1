// The version record every executable of the suite carries: a 52-byte block
// in the ELF section ".vokar_version", "VOKARVER", the record format, its size,
// the four 16-bit numbers of the file version and the company and product
// names. All numbers are little-endian, whatever the executable's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vokar::version {

inline constexpr std::string_view kSectionName = ".vokar_version";
inline constexpr std::string_view kRecordMagic = "VOKARVER";
inline constexpr std::uint16_t kRecordFormat = 1;

// Byte offsets inside the record.
inline constexpr std::size_t kFormatOffset = 8;
inline constexpr std::size_t kSizeOffset = 10;
inline constexpr std::size_t kNumbersOffset = 12;  // major, minor, patch, build
inline constexpr std::size_t kCompanyOffset = 20;
inline constexpr std::size_t kProductOffset = 36;
inline constexpr std::size_t kNameLength = 16;  // NUL-padded
inline constexpr std::size_t kRecordSize = 52;

}  // namespace vokar::version
