#include "Uninstaller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "Desktop.h"
#include "DesktopRegistration.h"
#include "FirstStart.h"
#include "KeyName.h"
#include "MessageBox.h"
#include "Places.h"
#include "RegularFile.h"
#include "Registry.h"
#include "RemoveStrings.h"
#include "SafeRemove.h"
#include "Suite.h"
#include "Uninstalling.h"
#include "WrittenRecord.h"

namespace vokar::uninstall {
namespace fs = std::filesystem;
using registry::Key;
using registry::Root;

UninstallContext CurrentContext() {
  UninstallContext context;
  context.home = suite::HomeDir();
  std::error_code ignored;
  context.executable = fs::read_symlink("/proc/self/exe", ignored);
  // The identity of the very file the program runs from, whatever its name now.
  struct stat info {};
  if (::stat("/proc/self/exe", &info) == 0) {
    context.executableDevice = info.st_dev;
    context.executableInode = info.st_ino;
  }
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

SelfRemoval RemoveOwnExecutable(const UninstallContext& context, const fs::path& recordedUninstaller) {
  if (context.executable.empty() || recordedUninstaller.empty() || !recordedUninstaller.is_absolute())
    return SelfRemoval::NotRecorded;
  // The name /proc/self/exe gives is only where the program came from: started
  // through the dynamic loader it names the loader. The file goes only when
  // it is the recorded uninstaller, by path and by identity.
  const fs::path recorded = suite::ResolvedPath(recordedUninstaller);
  if (suite::ResolvedPath(context.executable) != recorded ||
      recorded.filename() != suite::kUninstallerExecutable || suite::IsBuildFolder(recorded.parent_path()))
    return SelfRemoval::NotRecorded;
  struct stat info {};
  if (::lstat(recorded.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_dev != context.executableDevice ||
      info.st_ino != context.executableInode)
    return SelfRemoval::NotRecorded;
  if (IsPackageFile(recorded, context.dpkgAdminDir)) return SelfRemoval::PackageFile;
  return RemoveThisFile(recorded, info.st_dev, info.st_ino) ? SelfRemoval::Deleted : SelfRemoval::Failed;
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

class Script {
 public:
  Script(const UninstallContext& context, StatusView& view) : context_(context), view_(view) {}

  void Run() {
    CheckRunningPrograms();
    // What the installation recorded, read before its keys go.
    record_ = suite::ReadWrittenRecord();
    if (auto entry = OpenKey(Root::LocalMachine, suite::kUninstallEntryKey))
      recordedUninstaller_ = ReadString(entry, "UninstallString");
    // The settings root is opened, and made when missing: the suite's
    // programs keep their keys below it, and it stays for them.
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
    // The rest of what the suite made: generated files, folders it made.
    RemoveRecorded(record_, left_);
    view_.SetStatus(IDS_SELF, 100);
    self_ = RemoveOwnExecutable(context_, recordedUninstaller_);
    for (const auto& item : left_)
      Note(item.path.string(), item.reason == LeftReason::LinkOnTheWay ? "reached through a symbolic link; left alone"
                                                                       : "not made by the suite; left in place");
  }

  SelfRemoval self() const { return self_; }
  const std::vector<LeftItem>& left() const { return left_; }
  const fs::path& recordedUninstaller() const { return recordedUninstaller_; }

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
    const TreeVerdict verdict = uninstall::RemoveWorkingDirectory(directory, context_.home, record_, left_);
    if (verdict != TreeVerdict::Removed && verdict != TreeVerdict::KeptOthers)
      Note(directory.string(), VerdictText(verdict));
  }

  void RemoveGroup(const std::optional<Key>& record) {
    view_.SetStatus(IDS_GROUP, 50);
    const auto folders = OpenKey(Root::CurrentUser, suite::kShellFoldersKey);
    const fs::path programs = ReadString(folders, suite::kProgramsFolder);
    if (programs.empty()) return;
    std::string group = ReadString(record, suite::kGroupNameValue);
    if (group.empty()) group = Text(IDS_PRODUCT);
    const TreeVerdict verdict = RemoveGroupFolder(programs, group, context_.home, left_);
    if (verdict != TreeVerdict::Removed && verdict != TreeVerdict::Missing && verdict != TreeVerdict::KeptOthers)
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
    // The desktop's side of the type: its MIME package, entry and icons, as
    // far as the record says the suite wrote them (a file of the same name
    // that the user put there stays), never through a link.
    for (const auto& database : RemoveRecordedCommentType(record_, left_)) {
      // A database the suite made and that serves nothing now goes with the
      // rest of the record; any other is rebuilt without the type.
      if (!MimeDatabaseHasPackages(database) && IsRecordedFile(database / "mime.cache")) continue;
      if (const auto failure = comment::RebuildMimeDatabase(database)) Note("comment type", *failure);
    }
    const auto desktop = comment::ForgetDefaultApplication(comment::DesktopPlaces::FromEnvironment());
    for (const auto& problem : desktop.problems) Note("comment type", problem);
  }

  bool IsRecordedFile(const fs::path& file) const {
    for (const auto& recorded : record_.files)
      if (recorded == file) return true;
    return false;
  }

  // ".ann" is ours when it names our type, or when it is an empty key that
  // names nothing and holds nothing.
  static bool IsOursOrEmpty(const Key& extension, std::string_view typeName) {
    if (!typeName.empty()) return registry::SameName(typeName, suite::kCommentTypeId);
    const auto subkeys = extension.Subkeys();
    const auto values = extension.Values();
    if (!subkeys || !values || !subkeys->empty()) return false;
    for (const auto& value : values.value())
      if (!value.name.empty()) return false;
    return true;
  }

  const UninstallContext& context_;
  StatusView& view_;
  suite::WrittenRecord record_;
  fs::path recordedUninstaller_;
  std::vector<LeftItem> left_;
  SelfRemoval self_ = SelfRemoval::Failed;
};

// The lines of the last message that say what stayed, a few of each kind.
std::string LeftText(const std::vector<LeftItem>& left) {
  std::string text;
  for (const LeftReason reason : {LeftReason::NotTheSuites, LeftReason::LinkOnTheWay}) {
    std::vector<std::string> paths;
    for (const auto& item : left)
      if (item.reason == reason) paths.push_back(item.path.string());
    if (paths.empty()) continue;
    text += "\n" + std::string(reason == LeftReason::NotTheSuites ? kLeftNotOurs : kLeftBehindLink);
    for (std::size_t i = 0; i < paths.size() && i < kLeftLinesShown; ++i) text += "\n  " + paths[i];
    if (paths.size() > kLeftLinesShown) {
      std::string more(kLeftMore);
      more.replace(more.find("%d"), 2, std::to_string(paths.size() - kLeftLinesShown));
      text += "\n  " + more;
    }
  }
  return text;
}

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
  // From here to the end no program of the suite starts the speech server or
  // registers the suite again.
  std::string problem;
  const auto run = suite::UninstallRun::Begin(problem);
  if (!run) Note("the desktop folder", problem);

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

  std::string text = Text(IDS_DONE) + LeftText(script.left());
  switch (script.self()) {
    case SelfRemoval::Deleted: break;
    case SelfRemoval::PackageFile: text += "\n" + std::string(kPackageNote); break;
    case SelfRemoval::NotRecorded:
      // Said only when there is an installed uninstaller that stays.
      if (!script.recordedUninstaller().empty())
        text += "\n" + std::string(kSelfNotRecorded) + "\n  " + script.recordedUninstaller().string();
      break;
    case SelfRemoval::Failed:
      text += "\n" + std::string(kSelfNotDeleted) + "\n  " + script.recordedUninstaller().string();
      break;
  }
  msgbox::ShowMessageBox(Text(IDS_TITLE), text, msgbox::Icon::Information, msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, view->widget());
  return kExitDone;
}

}  // namespace vokar::uninstall
