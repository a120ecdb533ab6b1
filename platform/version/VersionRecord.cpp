// The version record itself, linked into every executable by
// vokar_add_version_record(). The numbers come from the project's version.
#include <array>
#include <string_view>

#include "VersionRecordFormat.h"

namespace {

using vokar::version::kRecordSize;
using Record = std::array<unsigned char, kRecordSize>;

constexpr void Put16(Record& record, std::size_t offset, unsigned value) {
  record[offset] = static_cast<unsigned char>(value & 0xFF);
  record[offset + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

constexpr void PutName(Record& record, std::size_t offset, std::string_view name) {
  for (std::size_t i = 0; i < name.size() && i + 1 < vokar::version::kNameLength; ++i) {
    record[offset + i] = static_cast<unsigned char>(name[i]);
  }
}

constexpr Record MakeRecord() {
  Record record{};
  for (std::size_t i = 0; i < vokar::version::kRecordMagic.size(); ++i) {
    record[i] = static_cast<unsigned char>(vokar::version::kRecordMagic[i]);
  }
  Put16(record, vokar::version::kFormatOffset, vokar::version::kRecordFormat);
  Put16(record, vokar::version::kSizeOffset, kRecordSize);
  Put16(record, vokar::version::kNumbersOffset + 0, VOKAR_VERSION_MAJOR);
  Put16(record, vokar::version::kNumbersOffset + 2, VOKAR_VERSION_MINOR);
  Put16(record, vokar::version::kNumbersOffset + 4, VOKAR_VERSION_PATCH);
  Put16(record, vokar::version::kNumbersOffset + 6, VOKAR_VERSION_BUILD);
  PutName(record, vokar::version::kCompanyOffset, "Quillmark");
  PutName(record, vokar::version::kProductOffset, "Vokar");
  return record;
}

}  // namespace

// Kept by the compiler and the linker although no code refers to it: the
// record is read from the file, never from memory.
extern "C" [[gnu::used, gnu::retain, gnu::section(".vokar_version")]]
const std::array<unsigned char, kRecordSize> vokar_version_record = MakeRecord();
