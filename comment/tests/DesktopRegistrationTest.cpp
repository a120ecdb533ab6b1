// The comment type on the desktop, checked with the desktop's own tools: the
// entry passes desktop-file-validate, GIO recognises *.ann files as the type
// and names our entry as its default application; what the user chose stays,
// and removal takes away only what is ours.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "DesktopRegistration.h"
#include "PrivateUser.h"
#include "RunProgram.h"
#include "TestFolder.h"

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;
using support::RunProgram;
using vokar::test::TestFolder;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ExecArgument, QuotingAsADesktopEntryWantsIt) {
  const struct {
    std::string argument;
    std::optional<std::string> quoted;
  } cases[] = {
      {"/usr/bin/remarka", "\"/usr/bin/remarka\""},
      {"/opt/Vokar Suite/remarka", "\"/opt/Vokar Suite/remarka\""},
      {"/a\"b", "\"/a\\\"b\""},
      {"/a$b`c", "\"/a\\$b\\`c\""},
      {"/a\\b", "\"/a\\\\b\""},
      {"/100%/x", "\"/100%%/x\""},
      {"/zażółć/remarka", "\"/zażółć/remarka\""},
      {"/a\nb", std::nullopt},
      {"/a\tb", std::nullopt},
      {"/bad\xFFutf8", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteExecArgument(c.argument), c.quoted) << c.argument;
}

TEST(DesktopEntry, ExecLinesAndTheirEscapes) {
  const auto plain = DesktopEntryText("/opt/Vokar Suite/bin/remarka");
  ASSERT_TRUE(plain);
  EXPECT_NE(plain->find("\nExec=\"/opt/Vokar Suite/bin/remarka\" -Embedding %f\n"), std::string::npos);
  EXPECT_NE(plain->find("\nTryExec=/opt/Vokar Suite/bin/remarka\n"), std::string::npos);
  EXPECT_NE(plain->find("[Desktop Action Otworz]\nName=Otwórz\nExec=\"/opt/Vokar Suite/bin/remarka\" %f\n"),
            std::string::npos);
  EXPECT_NE(plain->find("MimeType=application/x-remarka-komentarz;"), std::string::npos);
  // A backslash is escaped for the quoting and once more for the entry's string.
  const auto backslash = DesktopEntryText("/opt/a\\b/remarka");
  ASSERT_TRUE(backslash);
  EXPECT_NE(backslash->find("\nExec=\"/opt/a\\\\\\\\b/remarka\" -Embedding %f\n"), std::string::npos);
  EXPECT_FALSE(DesktopEntryText("/opt/a\nb/remarka"));
}

TEST(MimeAppsList, DefaultOnlyWhenTheTypeHasNone) {
  const std::string type = "application/x-remarka-komentarz";
  const std::string entry = "quillmark-remarka-komentarz.desktop";
  const struct {
    const char* name;
    std::string before;
    std::string after;
  } cases[] = {
      {"empty file", "", "[Default Applications]\napplication/x-remarka-komentarz=quillmark-remarka-komentarz.desktop;\n"},
      {"other sections only", "[Added Associations]\ntext/plain=gedit.desktop;\n",
       "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n"
       "application/x-remarka-komentarz=quillmark-remarka-komentarz.desktop;\n"},
      {"section without the type", "[Default Applications]\ntext/plain=gedit.desktop;\n",
       "[Default Applications]\napplication/x-remarka-komentarz=quillmark-remarka-komentarz.desktop;\n"
       "text/plain=gedit.desktop;\n"},
      {"the user's choice", "[Default Applications]\napplication/x-remarka-komentarz=mine.desktop;\n",
       "[Default Applications]\napplication/x-remarka-komentarz=mine.desktop;\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithDefaultApplication(c.before, type, entry), c.after) << c.name;
}

TEST(MimeAppsList, RemovalTakesOnlyOurEntry) {
  const std::string entry = "quillmark-remarka-komentarz.desktop";
  const std::string before =
      "[Default Applications]\n"
      "application/x-remarka-komentarz=quillmark-remarka-komentarz.desktop;\n"
      "text/plain=gedit.desktop;\n"
      "[Added Associations]\n"
      "application/x-remarka-komentarz=other.desktop;quillmark-remarka-komentarz.desktop;\n"
      "[Removed Associations]\n"
      "image/png=quillmark-remarka-komentarz.desktop;\n";
  const std::string after =
      "[Default Applications]\n"
      "text/plain=gedit.desktop;\n"
      "[Added Associations]\n"
      "application/x-remarka-komentarz=other.desktop;\n"
      "[Removed Associations]\n"
      "image/png=quillmark-remarka-komentarz.desktop;\n";
  EXPECT_EQ(WithoutApplication(before, entry), after);
  EXPECT_EQ(WithoutApplication(after, entry), after);
}

// GIO, run as a separate program on the test's private folders: what the
// machine has installed (the suite's own package among it) is not seen.
class DesktopTest : public ::testing::Test {
 protected:
  std::map<std::string, std::optional<std::string>> Environment() const {
    std::map<std::string, std::optional<std::string>> environment{{"GIO_USE_VFS", "local"}};
    vokar::test::MakePrivateUserFolders(folder_.path());
    for (const auto& [name, value] : vokar::test::PrivateUserEnvironment(folder_.path())) environment[name] = value;
    environment["XDG_DATA_HOME"] = places_.dataHome.string();
    environment["XDG_CONFIG_HOME"] = places_.configHome.string();
    return environment;
  }

  std::string ContentType(const fs::path& file) const {
    const auto run = RunProgram({"gio", "info", "-a", "standard::content-type", file.string()}, Environment());
    const std::string key = "standard::content-type: ";
    const std::size_t at = run.output.find(key);
    if (at == std::string::npos) return "(gio said: " + run.output + ")";
    return run.output.substr(at + key.size(), run.output.find('\n', at) - at - key.size());
  }

  // An executable where the entry's TryExec looks, or the desktop ignores it.
  fs::path Program() const {
    const fs::path program = folder_.Write("bin/remarka", "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);
    return program;
  }

  std::string DefaultApplication() const {
    return RunProgram({"gio", "mime", "application/x-remarka-komentarz"}, Environment()).output;
  }

  TestFolder folder_{"desktop"};
  DesktopPlaces places_{folder_ / "data", folder_ / "config"};
};

TEST_F(DesktopTest, RegisteredTypeIsKnownToTheDesktop) {
  const fs::path comment = folder_.Write("uwaga.ann", std::string("\x03\0\0\0abc", 7));
  const DesktopOutcome outcome = RegisterWithDesktop(Program(), places_);
  ASSERT_TRUE(outcome.ok) << (outcome.problems.empty() ? "" : outcome.problems.front());
  EXPECT_TRUE(outcome.mimeDatabaseRebuilt);

  const auto validate = RunProgram({"desktop-file-validate", places_.DesktopEntry().string()});
  EXPECT_EQ(validate.exitCode, 0) << validate.output;
  EXPECT_EQ(ContentType(comment), "application/x-remarka-komentarz");
  EXPECT_NE(DefaultApplication().find("quillmark-remarka-komentarz.desktop"), std::string::npos) << DefaultApplication();
  for (const auto& icon : places_.Icons()) EXPECT_TRUE(fs::is_regular_file(icon)) << icon;

  // Nothing changed: the database is not rebuilt at every start.
  EXPECT_FALSE(RegisterWithDesktop(Program(), places_).mimeDatabaseRebuilt);
}

TEST_F(DesktopTest, UsersDefaultStaysAndRemovalLeavesOthersAlone) {
  fs::create_directories(places_.configHome);
  folder_.Write("config/mimeapps.list",
                "[Default Applications]\napplication/x-remarka-komentarz=mine.desktop;\ntext/plain=gedit.desktop;\n");
  ASSERT_TRUE(RegisterWithDesktop("/opt/vokar/bin/remarka", places_).ok);
  EXPECT_EQ(ReadText(places_.MimeAppsList()),
            "[Default Applications]\napplication/x-remarka-komentarz=mine.desktop;\ntext/plain=gedit.desktop;\n");

  fs::remove(places_.MimeAppsList());
  ASSERT_TRUE(RegisterWithDesktop("/opt/vokar/bin/remarka", places_).ok);
  folder_.Write("data/mime/packages/someone-else.xml",
                "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
                "<mime-type type=\"application/x-someone\"><glob pattern=\"*.sme\"/></mime-type></mime-info>\n");
  const fs::path comment = folder_.Write("uwaga.ann", std::string("\0\0\0\0", 4));
  const fs::path other = folder_.Write("inny.sme", "x");

  const DesktopOutcome removed = RemoveFromDesktop(places_);
  ASSERT_TRUE(removed.ok) << (removed.problems.empty() ? "" : removed.problems.front());
  EXPECT_NE(ContentType(comment), "application/x-remarka-komentarz");
  EXPECT_EQ(ContentType(other), "application/x-someone");
  EXPECT_FALSE(fs::exists(places_.DesktopEntry()));
  EXPECT_FALSE(fs::exists(places_.MimePackage()));
  for (const auto& icon : places_.Icons()) EXPECT_FALSE(fs::exists(icon)) << icon;
  EXPECT_EQ(ReadText(places_.MimeAppsList()).find("quillmark-remarka"), std::string::npos);
  EXPECT_TRUE(RemoveFromDesktop(places_).ok);
}

}  // namespace
}  // namespace vokar::comment
