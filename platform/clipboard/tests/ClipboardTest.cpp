// The clipboard as the server reads it: code page 1250 with '?' for what the
// code page lacks, the byte limit on both sides, and change notices that
// keep HasText up to date without asking the clipboard on a timer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QClipboard>

#include "Clipboard.h"

namespace {

using vokar::clipboard::CClipboard;

class ClipboardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "clipboard_test";
    static char* argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() { delete application; }
  static inline QApplication* application = nullptr;
};

TEST_F(ClipboardTest, TextComesInTheCodePageWithQuestionMarksForTheRest) {
  CClipboard clipboard;
  clipboard.SetTextUtf8("Zażółć gęślą jaźń – 5 € ☺");
  const auto text = clipboard.TextCp1250(65278);
  ASSERT_TRUE(text);
  // The dash and the euro sign are in the code page; the smiling face is not.
  EXPECT_EQ(*text, "Za\xBF\xF3\xB3\xE6 g\xEA\x9C\x6C\xB9 ja\x9F\xF1 \x96 5 \x80 ?");
}

TEST_F(ClipboardTest, LimitKeepsExactlyThatManyBytes) {
  CClipboard clipboard;
  struct Case {
    std::size_t length;
    std::size_t expected;
  };
  const Case cases[] = {{65277, 65277}, {65278, 65278}, {65279, 65278}, {70000, 65278}};
  for (const auto& c : cases) {
    // One two-byte UTF-8 letter at the end becomes one byte of the code page.
    std::string utf8(c.length - 1, 'a');
    utf8 += "ą";
    clipboard.SetTextUtf8(utf8);
    const auto text = clipboard.TextCp1250(65278);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), c.expected) << c.length;
    EXPECT_EQ(text->back(), c.length <= 65278 ? '\xB9' : 'a') << c.length;
  }
}

TEST_F(ClipboardTest, ChangeNoticesKeepHasTextUpToDate) {
  CClipboard clipboard;
  int notices = 0;
  clipboard.OnChanged([&] { ++notices; });
  clipboard.SetTextUtf8("tekst");
  QCoreApplication::processEvents();
  EXPECT_TRUE(clipboard.HasText());
  EXPECT_GE(notices, 1);
  QGuiApplication::clipboard()->clear();
  QCoreApplication::processEvents();
  EXPECT_FALSE(clipboard.HasText());
  EXPECT_FALSE(clipboard.TextCp1250(100).has_value() && !clipboard.TextCp1250(100)->empty());
  // Text with a NUL ends there, as the programs read text.
  clipboard.SetTextUtf8(std::string("ab\0cd", 5));
  EXPECT_EQ(clipboard.TextCp1250(100).value_or("x"), "ab");
}

}  // namespace
