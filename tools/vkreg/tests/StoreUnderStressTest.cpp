// The settings store at its limits and in trouble, through vkreg run as a
// real process: key paths too deep or too long, a disk that fills during an
// import, names that a .reg file cannot hold, a read-only folder, a damaged
// hive, another program's database, and who may read the hives.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RunVkreg.h"
#include "ScopedEnvironment.h"
#include "TestFolder.h"

namespace {

using vokar::testing::RunVkreg;
using vokar::testing::VkregOptions;
using vokar::testing::VkregOutcome;

std::string Repeat(const std::string& part, int times, const std::string& separator) {
  std::string joined;
  for (int i = 0; i < times; ++i) joined += (i == 0 ? "" : separator) + part;
  return joined;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Mode(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

class Store : public ::testing::Test {
 protected:
  void SetUp() override { environment_.Set("VOKAR_REGISTRY_DIR", registry_.string()); }

  VkregOutcome Do(const std::vector<std::string>& args, const VkregOptions& options = {}) {
    return RunVkreg(args, dir_, options);
  }
  std::filesystem::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  // Runs SQL on a hive directly, as an older version of the store or
  // another program would have left it.
  void Sql(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  // The folder gives back the permissions a test takes away when it is removed.
  vokar::test::TestFolder folder_{"vkreg-store"};
  std::filesystem::path dir_ = folder_.path();
  std::filesystem::path registry_ = dir_ / "registry";
  vokar::test::ScopedEnvironment environment_;
};

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

TEST_F(Store, KeyPathsArePinnedAtFiveHundredTwelveLevelsAndSixteenThousandCharacters) {
  // Worked out by hand: 512 components of "a" make 512 levels; 64 components
  // of 255 characters and 63 backslashes make 16383 characters; 63 of 255,
  // one of 254 and one of 1 with 64 backslashes make 16384.
  const std::string deepest = Repeat("a", 512, "\\");
  const std::string tooDeep = Repeat("a", 513, "\\");
  const std::string longest = Repeat(std::string(255, 'x'), 64, "\\");
  const std::string tooLong =
      Repeat(std::string(255, 'x'), 63, "\\") + "\\" + std::string(254, 'y') + "\\" + std::string(1, 'z');
  ASSERT_EQ(longest.size(), 16383u);
  ASSERT_EQ(tooLong.size(), 16384u);

  struct Case {
    std::string path;
    bool accepted;
    std::string why;
  };
  const std::vector<Case> cases{
      {deepest, true, ""},
      {tooDeep, false, "at most 512 levels deep; this one lies 513"},
      {longest, true, ""},
      {tooLong, false, "at most 16383 characters long; this one has 16384"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.size());
    const auto set = Do({"set", "HKCU\\" + c.path, "n", "v"});
    EXPECT_EQ(set.code, c.accepted ? 0 : 2) << set.err;
    if (!c.accepted) {
      EXPECT_NE(set.err.find(c.why), std::string::npos) << set.err;
    }
    EXPECT_EQ(Do({"get", "HKCU\\" + c.path, "n"}).out, c.accepted ? "v\n" : "");
    if (c.accepted) {
      ASSERT_EQ(Do({"delete", "HKCU\\" + c.path.substr(0, c.path.find('\\'))}).code, 0);
    }

    // An import meets the same limits, line by line.
    const auto file = Write("one.reg", kHeader + "[HKEY_CURRENT_USER\\" + c.path + "]\n\"n\"=\"v\"\n");
    const auto imported = Do({"import", file.string()});
    EXPECT_EQ(imported.code, c.accepted ? 0 : 2) << imported.err;
    if (!c.accepted) {
      EXPECT_NE(imported.err.find("line 3: "), std::string::npos) << imported.err;
      EXPECT_NE(imported.err.find(c.why), std::string::npos) << imported.err;
    }
    EXPECT_EQ(Do({"get", "HKCU\\" + c.path, "n"}).out, c.accepted ? "v\n" : "");
  }

  // The deepest key comes back out in full, one section per level.
  const auto exported = Do({"export", "HKCU\\a"});
  ASSERT_EQ(exported.code, 0) << exported.err;
  std::string expected = kHeader;
  std::string path = "HKEY_CURRENT_USER";
  for (int level = 1; level <= 512; ++level) {
    path += "\\a";
    expected += "[" + path + "]\n" + (level == 512 ? "\"n\"=\"v\"\n" : "") + "\n";
  }
  EXPECT_TRUE(exported.out == expected);
}

TEST_F(Store, AnImportRefusesAKeyTooDeepAndChangesNothing) {
  const std::string file = Write("deep.reg", kHeader + "[HKEY_CURRENT_USER\\Before]\n\"x\"=\"1\"\n\n[HKEY_CURRENT_USER\\" +
                                                 Repeat("d", 513, "\\") + "]\n")
                               .string();
  const auto imported = Do({"import", file});
  EXPECT_EQ(imported.code, 2);
  EXPECT_NE(imported.err.find("line 6: a key may lie at most 512 levels deep"), std::string::npos) << imported.err;
  EXPECT_EQ(Do({"get", "HKCU\\Before", "x"}).code, 1);
}

TEST_F(Store, AStoreDeeperThanItsLimitIsExportedAndDeletedWithoutRecursion) {
  // An older store could hold any depth. 2000 levels, exported and deleted
  // by a vkreg whose stack is too small for one call per level.
  ASSERT_EQ(Do({"set", "HKCU\\Top", "x", "1"}).code, 0);
  std::string sql = "BEGIN;";
  std::string folded = "top", parent = "top";
  for (int level = 1; level <= 2000; ++level) {
    parent = folded;
    folded += "\\k";
    sql += "INSERT INTO keys(folded, parent, path) VALUES('" + folded + "','" + parent + "','Top" + folded.substr(3) +
           "');";
  }
  sql += "INSERT INTO vals(key, folded, name, type, data) VALUES('" + folded + "','bottom','Bottom',1,'dno');COMMIT;";
  Sql(registry_ / "HKEY_CURRENT_USER.db", sql);

  VkregOptions smallStack;
  smallStack.stackLimit = 256 * 1024;
  const auto exported = Do({"export", "HKCU\\Top"}, smallStack);
  const auto deleted = Do({"delete", "HKCU\\Top"}, smallStack);

  ASSERT_EQ(exported.code, 0) << exported.err;
  std::size_t sections = 0;
  for (std::size_t at = 0; (at = exported.out.find("\n[HKEY_CURRENT_USER\\Top", at)) != std::string::npos; ++at) ++sections;
  EXPECT_EQ(sections, 2001u);
  EXPECT_NE(exported.out.find(Repeat("k", 2000, "\\") + "]\n\"Bottom\"=\"dno\"\n"), std::string::npos);
  EXPECT_EQ(deleted.code, 0) << deleted.err;
  EXPECT_EQ(Do({"get", "HKCU\\Top", "x"}).code, 1);
}

TEST_F(Store, AnImportThatFillsTheDiskKeepsNothingOfItself) {
  ASSERT_EQ(Do({"set", "HKCU\\Before", "x", "1"}).code, 0);
  std::string text = kHeader + "[HKEY_CURRENT_USER\\Software\\Quillmark\\Test]\n";
  const std::string data(200, 'd');
  for (int i = 0; i < 4000; ++i) text += "\"v" + std::to_string(i) + "\"=\"" + data + "\"\n";
  const auto file = Write("big.reg", text);

  // The hive may grow by 128 KiB: far less than 4000 values of 200 bytes.
  VkregOptions fullDisk;
  fullDisk.fileSizeLimit = 128 * 1024;
  const auto failed = Do({"import", file.string()}, fullDisk);
  EXPECT_EQ(failed.code, 3) << failed.err;
  EXPECT_NE(failed.err.find("importing: disk I/O error ("), std::string::npos) << failed.err;
  for (const char* name : {"v0", "v47", "v3999"}) {
    EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Test", name}).code, 1) << name;
  }
  EXPECT_EQ(Do({"get", "HKCU\\Before", "x"}).out, "1\n");

  // With room, the same file goes in whole.
  ASSERT_EQ(Do({"import", file.string()}).code, 0);
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Test", "v3999"}).out, data + "\n");
}

TEST_F(Store, NamesWithATabOrALineBreakAreRefusedAndOldOnesLeftOutOfTheExport) {
  struct Case {
    std::vector<std::string> args;
    std::string why;
  };
  const std::vector<Case> cases{
      {{"set", "HKCU\\K", "a\tb", "v"}, "a value name may not hold a control character"},
      {{"set", "HKCU\\K", "a\nb", "v"}, "a value name may not hold a control character"},
      {{"set", "HKCU\\A\tB", "n", "v"}, "a key name may not hold a control character"},
      {{"import", Write("tab.reg", kHeader + "[HKEY_CURRENT_USER\\K]\n\"a\tb\"=\"v\"\n").string()},
       "line 4: a value name may not hold a control character"},
      {{"import", Write("key.reg", kHeader + "[HKEY_CURRENT_USER\\A\tB]\n").string()},
       "line 3: a key name may not hold a control character"},
  };
  for (const auto& c : cases) {
    const auto run = Do(c.args);
    EXPECT_EQ(run.code, 2) << c.why;
    EXPECT_NE(run.err.find(c.why), std::string::npos) << run.err;
  }
  EXPECT_EQ(Do({"get", "HKCU\\K", "n"}).code, 1);

  // An older store holds such names: the export goes on without them and
  // says what it left out; they can still be deleted.
  ASSERT_EQ(Do({"set", "HKCU\\Old", "ok", "1"}).code, 0);
  Sql(registry_ / "HKEY_CURRENT_USER.db",
      "INSERT INTO vals(key, folded, name, type, data) VALUES('old', 'tab\there', 'Tab\there', 1, 'x');"
      "INSERT INTO keys(folded, parent, path) VALUES('old\\line\nbreak', 'old', 'Old\\Line\nbreak');");
  const auto exported = Do({"export", "HKCU\\Old"});
  EXPECT_EQ(exported.code, 0) << exported.err;
  EXPECT_EQ(exported.out, kHeader + "[HKEY_CURRENT_USER\\Old]\n\"ok\"=\"1\"\n\n");
  EXPECT_NE(exported.err.find("left out of the export: HKEY_CURRENT_USER\\Old: the value \"Tab\there\""),
            std::string::npos)
      << exported.err;
  EXPECT_NE(exported.err.find("left out of the export: HKEY_CURRENT_USER\\Old\\Line\nbreak and everything below it"),
            std::string::npos)
      << exported.err;
  EXPECT_EQ(Do({"delete", "HKCU\\Old", "Tab\there"}).code, 0);
  EXPECT_EQ(Do({"delete", "HKCU\\Old\\Line\nbreak"}).code, 0);
}

TEST_F(Store, AReadOnlyStoreIsReadAndAChangeSaysWhyItCannotBeMade) {
  ASSERT_EQ(Do({"set", "HKCU\\Software\\Quillmark\\Vokar\\Sound", "Tunning", "7"}).code, 0);
  ASSERT_EQ(::chmod(registry_.c_str(), 0500), 0);
  VkregOptions plain;
  plain.withoutOverride = true;

  const auto got = Do({"get", "HKCU\\Software\\Quillmark\\Vokar\\Sound", "Tunning"}, plain);
  EXPECT_EQ(got.code, 0) << got.err;
  EXPECT_EQ(got.out, "7\n");
  EXPECT_EQ(Do({"export", "HKCU\\Software\\Quillmark"}, plain).code, 0);
  const auto set = Do({"set", "HKCU\\Software\\Quillmark\\Vokar\\Sound", "Tunning", "8"}, plain);
  EXPECT_EQ(set.code, 3);
  EXPECT_NE(set.err.find("HKEY_CURRENT_USER.db can be read but not written"), std::string::npos) << set.err;

  // A hive that is not there reads as empty, and is not made.
  const auto missing = Do({"get", "HKLM\\Software", "x"}, plain);
  EXPECT_EQ(missing.code, 1) << missing.err;
  const auto create = Do({"set", "HKLM\\Software", "x", "1"}, plain);
  EXPECT_EQ(create.code, 3);
  EXPECT_NE(create.err.find("cannot create " + (registry_ / "HKEY_LOCAL_MACHINE.db").string()), std::string::npos)
      << create.err;
  EXPECT_FALSE(std::filesystem::exists(registry_ / "HKEY_LOCAL_MACHINE.db"));
}

TEST_F(Store, ADamagedHiveOrAnotherProgramsDatabaseIsRefusedAndLeftAsItIs) {
  std::filesystem::create_directories(registry_);
  struct Case {
    const char* hive;
    const char* key;
    std::string why;
  };
  const std::vector<Case> cases{
      {"HKEY_CURRENT_USER.db", "HKCU\\Software", "is damaged or is no settings store at all"},
      {"HKEY_LOCAL_MACHINE.db", "HKLM\\Software", "is a database of another program"},
  };
  std::ofstream(registry_ / cases[0].hive, std::ios::binary) << std::string(4096, '\x5A');
  Sql(registry_ / cases[1].hive, "CREATE TABLE contacts(name TEXT, phone TEXT); INSERT INTO contacts VALUES('Ala', '12');");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hive);
    const std::string before = ReadWhole(registry_ / c.hive);
    for (const auto& args : std::vector<std::vector<std::string>>{{"get", c.key, "x"}, {"set", c.key, "x", "1"}}) {
      const auto run = Do(args);
      EXPECT_EQ(run.code, 3);
      EXPECT_NE(run.err.find(c.why), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find("creating"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(ReadWhole(registry_ / c.hive) == before);
  }
  EXPECT_FALSE(std::filesystem::exists(registry_ / "HKEY_LOCAL_MACHINE.db-wal"));
}

TEST_F(Store, HivesAreTheUsersAlone) {
  ASSERT_EQ(Do({"set", "HKCU\\K", "x", "1"}).code, 0);
  EXPECT_EQ(Mode(registry_), 0700);
  for (const char* file : {"HKEY_CURRENT_USER.db", "HKEY_CURRENT_USER.db-wal", "HKEY_CURRENT_USER.db-shm"}) {
    if (std::filesystem::exists(registry_ / file)) {
      EXPECT_EQ(Mode(registry_ / file), 0600) << file;
    }
  }
  // A folder and a hive left open by an older version are closed.
  ASSERT_EQ(::chmod(registry_.c_str(), 0755), 0);
  ASSERT_EQ(::chmod((registry_ / "HKEY_CURRENT_USER.db").c_str(), 0644), 0);
  EXPECT_EQ(Do({"get", "HKCU\\K", "x"}).out, "1\n");
  EXPECT_EQ(Mode(registry_), 0700);
  EXPECT_EQ(Mode(registry_ / "HKEY_CURRENT_USER.db"), 0600);
}

}  // namespace
