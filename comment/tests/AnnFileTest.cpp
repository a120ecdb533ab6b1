// The comment file: its length field, its limit on both sides, files cut
// short, the round trip of Polish text, and saves that never lose the old file.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "AnnFile.h"
#include "CommentText.h"
#include "TestFolder.h"

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;
using vokar::test::TestFolder;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

std::string ReadBack(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ParseCase {
  const char* name;
  std::string bytes;
  AnnError error;
  std::string text;
  std::uint64_t offset;
};

TEST(AnnParse, LengthFieldAndText) {
  const std::string tenX(10, 'x');
  const ParseCase cases[] = {
      {"no bytes", "", AnnError::NoLength, "", 0},
      {"three bytes", Bytes({0, 0, 0}), AnnError::NoLength, "", 0},
      {"empty comment", Bytes({0, 0, 0, 0}), AnnError::None, "", 0},
      {"five letters", Bytes({5, 0, 0, 0}) + "Hello", AnnError::None, "Hello", 0},
      {"bytes after the text are no part of it", Bytes({2, 0, 0, 0}) + "Hello", AnnError::None, "He", 0},
      {"one byte short", Bytes({10, 0, 0, 0}) + tenX.substr(1), AnnError::TruncatedText, "", 4},
      {"exactly ten", Bytes({10, 0, 0, 0}) + tenX, AnnError::None, tenX, 0},
      {"length without text", Bytes({1, 0, 0, 0}), AnnError::TruncatedText, "", 4},
      // 0x00100000 = 1048576, one above the limit, with nothing behind it.
      {"1048576 refused before the text is looked at", Bytes({0, 0, 0x10, 0}), AnnError::TooLong, "", 0},
      {"largest length field", Bytes({0xFF, 0xFF, 0xFF, 0xFF}), AnnError::TooLong, "", 0},
      // The high byte alone: 0x01000000 = 16777216.
      {"little-endian: high byte", Bytes({0, 0, 0, 1}), AnnError::TooLong, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AnnRead read = ParseAnn(c.bytes);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(read.text, c.text);
    EXPECT_EQ(read.offset, c.offset);
  }
}

TEST(AnnParse, LengthIsLittleEndian) {
  // 01 02 = 0x0201 = 513 bytes of text.
  const std::string text(513, 'a');
  const AnnRead read = ParseAnn(Bytes({1, 2, 0, 0}) + text + "tail");
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.text.size(), 513u);
  EXPECT_EQ(read.declared, 513u);
}

TEST(AnnParse, DescriptionsNameTheNumbers) {
  EXPECT_EQ(DescribeAnnError(ParseAnn(Bytes({10, 0, 0, 0}) + "1234567")),
            "at byte 4: the length announces 10 bytes of text, the file holds 7");
  EXPECT_EQ(DescribeAnnError(ParseAnn(Bytes({0, 0, 0x10, 0}))),
            "at byte 0: the length 1048576 is above the limit of 1048575 bytes");
  EXPECT_EQ(DescribeAnnError(ParseAnn("ab")), "at byte 0: the file holds 2 bytes, fewer than the 4 of the length");
}

TEST(AnnEncode, HeaderBytesWorkedOutByHand) {
  EXPECT_EQ(EncodeAnn(""), Bytes({0, 0, 0, 0}));
  EXPECT_EQ(EncodeAnn("Ala"), Bytes({3, 0, 0, 0}) + "Ala");
  // 300 = 0x012C.
  EXPECT_EQ(EncodeAnn(std::string(300, 'z')).substr(0, 4), Bytes({0x2C, 0x01, 0, 0}));
  // 1048575 = 0x000FFFFF.
  EXPECT_EQ(EncodeAnn(std::string(1048575, 'z')).substr(0, 4), Bytes({0xFF, 0xFF, 0x0F, 0}));
  EXPECT_TRUE(CanStore(std::string(1048575, 'z')));
  EXPECT_FALSE(CanStore(std::string(1048576, 'z')));
}

// Hand-made files on disk, as a user might meet them.
TEST(AnnFileRead, HandMadeFiles) {
  TestFolder folder("ann");
  const std::string longest(1048575, 'k');
  struct FileCase {
    const char* name;
    std::string bytes;
    AnnError error;
    std::size_t textSize;
  };
  const FileCase cases[] = {
      {"empty.ann", Bytes({0, 0, 0, 0}), AnnError::None, 0},
      {"zero-bytes.ann", "", AnnError::NoLength, 0},
      {"longest.ann", Bytes({0xFF, 0xFF, 0x0F, 0}) + longest, AnnError::None, 1048575},
      {"one-too-long.ann", Bytes({0, 0, 0x10, 0}) + longest + "k", AnnError::TooLong, 0},
      {"truncated.ann", Bytes({0xFF, 0xFF, 0x0F, 0}) + longest.substr(1), AnnError::TruncatedText, 0},
      {"length-beyond-file.ann", Bytes({0x40, 0, 0, 0}) + "short", AnnError::TruncatedText, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AnnRead read = ReadAnnFile(folder.Write(c.name, c.bytes));
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(read.text.size(), c.textSize);
  }
}

TEST(AnnFileRead, WhatIsNotARegularFile) {
  TestFolder folder("ann");
  EXPECT_EQ(ReadAnnFile(folder / "missing.ann").error, AnnError::File);
  EXPECT_EQ(ReadAnnFile(folder / "missing.ann").fileError, files::FileError::NotFound);
  fs::create_directory(folder / "folder.ann");
  EXPECT_EQ(ReadAnnFile(folder / "folder.ann").error, AnnError::File);
  // A FIFO would block a plain open for ever.
  ASSERT_EQ(::mkfifo((folder / "fifo.ann").c_str(), 0600), 0);
  EXPECT_EQ(ReadAnnFile(folder / "fifo.ann").error, AnnError::File);
}

TEST(AnnFileWrite, PolishTextRoundTrip) {
  TestFolder folder("ann");
  const std::string editorText = "Zażółć gęślą jaźń\nDRUGI wiersz: ŻÓŁW\n\nkoniec";
  const FileText fileText = ToFileText(editorText);
  ASSERT_TRUE(fileText.lossless());
  // Code page 1250 bytes of the first line, looked up in the code page's table.
  EXPECT_EQ(fileText.cp1250.substr(0, 19), Bytes({'Z', 'a', 0xBF, 0xF3, 0xB3, 0xE6, ' ', 'g', 0xEA, 0x9C, 'l', 0xB9,
                                                   ' ', 'j', 'a', 0x9F, 0xF1, '\r', '\n'}));
  const fs::path file = folder / "polski.ann";
  ASSERT_TRUE(WriteAnnFile(file, fileText.cp1250).ok());
  // 17 + 2 + 18 + 2 + 2 + 6 = 47 bytes of text.
  const std::string onDisk = ReadBack(file);
  EXPECT_EQ(onDisk.substr(0, 4), Bytes({47, 0, 0, 0}));
  EXPECT_EQ(onDisk.size(), 51u);
  const AnnRead read = ReadAnnFile(file);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(ToEditorText(read.text), editorText);
}

TEST(AnnFileWrite, LimitOnBothSides) {
  TestFolder folder("ann");
  const fs::path longest = folder / "longest.ann";
  ASSERT_TRUE(WriteAnnFile(longest, std::string(1048575, 'a')).ok());
  EXPECT_EQ(fs::file_size(longest), 1048579u);
  EXPECT_TRUE(ReadAnnFile(longest).ok());

  const fs::path tooLong = folder / "too-long.ann";
  const AnnSave refused = WriteAnnFile(tooLong, std::string(1048576, 'a'));
  EXPECT_EQ(refused.error, SaveError::TooLong);
  EXPECT_FALSE(fs::exists(tooLong));
  // An existing file is not touched by a refused save.
  EXPECT_EQ(WriteAnnFile(longest, std::string(1048576, 'b')).error, SaveError::TooLong);
  EXPECT_EQ(ReadBack(longest).substr(4, 3), "aaa");
}

TEST(AnnFileWrite, FailedSaveKeepsTheOldFileAndLeavesNothing) {
  TestFolder folder("ann");
  // A folder in the place of the file: the rename at the end fails.
  fs::create_directories(folder / "busy.ann" / "inside");
  const AnnSave save = WriteAnnFile(folder / "busy.ann", "tekst");
  EXPECT_EQ(save.error, SaveError::CannotWrite);
  EXPECT_FALSE(save.reason.empty());
  EXPECT_TRUE(fs::is_directory(folder / "busy.ann" / "inside"));
  // A folder that does not exist: nothing can be made.
  EXPECT_EQ(WriteAnnFile(folder / "no-such-folder" / "x.ann", "tekst").error, SaveError::CannotWrite);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder.path())) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"busy.ann"});
}

TEST(AnnFileWrite, KeepsPermissionsAndLinks) {
  TestFolder folder("ann");
  const fs::path file = folder.Write("stary.ann", EncodeAnn("stary"));
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteAnnFile(file, "nowy tekst").ok());
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ReadAnnFile(file).text, "nowy tekst");

  const fs::path link = folder / "link.ann";
  fs::create_symlink(file, link);
  ASSERT_TRUE(WriteAnnFile(link, "przez link").ok());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAnnFile(file).text, "przez link");
}

}  // namespace
}  // namespace vokar::comment
