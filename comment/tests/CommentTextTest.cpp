// The editor's text and the file's text: line breaks of every kind, the bytes
// of the code page, and the characters it cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "CommentText.h"

namespace vokar::comment {
namespace {

TEST(CommentText, LineBreaksBecomeCrLf) {
  const struct {
    const char* name;
    std::string editor;
    std::string file;
  } cases[] = {
      {"none", "ala", "ala"},
      {"newline", "a\nb", "a\r\nb"},
      {"already CR LF", "a\r\nb", "a\r\nb"},
      {"lone CR", "a\rb", "a\r\nb"},
      {"two newlines", "a\n\nb", "a\r\n\r\nb"},
      {"CR then CR LF", "a\r\r\nb", "a\r\n\r\nb"},
      {"line separator", "a\u2028b", "a\r\nb"},
      {"paragraph separator", "a\u2029b", "a\r\nb"},
      {"trailing newline", "a\n", "a\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FileText text = ToFileText(c.editor);
    EXPECT_EQ(text.cp1250, c.file);
    EXPECT_TRUE(text.lossless());
  }
}

TEST(CommentText, CharactersTheCodePageLacks) {
  // € is 0x80 and „ 0x84 in code page 1250; ä is 0xE4; ß is 0xDF.
  const FileText held = ToFileText("€„äß");
  EXPECT_EQ(held.cp1250, "\x80\x84\xE4\xDF");
  EXPECT_TRUE(held.lossless());

  const FileText lost = ToFileText("日本 ? 日 ñ");
  EXPECT_EQ(lost.cp1250, "?? ? ? ?");
  EXPECT_EQ(lost.unheld, U"日本ñ");  // each once, in order; the question mark itself is no loss
}

TEST(CommentText, FileTextToEditor) {
  const struct {
    const char* name;
    std::string file;
    std::string editor;
  } cases[] = {
      {"CR LF", "a\r\nb", "a\nb"},
      {"lone CR", "a\rb", "a\nb"},
      {"lone LF", "a\nb", "a\nb"},
      {"empty lines", "\r\n\r\n", "\n\n"},
      {"CR at the end", "a\r", "a\n"},
      {"Polish letters", "\xA5\xCA\x8C\x8F", "ĄĘŚŹ"},
      {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
      // 0x81 is a byte the code page leaves undefined: it is kept as U+0081.
      {"undefined byte", "\x81", "\xC2\x81"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToEditorText(c.file), c.editor);
  }
}

TEST(CommentText, EveryByteButLineBreaksSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
  }
  const FileText back = ToFileText(ToEditorText(all));
  EXPECT_EQ(back.cp1250, all);
  EXPECT_TRUE(back.lossless());
}

}  // namespace
}  // namespace vokar::comment
