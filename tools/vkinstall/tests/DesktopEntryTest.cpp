// Desktop entries: the escapes of string values, the quoting of Exec command
// lines (expected texts worked out by hand from the format's rules), and
// whole entries checked by desktop-file-validate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "DesktopEntry.h"
#include "Installer.h"
#include "Places.h"
#include "SuiteSandbox.h"

namespace {

using namespace vokar::install;
using vokar::test::TestFolder;

TEST(DesktopEntry, StringValuesAreEscaped) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Vokar", "Vokar"},
      {"Syntezer mowy Vokar", "Syntezer mowy Vokar"},
      {" lead", "\\slead"},
      {"a\\b", "a\\\\b"},
      {"line\nbreak\ttab\rcr", "line\\nbreak\\ttab\\rcr"},
      {"Mówiący zegar", "Mówiący zegar"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeValue(c.in), c.out) << c.in;
}

TEST(DesktopEntry, ExecArgumentsAreQuotedOnlyWhenNeeded) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"/usr/bin/vokar", "/usr/bin/vokar"},
      {"/home/ala/My Programs/vokar", "\"/home/ala/My Programs/vokar\""},
      {"/opt/$HOME/vokar", "\"/opt/\\$HOME/vokar\""},
      {"/opt/a\"b/vokar", "\"/opt/a\\\"b/vokar\""},
      {"/opt/a`b`/vokar", "\"/opt/a\\`b\\`/vokar\""},
      {"/opt/a\\b/vokar", "\"/opt/a\\\\b/vokar\""},
      {"/opt/100%/vokar", "/opt/100%%/vokar"},
      {"/opt/it's/vokar", "\"/opt/it's/vokar\""},
      {"", "\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteExecArgument(c.in), c.out) << c.in;
}

TEST(DesktopEntry, ABackslashInAProgramPathIsEscapedTwiceInTheFile) {
  DesktopEntry entry;
  entry.name = "X";
  entry.command = {"/opt/a\\b/vokar"};
  entry.fieldCode = "%f";
  // Quoted: "/opt/a\\b/vokar" %f ; then every backslash doubled as in any string.
  EXPECT_NE(FormatDesktopEntry(entry).find("\nExec=\"/opt/a\\\\\\\\b/vokar\" %f\n"), std::string::npos)
      << FormatDesktopEntry(entry);
}

// desktop-file-validate's verdict on the bytes, "" when it finds nothing.
std::string Validate(const TestFolder& folder, const std::string& name, const std::string& bytes) {
  const auto file = folder.Write(name + ".desktop", bytes);
  const auto report = folder / (name + ".report");
  const std::string command = "desktop-file-validate '" + file.string() + "' > '" + report.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  return status == 0 ? vokar::test::ReadAll(report) : "failed: " + vokar::test::ReadAll(report);
}

TEST(DesktopEntry, EveryEntryOfTheSuiteIsValid) {
  TestFolder folder("entries");
  InstallPlaces places;
  places.programsDir = "/home/ala/Moje programy/bin";
  places.iconsDir = "/nowhere";
  places.workingDir = "/home/ala/.local/share/quillmark/vokar";
  for (const auto& item : MenuItems()) {
    const std::string name(item.executable);
    EXPECT_EQ(Validate(folder, "system-" + name, FormatDesktopEntry(SystemMenuEntry(item))), "") << name;
    EXPECT_EQ(Validate(folder, "user-" + name, FormatDesktopEntry(UserEntry(item, places))), "") << name;
  }
}

TEST(DesktopEntry, AUserEntryNamesTheProgramAndTheIconFileButNoWorkingFolder) {
  TestFolder folder("user-entry");
  InstallPlaces places;
  places.programsDir = "/home/ala/Moje programy/bin";
  places.iconsDir = folder / "icons";
  places.workingDir = "/home/ala/work dir";
  folder.Write("icons/quillmark-horalo.svg", "<svg/>");
  const std::string horalo = FormatDesktopEntry(UserEntry(*FindMenuItem("horalo"), places));
  EXPECT_NE(horalo.find("\nExec=\"/home/ala/Moje programy/bin/horalo\"\n"), std::string::npos) << horalo;
  EXPECT_NE(horalo.find("\nTryExec=/home/ala/Moje programy/bin/horalo\n"), std::string::npos) << horalo;
  // The program works where the desktop starts it, never in the suite's folder.
  EXPECT_EQ(horalo.find("\nPath="), std::string::npos) << horalo;
  EXPECT_NE(horalo.find("\nIcon=" + (folder / "icons/quillmark-horalo.svg").string() + "\n"), std::string::npos)
      << horalo;
  // Without the icon file the theme's name is all there is.
  const std::string klavo = FormatDesktopEntry(UserEntry(*FindMenuItem("klavo"), places));
  EXPECT_NE(klavo.find("\nIcon=quillmark-klavo\n"), std::string::npos) << klavo;
  // Programs that take a file say so; the others do not.
  const std::string vokar = FormatDesktopEntry(UserEntry(*FindMenuItem("vokar"), places));
  EXPECT_NE(vokar.find("/bin/vokar\" %f\n"), std::string::npos) << vokar;
  EXPECT_TRUE(vokar::suite::IsSuiteEntry(vokar));
}

}  // namespace
