// The uninstaller's script: the question, the check for running programs by
// their desktop-bus titles, then the shortcuts, the working directory, the
// programs group, the settings keys, the application paths, the uninstall
// entry and the comment type, each step announced in the window; at the end
// the uninstaller's own file. Failures of single deletions are not reported
// to the user (they are written to standard error); an abort or a failure to
// start is, and decides the exit code.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QWidget;

namespace vokar::uninstall {

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;    // aborted, or a failure with its message
inline constexpr int kExitDeclined = 2;  // "no" to the first question

// The window that shows where the script is.
class StatusView {
 public:
  virtual ~StatusView() = default;
  // Shows the string and moves the progress bar to position (0..100) at once.
  virtual void SetStatus(int stringId, int position) = 0;
  // The owner of the message boxes shown while the window is up.
  virtual QWidget* widget() = 0;
};

struct UninstallContext {
  std::filesystem::path home;        // never deleted, nor anything above it
  std::filesystem::path executable;  // the uninstaller's own file
  std::filesystem::path dpkgAdminDir;  // where the package manager keeps its file lists
};

// The context of the running program: $HOME, /proc/self/exe, $DPKG_ADMINDIR
// or /var/lib/dpkg.
UninstallContext CurrentContext();

// What happened to the uninstaller's own file.
enum class SelfRemoval { Deleted, PackageFile, Failed };

// True when the package manager's list of a package's files (one absolute
// path a line) names the file, directly or through linked folders.
bool ListNamesFile(std::string_view list, const std::filesystem::path& file);

// True when the file is one of the files the package "vokar" installed.
bool IsPackageFile(const std::filesystem::path& file, const std::filesystem::path& dpkgAdminDir);

// Deletes the uninstaller's file unless it belongs to the package (the
// package manager removes those).
SelfRemoval RemoveOwnExecutable(const UninstallContext& context);

// Runs the whole script; createWindow is called after the first question and
// returns nothing when the window cannot be made. Returns the exit code.
int RunUninstall(const UninstallContext& context, const std::function<std::unique_ptr<StatusView>()>& createWindow);

}  // namespace vokar::uninstall
