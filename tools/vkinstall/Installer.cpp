#include "Installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "AppPaths.h"
#include "DataDirs.h"
#include "DesktopRegistration.h"
#include "Places.h"
#include "RegularFile.h"
#include "Registration.h"
#include "Registry.h"
#include "Suite.h"
#include "WrittenRecord.h"

namespace vokar::install {
namespace fs = std::filesystem;

const std::vector<MenuItem>& MenuItems() {
  static const std::vector<MenuItem> items{
      {"vokar", "Vokar", "Syntezator mowy", "Czyta na głos polski tekst", "quillmark-vokar", true},
      {"horalo", "Horalo", "Mówiący zegar", "Podaje godzinę i datę, przypomina o ważnych sprawach",
       "quillmark-horalo", false},
      {"klavo", "Klavo", "Mówiąca klawiatura", "Wymawia naciskane klawisze i wpisane słowa", "quillmark-klavo",
       false},
      {"remarka", "Remarka", "Komentarze mówione", "Pisze i czyta na głos krótkie komentarze",
       "quillmark-remarka", true},
      {"sievo", "Sievo", "Komunikaty w sieci", "Wypowiada komunikat na innym komputerze w sieci",
       "quillmark-sievo", false},
      {"radko", "Radko", "Doradca", "Czyta jedną radę z pliku przy każdym uruchomieniu", "quillmark-radko", true},
      {"vkremove", "Usuwanie pakietu Vokar 1.1", "Deinstalator", "Usuwa pakiet Vokar z komputera",
       "quillmark-vkremove", false},
  };
  return items;
}

const MenuItem* FindMenuItem(std::string_view executable) {
  for (const auto& item : MenuItems())
    if (item.executable == executable) return &item;
  return nullptr;
}

namespace {

DesktopEntry BaseEntry(const MenuItem& item) {
  DesktopEntry entry;
  entry.name = std::string(item.name);
  entry.genericName = std::string(item.genericName);
  entry.comment = std::string(item.comment);
  entry.fieldCode = item.takesFile ? "%f" : "";
  entry.categories = {"Utility", "Accessibility"};
  return entry;
}

bool IsExecutableFile(const fs::path& file) {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(file.c_str(), X_OK) == 0;
}

std::string ErrorText(const std::error_code& error) { return error.message(); }

}  // namespace

DesktopEntry SystemMenuEntry(const MenuItem& item) {
  DesktopEntry entry = BaseEntry(item);
  entry.command = {std::string(item.executable)};
  entry.tryExec = std::string(item.executable);
  entry.icon = std::string(item.icon);
  return entry;
}

InstallPlaces DefaultPlaces() {
  InstallPlaces places;
  places.programsDir = suite::ResolvedPath(paths::ExecutableDir());
  if (!places.programsDir.empty())
    places.iconsDir =
        (places.programsDir / ".." / "share" / "icons" / "hicolor" / "scalable" / "apps").lexically_normal();
  // Recorded as they really are, so that the uninstaller can tell later when
  // a link has been put on the way.
  // The working directory's own name is kept: a link there is refused.
  const fs::path working = suite::DefaultWorkingDir();
  places.workingDir = working.empty() ? working : suite::ResolvedPath(working.parent_path()) / working.filename();
  places.startupDir = suite::ResolvedPath(suite::AutostartDir());
  places.applicationsDir = suite::ResolvedPath(suite::ApplicationsDir());
  places.groupName = std::string(suite::kProductName);
  return places;
}

DesktopEntry UserEntry(const MenuItem& item, const InstallPlaces& places) {
  DesktopEntry entry = BaseEntry(item);
  const fs::path program = places.programsDir / item.executable;
  entry.command = {program.string()};
  entry.tryExec = program.string();
  const fs::path iconFile = places.iconsDir / (std::string(item.icon) + ".svg");
  std::error_code ignored;
  entry.icon = !places.iconsDir.empty() && fs::is_regular_file(iconFile, ignored) ? iconFile.string()
                                                                                  : std::string(item.icon);
  return entry;
}

bool WriteEntryFile(const fs::path& file, std::string_view bytes, std::string& error) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      error = file.string() + ": a folder of that name is in the way";
      return false;
    }
    if (S_ISREG(info.st_mode)) {
      const auto existing = files::ReadRegularFile(file, 1 << 16);
      if (!existing.ok() || !suite::IsSuiteEntry(existing.bytes)) {
        error = file.string() + ": a file of that name that is not the suite's own is left alone";
        return false;
      }
    }
    // A symbolic link is replaced by the entry itself; its target is untouched.
  }
  std::error_code code;
  fs::create_directories(file.parent_path(), code);
  if (code) {
    error = file.parent_path().string() + ": " + ErrorText(code);
    return false;
  }
  const fs::path temporary = file.parent_path() / ("." + file.filename().string() + ".new-" + std::to_string(::getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      fs::remove(temporary, code);
      error = temporary.string() + ": cannot be written";
      return false;
    }
  }
  fs::rename(temporary, file, code);
  if (code) {
    fs::remove(temporary, code);
    error = file.string() + ": " + ErrorText(code);
    return false;
  }
  return true;
}

namespace {

class Run {
 public:
  Run(const InstallPlaces& places, InstallMode mode) : places_(places), mode_(mode) {}

  InstallReport Execute() {
    WatchWhatMayBeCreated();
    watch_.Before();
    if (mode_ == InstallMode::Full) {
      const bool haveWorkingDir = PrepareWorkingDir();
      WriteRecord(haveWorkingDir);
      WriteShellFolders();
    } else {
      WriteRecord(false);
    }
    WriteAppPaths();
    WriteUninstallEntry();
    if (mode_ == InstallMode::Full) {
      WriteShortcuts();
      // Start-up entries are kept as the user chose: those there are rewritten.
      WriteStartupEntries(/*onlyExisting=*/true);
    }
    RegisterCommentType();
    SaveRecord();
    return std::move(report_);
  }

  InstallReport Autostart(bool on) {
    if (places_.startupDir.empty()) {
      Fail("no home folder: the start-up entries have no place");
      return std::move(report_);
    }
    for (const auto title : suite::kStartupShortcuts) watch_.Watch(StartupEntry(title), suite::ConfigHome());
    watch_.Before();
    if (on) {
      WriteStartupEntries();
    } else {
      RemoveStartupEntries();
    }
    SaveRecord();
    return std::move(report_);
  }

 private:
  void Fail(std::string text) { report_.errors.push_back(std::move(text)); }
  void Done(std::string text) { report_.done.push_back(std::move(text)); }

  void Check(const registry::Status& status) {
    if (!status) Fail(status.error().description);
  }

  bool Installed(std::string_view executable) const {
    return IsExecutableFile(places_.programsDir / executable);
  }

  fs::path StartupEntry(std::string_view title) const {
    return places_.startupDir / (std::string(title) + std::string(suite::kShortcutExtension));
  }

  // Everything this run may create, so that what it did create is recorded.
  void WatchWhatMayBeCreated() {
    const fs::path data = suite::ResolvedPath(suite::DataHome());
    const fs::path config = suite::ResolvedPath(suite::ConfigHome());
    const std::string extension(suite::kShortcutExtension);
    if (mode_ == InstallMode::Full) {
      watch_.Watch(places_.workingDir / suite::kMarkerFile, data);
      for (const auto title : suite::kStartupShortcuts) watch_.Watch(StartupEntry(title), config);
      watch_.Watch(places_.applicationsDir / (std::string(suite::kSendToShortcut) + extension), data);
      for (const auto& item : MenuItems())
        watch_.Watch(places_.applicationsDir / places_.groupName / (std::string(item.executable) + extension), data);
    }
    const auto desktop = comment::DesktopPlaces::FromEnvironment();
    if (desktop.dataHome.empty() || desktop.configHome.empty()) return;
    const fs::path desktopData = suite::ResolvedPath(desktop.dataHome);
    const fs::path desktopConfig = suite::ResolvedPath(desktop.configHome);
    const comment::DesktopPlaces resolved{desktopData, desktopConfig};
    watch_.Watch(resolved.DesktopEntry(), desktopData);
    watch_.Watch(resolved.MimeAppsList(), desktopConfig);
    for (const auto& icon : resolved.Icons()) watch_.Watch(icon, desktopData);
    // The package and the database the desktop's tool generates from it.
    watch_.Watch(resolved.MimePackage(), desktopData);
    watch_.WatchTree(desktopData / "mime", desktopData);
    watch_.Watch(desktopData / "applications" / "mimeinfo.cache", desktopData);
  }

  void SaveRecord() {
    const auto created = watch_.Created();
    if (const std::string problem = suite::AddToWrittenRecord(created); !problem.empty())
      Fail("the record of what was written: " + problem);
  }

  // The working directory is ours when we make it, or when it already holds
  // the marker; a folder of the same name with other files in it is not taken.
  bool PrepareWorkingDir() {
    const fs::path& dir = places_.workingDir;
    if (dir.empty() || !dir.is_absolute()) {
      Fail("no home folder: the working directory has no place");
      return false;
    }
    std::error_code code;
    const auto status = fs::symlink_status(dir, code);
    if (fs::is_symlink(status)) {
      Fail(dir.string() + ": is a symbolic link; the working directory must be a folder of its own");
      return false;
    }
    const fs::path marker = dir / suite::kMarkerFile;
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) {
        Fail(dir.string() + ": is not a folder");
        return false;
      }
      const auto existing = files::ReadRegularFile(marker, 4096);
      const bool marked = existing.ok() && existing.bytes == suite::kMarkerText;
      if (!marked && !fs::is_empty(dir, code)) {
        Fail(dir.string() + ": holds files that are not the suite's; it is not taken as the working directory");
        return false;
      }
      if (marked) return true;
    } else {
      fs::create_directories(dir, code);
      if (code) {
        Fail(dir.string() + ": " + ErrorText(code));
        return false;
      }
    }
    std::ofstream out(marker, std::ios::binary | std::ios::trunc);
    out << suite::kMarkerText;
    out.flush();
    if (!out) {
      Fail(marker.string() + ": cannot be written");
      return false;
    }
    Done("working directory " + dir.string());
    return true;
  }

  void WriteRecord(bool haveWorkingDir) {
    auto record = registry::Key::Create(registry::Root::CurrentUser, suite::kRecordKey);
    if (!record) return Fail(record.error().description);
    if (haveWorkingDir) Check(record->Set(suite::kDirectoryValue, registry::Value(places_.workingDir.string())));
    if (mode_ == InstallMode::Full) Check(record->Set(suite::kGroupNameValue, registry::Value(places_.groupName)));
    Check(record->Set(suite::kProgramsValue, registry::Value(places_.programsDir.string())));
    Done("installation record " + record->FullName());
  }

  void WriteShellFolders() {
    auto folders = registry::Key::Create(registry::Root::CurrentUser, suite::kShellFoldersKey);
    if (!folders) return Fail(folders.error().description);
    Check(folders->Set(suite::kStartupFolder, registry::Value(places_.startupDir.string())));
    Check(folders->Set(suite::kSendToFolder, registry::Value(places_.applicationsDir.string())));
    Check(folders->Set(suite::kProgramsFolder, registry::Value(places_.applicationsDir.string())));
  }

  void WriteAppPaths() {
    for (const auto& program : suite::kPrograms) {
      if (!Installed(program.executable)) {
        report_.skipped.push_back(std::string(program.title) + " is not installed in " + places_.programsDir.string());
        continue;
      }
      const fs::path path = places_.programsDir / program.executable;
      Check(registry::WriteAppPath(program.appPathName, path.string()));
      Done("App Paths " + std::string(program.appPathName) + " = " + path.string());
    }
  }

  void WriteUninstallEntry() {
    auto entry = registry::Key::Create(registry::Root::LocalMachine, suite::kUninstallEntryKey);
    if (!entry) return Fail(entry.error().description);
    Check(entry->Set("DisplayName", registry::Value(std::string(suite::kProductName))));
    Check(entry->Set("DisplayVersion", registry::Value(std::string(suite::kVersionText))));
    Check(entry->Set("Publisher", registry::Value(std::string(suite::kCompany))));
    if (Installed(suite::kUninstallerExecutable))
      Check(entry->Set("UninstallString",
                       registry::Value((places_.programsDir / suite::kUninstallerExecutable).string())));
    Done("uninstall entry " + entry->FullName());
  }

  void WriteEntry(const fs::path& file, const DesktopEntry& entry) {
    std::string error;
    if (WriteEntryFile(file, FormatDesktopEntry(entry), error))
      Done("desktop entry " + file.string());
    else
      Fail(error);
  }

  void WriteStartupEntries(bool onlyExisting = false) {
    for (const auto title : suite::kStartupShortcuts) {
      if (onlyExisting && !suite::IsSuiteEntryFile(StartupEntry(title))) continue;
      for (const auto& program : suite::kPrograms) {
        if (program.title != title || !Installed(program.executable)) continue;
        DesktopEntry entry = UserEntry(*FindMenuItem(program.executable), places_);
        entry.fieldCode.clear();
        WriteEntry(StartupEntry(title), entry);
      }
    }
  }

  void RemoveStartupEntries() {
    for (const auto title : suite::kStartupShortcuts) {
      const fs::path file = StartupEntry(title);
      struct stat info {};
      if (::lstat(file.c_str(), &info) != 0) continue;
      if (!suite::IsSuiteEntryFile(file)) {
        report_.skipped.push_back(file.string() + " is not the suite's own and stays");
        continue;
      }
      if (::unlink(file.c_str()) == 0)
        Done("removed " + file.string());
      else
        Fail(file.string() + ": " + std::generic_category().message(errno));
    }
  }

  void WriteShortcuts() {
    const std::string extension(suite::kShortcutExtension);
    if (places_.startupDir.empty() || places_.applicationsDir.empty()) {
      Fail("no home folder: the shortcuts have no place");
      return;
    }
    if (Installed("vokar")) {
      // The send-to entry reads a file handed to it; it names no MIME type,
      // so that no desktop ever takes the server for the default application
      // of text files.
      DesktopEntry sendTo = UserEntry(*FindMenuItem("vokar"), places_);
      sendTo.name = std::string(suite::kSendToShortcut);
      sendTo.genericName.clear();
      sendTo.comment = "Czyta plik tekstowy na głos";
      sendTo.noDisplay = true;
      WriteEntry(places_.applicationsDir / (std::string(suite::kSendToShortcut) + extension), sendTo);
    }
    const fs::path group = places_.applicationsDir / places_.groupName;
    for (const auto& item : MenuItems()) {
      if (!Installed(item.executable)) continue;
      WriteEntry(group / (std::string(item.executable) + extension), UserEntry(item, places_));
    }
  }

  // The comment editor's own registration: the class entries of the store
  // and the comment type of the desktop.
  void RegisterCommentType() {
    if (!Installed("remarka")) return;
    const auto registered = comment::RegisterCommentType(places_.programsDir / "remarka");
    for (const auto& problem : registered.problems) Fail("comment type: " + problem);
    if (registered.ok) Done("comment type " + std::string(suite::kCommentTypeId));
  }

  const InstallPlaces& places_;
  const InstallMode mode_ = InstallMode::Full;
  suite::CreationWatch watch_;
  InstallReport report_;
};

}  // namespace

InstallReport InstallForUser(const InstallPlaces& places, InstallMode mode) { return Run(places, mode).Execute(); }

InstallReport SetAutostart(const InstallPlaces& places, bool on) { return Run(places, InstallMode::Full).Autostart(on); }

}  // namespace vokar::install
