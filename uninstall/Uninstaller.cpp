#include "Uninstaller.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "Desktop.h"
#include "DesktopRegistration.h"
#include "MessageBox.h"
#include "Places.h"
#include "RegularFile.h"
#include "Registry.h"
#include "RemoveStrings.h"
#include "SafeRemove.h"
#include "Suite.h"

namespace vokar::uninstall {
namespace fs = std::filesystem;
using registry::Key;
using registry::Root;

UninstallContext CurrentContext() {
  UninstallContext context;
  context.home = suite::HomeDir();
  std::error_code ignored;
  context.executable = fs::read_symlink("/proc/self/exe", ignored);
  const char* admin = std::getenv("DPKG_ADMINDIR");
  context.dpkgAdminDir = admin != nullptr && *admin != '\0' ? fs::path(admin) : fs::path("/var/lib/dpkg");
  return context;
}

bool ListNamesFile(std::string_view list, const fs::path& file) {
  std::error_code ignored;
  const fs::path resolved = fs::weakly_canonical(file, ignored);
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find('\n', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view line = list.substr(start, end - start);
    start = end + 1;
    // Only absolute paths name files; anything else in the list is not ours to read.
    if (line.empty() || line.front() != '/' || line.find('\0') != std::string_view::npos) continue;
    const fs::path listed(line);
    if (listed == file || listed == resolved) return true;
    // With /bin a link to /usr/bin the list may name either.
    if (fs::weakly_canonical(listed, ignored) == resolved) return true;
  }
  return false;
}

bool IsPackageFile(const fs::path& file, const fs::path& dpkgAdminDir) {
  // The list of the package's files can be long; 16 MiB is far beyond ours.
  const auto list = files::ReadRegularFile(dpkgAdminDir / "info" / "vokar.list", 16u << 20);
  return list.ok() && ListNamesFile(list.bytes, file);
}

SelfRemoval RemoveOwnExecutable(const UninstallContext& context) {
  if (context.executable.empty()) return SelfRemoval::Failed;
  if (IsPackageFile(context.executable, context.dpkgAdminDir)) return SelfRemoval::PackageFile;
  return ::unlink(context.executable.c_str()) == 0 ? SelfRemoval::Deleted : SelfRemoval::Failed;
}

namespace {

// A script step that cannot go on ends the run with one of these codes.
struct Abort {
  int code;
};

std::string Text(int id) { return std::string(LoadString(id)); }

void Note(std::string_view what, std::string_view detail) {
  std::cerr << "vkremove: " << what << ": " << detail << "\n";
}

// A value of an open key; missing or unreadable reads as an empty text.
std::string ReadString(const std::optional<Key>& key, std::string_view name) {
  if (!key) return {};
  auto value = key->QueryString(name);
  return value ? value.value() : std::string();
}

std::optional<Key> OpenKey(Root root, std::string_view path) {
  auto key = Key::Open(root, path);
  if (!key) return std::nullopt;
  return key.value();
}

void DeleteKeyTree(Root root, std::string_view path) {
  const auto status = registry::DeleteTree(root, path);
  if (!status && !status.IsNotFound()) Note(path, status.error().description);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

class Script {
 public:
  Script(const UninstallContext& context, StatusView& view) : context_(context), view_(view) {}

  void Run() {
    CheckRunningPrograms();
    // The settings root is opened as the original did, made when missing; it stays.
    if (auto root = Key::Create(Root::CurrentUser, suite::kSettingsRoot); !root)
      Note(suite::kSettingsRoot, root.error().description);
    RemoveStartupShortcuts();
    const auto record = OpenKey(Root::CurrentUser, suite::kRecordKey);
    RemoveWorkingDirectory(record);
    RemoveGroup(record);
    RemoveSettings();
    RemoveAppPaths();
    view_.SetStatus(IDS_UNINSTALL_DATA, 80);
    DeleteKeyTree(Root::LocalMachine, suite::kUninstallEntryKey);
    RemoveCommentType();
    view_.SetStatus(IDS_SELF, 100);
    self_ = RemoveOwnExecutable(context_);
  }

  SelfRemoval self() const { return self_; }

 private:
  void CheckRunningPrograms() {
    view_.SetStatus(IDS_CHECKING, 0);
    for (const auto title : suite::kRunningCheckOrder) {
      while (desktop::FindWindow(title)) {
        std::string text = Text(IDS_RUNNING);
        if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, title);
        const auto answer = msgbox::ShowMessageBox(Text(IDS_TITLE), text, msgbox::Icon::Question,
                                                   msgbox::Buttons::YesNo, msgbox::DefaultButton::First,
                                                   view_.widget());
        if (answer != msgbox::Answer::Yes) throw Abort{IDS_ABORTED};
      }
    }
  }

  void RemoveStartupShortcuts() {
    view_.SetStatus(IDS_STARTUP, 5);
    const auto folders = OpenKey(Root::CurrentUser, suite::kShellFoldersKey);
    const fs::path startup = ReadString(folders, suite::kStartupFolder);
    const std::string extension(suite::kShortcutExtension);
    if (!startup.empty())
      for (const auto name : suite::kStartupShortcuts) RemoveShortcut(startup / (std::string(name) + extension));
    const fs::path sendTo = ReadString(folders, suite::kSendToFolder);
    if (!sendTo.empty()) RemoveShortcut(sendTo / (std::string(suite::kSendToShortcut) + extension));
  }

  void RemoveWorkingDirectory(const std::optional<Key>& record) {
    view_.SetStatus(IDS_FILES, 40);
    const fs::path directory = ReadString(record, suite::kDirectoryValue);
    if (directory.empty()) return;
    const TreeVerdict verdict = uninstall::RemoveWorkingDirectory(directory, context_.home);
    if (verdict != TreeVerdict::Removed) Note(directory.string(), VerdictText(verdict));
  }

  void RemoveGroup(const std::optional<Key>& record) {
    view_.SetStatus(IDS_GROUP, 50);
    const auto folders = OpenKey(Root::CurrentUser, suite::kShellFoldersKey);
    const fs::path programs = ReadString(folders, suite::kProgramsFolder);
    if (programs.empty()) return;
    std::string group = ReadString(record, suite::kGroupNameValue);
    if (group.empty()) group = Text(IDS_PRODUCT);
    const TreeVerdict verdict = RemoveGroupFolder(programs, group, context_.home);
    if (verdict != TreeVerdict::Removed && verdict != TreeVerdict::Missing)
      Note((programs / group).string(), VerdictText(verdict));
  }

  void RemoveSettings() {
    view_.SetStatus(IDS_SETTINGS, 60);
    for (const auto& program : suite::kPrograms)
      DeleteKeyTree(Root::CurrentUser, std::string(suite::kSettingsRoot) + "\\" + std::string(program.title));
    DeleteKeyTree(Root::LocalMachine, suite::kMachineKey);
  }

  void RemoveAppPaths() {
    view_.SetStatus(IDS_APP_PATHS, 70);
    for (const auto& program : suite::kPrograms)
      DeleteKeyTree(Root::LocalMachine,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + std::string(program.appPathName));
  }

  // ".ann" and the class it leads to may have been taken over by another
  // program since the installation: only the suite's own type and class go.
  void RemoveCommentType() {
    view_.SetStatus(IDS_COMMENTS, 90);
    const auto extension = OpenKey(Root::ClassesRoot, suite::kCommentExtensionKey);
    const std::string typeName = ReadString(extension, "");
    if (extension && IsOursOrEmpty(*extension, typeName))
      DeleteKeyTree(Root::ClassesRoot, suite::kCommentExtensionKey);
    else if (extension)
      Note(suite::kCommentExtensionKey, "belongs to the document type \"" + typeName + "\" of another program; left alone");
    DeleteKeyTree(Root::ClassesRoot, suite::kCommentTypeId);
    DeleteKeyTree(Root::ClassesRoot, "CLSID\\" + std::string(suite::kCommentClassId));
    // The desktop's side of the type: its MIME type, entry, icons and default.
    const auto desktop = comment::RemoveFromDesktop(comment::DesktopPlaces::FromEnvironment());
    for (const auto& problem : desktop.problems) Note("comment type", problem);
  }

  // ".ann" is ours when it names our type, or when it is an empty key that
  // names nothing and holds nothing.
  static bool IsOursOrEmpty(const Key& extension, std::string_view typeName) {
    if (!typeName.empty()) return EqualsIgnoringCase(typeName, suite::kCommentTypeId);
    const auto subkeys = extension.Subkeys();
    const auto values = extension.Values();
    if (!subkeys || !values || !subkeys->empty()) return false;
    for (const auto& value : values.value())
      if (!value.name.empty()) return false;
    return true;
  }

  const UninstallContext& context_;
  StatusView& view_;
  SelfRemoval self_ = SelfRemoval::Failed;
};

void ShowFailure(int code, QWidget* parent) {
  if (code == kDeclined) return;
  const int textId = code == IDS_ABORTED || code == IDS_FATAL_INIT ? code : IDS_UNKNOWN_ERROR;
  msgbox::ShowMessageBox(Text(IDS_TITLE), Text(textId), msgbox::Icon::Stop, msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, parent);
}

}  // namespace

int RunUninstall(const UninstallContext& context, const std::function<std::unique_ptr<StatusView>()>& createWindow) {
  const auto answer = msgbox::ShowMessageBox(Text(IDS_TITLE), Text(IDS_QUESTION), msgbox::Icon::Question,
                                             msgbox::Buttons::YesNo, msgbox::DefaultButton::Second);
  if (answer != msgbox::Answer::Yes) return kExitDeclined;

  std::unique_ptr<StatusView> view = createWindow();
  if (!view) {
    ShowFailure(IDS_FATAL_INIT, nullptr);
    return kExitFailed;
  }
  view->SetStatus(IDS_FIRST_STATUS, 0);
  Script script(context, *view);
  try {
    script.Run();
  } catch (const Abort& abort) {
    ShowFailure(abort.code, view->widget());
    return kExitFailed;
  }

  std::string text = Text(IDS_DONE);
  switch (script.self()) {
    case SelfRemoval::Deleted: break;
    case SelfRemoval::PackageFile: text += "\n" + std::string(kPackageNote); break;
    case SelfRemoval::Failed:
      text += "\n" + std::string(kSelfNotDeleted) + "\n  " + context.executable.string();
      break;
  }
  msgbox::ShowMessageBox(Text(IDS_TITLE), text, msgbox::Icon::Information, msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, view->widget());
  return kExitDone;
}

}  // namespace vokar::uninstall
