#include "VersionReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "VersionRecordFormat.h"

namespace {

using namespace vokar::version;
using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Put(Bytes& out, std::size_t at, std::uint64_t value, std::size_t width, bool bigEndian) {
  if (out.size() < at + width) out.resize(at + width);
  for (std::size_t i = 0; i < width; ++i) {
    const auto byte = static_cast<unsigned char>(value >> (8 * i));
    out[bigEndian ? at + width - 1 - i : at + i] = byte;
  }
}

Bytes Record(std::uint16_t major, std::uint16_t minor, std::uint16_t patch, std::uint16_t build) {
  Bytes record(kRecordSize, 0);
  std::copy(kRecordMagic.begin(), kRecordMagic.end(), record.begin());
  Put(record, kFormatOffset, kRecordFormat, 2, false);
  Put(record, kSizeOffset, kRecordSize, 2, false);
  Put(record, kNumbersOffset, major, 2, false);
  Put(record, kNumbersOffset + 2, minor, 2, false);
  Put(record, kNumbersOffset + 4, patch, 2, false);
  Put(record, kNumbersOffset + 6, build, 2, false);
  const std::string company = "Quillmark", product = "Vokar";
  std::copy(company.begin(), company.end(), record.begin() + kCompanyOffset);
  std::copy(product.begin(), product.end(), record.begin() + kProductOffset);
  return record;
}

// A minimal ELF file: header, section names, the record, then three section
// headers (the null one, the names, the record's section).
Bytes MakeElf(bool is64, bool bigEndian, const Bytes& record, std::string_view sectionName = kSectionName) {
  const std::size_t headerSize = is64 ? 64 : 52;
  const std::size_t entrySize = is64 ? 64 : 40;
  const std::size_t width = is64 ? 8 : 4;
  Bytes out(headerSize, 0);
  out[0] = 0x7F, out[1] = 'E', out[2] = 'L', out[3] = 'F';
  out[4] = is64 ? 2 : 1;
  out[5] = bigEndian ? 2 : 1;
  out[6] = 1;
  std::string names = std::string("\0.shstrtab\0", 11) + std::string(sectionName) + '\0';
  const std::size_t namesAt = out.size();
  out.insert(out.end(), names.begin(), names.end());
  const std::size_t recordAt = out.size();
  out.insert(out.end(), record.begin(), record.end());
  const std::size_t shoff = out.size();
  out.resize(shoff + 3 * entrySize, 0);
  const auto section = [&](std::size_t index, std::uint32_t name, std::uint32_t type, std::size_t at, std::size_t size) {
    const std::size_t base = shoff + index * entrySize;
    Put(out, base + 0, name, 4, bigEndian);
    Put(out, base + 4, type, 4, bigEndian);
    Put(out, base + (is64 ? 0x18 : 0x10), at, width, bigEndian);
    Put(out, base + (is64 ? 0x20 : 0x14), size, width, bigEndian);
  };
  section(1, 1, 3, namesAt, names.size());
  section(2, 11, 1, recordAt, record.size());
  Put(out, is64 ? 0x28 : 0x20, shoff, width, bigEndian);
  Put(out, is64 ? 0x3A : 0x2E, entrySize, 2, bigEndian);
  Put(out, is64 ? 0x3C : 0x30, 3, 2, bigEndian);
  Put(out, is64 ? 0x3E : 0x32, 1, 2, bigEndian);
  return out;
}

TEST(VersionReader, BuiltExecutablesCarryTheSuiteVersion) {
  for (const char* path : {"/proc/self/exe", VOKAR_TEST_WITH_RECORD}) {
    const auto result = ReadFileVersion(path);
    ASSERT_TRUE(result) << path << ": " << result.error().description;
    EXPECT_EQ(result.value().ToString(), "1.1.95.3");
    EXPECT_EQ(result.value().MostSignificant(), 0x00010001u);
    EXPECT_EQ(result.value().LeastSignificant(), 0x005F0003u);
    EXPECT_EQ(result.value().company, "Quillmark");
    EXPECT_EQ(result.value().product, "Vokar");
  }
}

TEST(VersionReader, FilesWithoutARecord) {
  const auto plain = ReadFileVersion(VOKAR_TEST_WITHOUT_RECORD);
  ASSERT_FALSE(plain);
  EXPECT_EQ(plain.error().kind, VersionErrorKind::NoRecord);
  EXPECT_EQ(ReadFileVersion("/nonexistent/vokar").error().kind, VersionErrorKind::Io);
  EXPECT_EQ(ReadFileVersion("/proc/self").error().kind, VersionErrorKind::Io);  // a directory
  const Bytes text{'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n', 'e', 'x', 'i', 't', ' ', '0', '\n'};
  EXPECT_EQ(ReadVersionFromBytes(text).error().kind, VersionErrorKind::NotElf);
  EXPECT_EQ(ReadVersionFromBytes({}).error().kind, VersionErrorKind::NotElf);
}

TEST(VersionReader, BothClassesAndByteOrders) {
  for (const bool is64 : {false, true}) {
    for (const bool bigEndian : {false, true}) {
      const auto result = ReadVersionFromBytes(MakeElf(is64, bigEndian, Record(2, 7, 300, 65535)));
      ASSERT_TRUE(result) << is64 << bigEndian << ": " << result.error().description;
      EXPECT_EQ(result.value().ToString(), "2.7.300.65535");
    }
  }
  // A section whose name only begins like ours is not ours.
  EXPECT_EQ(ReadVersionFromBytes(MakeElf(true, false, Record(1, 1, 95, 3), ".vokar_versions")).error().kind,
            VersionErrorKind::NoRecord);
}

TEST(VersionReader, DamagedRecordsAndHeadersSayWhere) {
  Bytes record = Record(1, 1, 95, 3);
  record[0] = 'X';
  auto result = ReadVersionFromBytes(MakeElf(true, false, record));
  EXPECT_EQ(result.error().kind, VersionErrorKind::Malformed);
  EXPECT_EQ(result.error().offset, 64 + 26u);  // the record follows the header and the names

  record = Record(1, 1, 95, 3);
  record[kFormatOffset] = 9;
  EXPECT_NE(ReadVersionFromBytes(MakeElf(true, false, record)).error().description.find("format 9"), std::string::npos);

  Bytes elf = MakeElf(true, false, Record(1, 1, 95, 3));
  Put(elf, 0x28, 1u << 30, 8, false);  // section table far beyond the end
  result = ReadVersionFromBytes(elf);
  EXPECT_EQ(result.error().kind, VersionErrorKind::Malformed);
  EXPECT_EQ(result.error().offset, 1u << 30);

  elf = MakeElf(false, true, Record(1, 1, 95, 3));
  Put(elf, 0x32, 7, 2, true);  // names section index past the table
  EXPECT_EQ(ReadVersionFromBytes(elf).error().offset, 0x32u);

  elf = MakeElf(true, false, Record(1, 1, 95, 3));
  elf[4] = 3;
  EXPECT_EQ(ReadVersionFromBytes(elf).error().offset, 4u);
}

TEST(VersionReader, NeverReadsOutsideTheBytes) {
  // Every cut of a real executable, and random damage to its headers and its
  // section table, ends in a result, never a crash (run under ASan by the
  // fuzzing build as well).
  const Bytes real = ReadAll(VOKAR_TEST_WITH_RECORD);
  ASSERT_GT(real.size(), 1000u);
  for (std::size_t cut = 0; cut < real.size(); cut += 1 + cut / 7) {
    const auto result = ReadVersionFromBytes(std::span(real.data(), cut));
    EXPECT_FALSE(result) << "a cut file of " << cut << " bytes gave a version";
  }
  // Each damaged file gives an answer that fits its bytes: a version only
  // as the record in the file spells it, the version of an undamaged file,
  // "not ELF" for a broken signature, and never an I/O error for bytes in
  // memory.
  std::mt19937 random(1250);
  const Bytes small = MakeElf(true, false, Record(1, 1, 95, 3));
  const std::string_view text(reinterpret_cast<const char*>(small.data()), small.size());
  const std::size_t recordAt = text.find(kRecordMagic);
  ASSERT_NE(recordAt, std::string_view::npos);
  auto wordAt = [](const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
  };
  int versions = 0, refusals = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes damaged = small;
    for (int flips = 0; flips < 3; ++flips) damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
    const auto result = ReadVersionFromBytes(damaged);
    if (damaged == small) {
      ASSERT_TRUE(result) << "round " << round;
      EXPECT_EQ(result.value().ToString(), "1.1.95.3");
    }
    if (!std::equal(small.begin(), small.begin() + 4, damaged.begin())) {
      ASSERT_FALSE(result) << "round " << round;
      EXPECT_EQ(result.error().kind, VersionErrorKind::NotElf) << "round " << round;
    }
    if (result) {
      ++versions;
      const std::size_t numbers = recordAt + kNumbersOffset;
      EXPECT_EQ(result.value().major, wordAt(damaged, numbers)) << "round " << round;
      EXPECT_EQ(result.value().minor, wordAt(damaged, numbers + 2)) << "round " << round;
      EXPECT_EQ(result.value().patch, wordAt(damaged, numbers + 4)) << "round " << round;
      EXPECT_EQ(result.value().build, wordAt(damaged, numbers + 6)) << "round " << round;
    } else {
      ++refusals;
      EXPECT_NE(result.error().kind, VersionErrorKind::Io) << "round " << round;
    }
  }
  // The damage both missed and hit what matters.
  EXPECT_GT(versions, 0);
  EXPECT_GT(refusals, 0);
}

}  // namespace
