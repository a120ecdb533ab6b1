// A comment the user writes and saves in Remarka started from its menu entry,
// on a real X display with the real server: the save dialog offers the
// user's documents folder, even when the program was started in the suite's
// own folder (where the menu entries used to start it), and the uninstaller
// leaves the comment where it was saved.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Staging.h"
#include "SuiteSandbox.h"

// X11's headers define macros (None, Status) that other headers trip over: last.
#include "OnScreen.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::test;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

using vokar::testing::Shown;
using vokar::testing::WaitUntil;
using vokar::testing::Xdotool;

// The .ann files anywhere in the home.
std::vector<std::string> Comments(const fs::path& home) {
  std::vector<std::string> found;
  for (const auto& entry : Tree(home))
    if (entry.ends_with(".ann")) found.push_back(entry);
  return found;
}

class SavedComment : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    bin_ = StageInstallation(user_);
    ASSERT_EQ(user_.Run(bin_ / "vkinstall").exitCode, 0);
    user_.Set("DISPLAY", x_.display());
    user_.Set("QT_QPA_PLATFORM", "");
    user_.Set("VOKAR_WAVEOUT", "null");
    user_.Set("VOKAR_DATA_DIR", (fs::path(VOKAR_SHARE_DIR) / "vokar").string());
  }

  // Starts remarka in the folder given, writes a line into a new comment and
  // saves it with the name the save dialog offers; the saved comment's path
  // relative to the home.
  std::string WriteAndSave(const fs::path& startFolder) {
    // The server the editor reads with, ended with it.
    auto server = user_.Start(bin_ / "vokar", {"/L-"}, "vokar");
    EXPECT_TRUE(WaitUntil([&] { return ServerUp(); }, 30s)) << ReadAll(user_ / "vokar.err");
    auto remarka = user_.Start(bin_ / "remarka", {}, "remarka", startFolder);
    EXPECT_TRUE(WaitUntil([] { return Shown("Koment1"); }, 30s)) << ReadAll(user_ / "remarka.err");
    Xdotool({"search", "--sync", "--onlyvisible", "--name", "Koment1", "windowactivate", "--sync"});
    Xdotool({"type", "--delay", "30", "Zadzwonic do Ali."});
    Xdotool({"key", "--clearmodifiers", "ctrl+s"});
    // The dialog comes with the offered name in its field; Return takes it.
    EXPECT_TRUE(WaitUntil([] { return Shown("Zapisz jako|Save"); }, 20s));
    std::this_thread::sleep_for(500ms);
    Xdotool({"key", "--clearmodifiers", "Return"});
    WaitUntil([&] { return !Comments(user_.home()).empty(); }, 20s);
    remarka->Terminate();
    server->Terminate();
    const auto comments = Comments(user_.home());
    return comments.size() == 1 ? comments.front() : std::string("(" + std::to_string(comments.size()) + " comments)");
  }

  bool ServerUp() {
    for (const auto& entry : fs::directory_iterator(user_.Environment()["VOKAR_DESKTOP_DIR"]))
      if (entry.path().extension() == ".title" && ReadAll(entry.path()) == "Vokar") return true;
    return false;
  }

  vokar::testing::XSession x_{true};
  UserSandbox user_{"saved-comment"};
  fs::path bin_;
};

TEST_F(SavedComment, GoesToTheDocumentsFolderAndOutlivesTheUninstaller) {
  user_.folder().Write("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  fs::create_directories(user_.home() / "Dokumenty");
  // Started where the menu entries used to start it: the suite's own folder.
  EXPECT_EQ(WriteAndSave(user_.workingDir()), "Dokumenty/Koment1.ann");
  const std::string saved = ReadAll(user_.home() / "Dokumenty/Koment1.ann");
  EXPECT_THAT(saved, HasSubstr("Zadzwonic do Ali."));

  const RunResult removed = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_FALSE(fs::exists(user_.workingDir()));
  EXPECT_EQ(ReadAll(user_.home() / "Dokumenty/Koment1.ann"), saved);
}

TEST_F(SavedComment, GoesToTheHomeFolderWithoutADocumentsFolder) {
  EXPECT_EQ(WriteAndSave(user_.workingDir()), "Koment1.ann");
}

}  // namespace
