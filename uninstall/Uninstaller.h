// The uninstaller's script: the question, the check for running programs by
// their desktop-bus titles (the clients first, the speech server last; while
// it runs no client starts the server again), then the shortcuts, the
// working directory, the programs group, the settings keys, the application
// paths, the uninstall entry, the comment type and the rest of what the
// suite recorded writing, each step announced in the window; at the end the
// uninstaller's own file, when it is the one the installation recorded.
// Only what the suite wrote goes: what stays because the user made it (or a
// link is on its way) is said in the last message. Failures of single
// deletions are written to standard error; an abort or a failure to start is
// shown, and decides the exit code.
#pragma once

#include <sys/types.h>

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
  std::filesystem::path home;          // never deleted, nor anything above it
  std::filesystem::path executable;    // the file the running program was loaded from
  dev_t executableDevice = 0;          // and its identity, which a path alone does not prove
  ino_t executableInode = 0;
  std::filesystem::path dpkgAdminDir;  // where the package manager keeps its file lists
};

// The context of the running program: $HOME, the file /proc/self/exe leads
// to, $DPKG_ADMINDIR or /var/lib/dpkg.
UninstallContext CurrentContext();

// What happened to the uninstaller's own file.
enum class SelfRemoval {
  Deleted,
  PackageFile,    // the package manager's: left to it
  NotRecorded,    // the running program is not the installation's uninstaller (another copy,
                  // a build folder, a start through the dynamic loader): nothing deleted
  Failed,
};

// True when the package manager's list of a package's files (one absolute
// path a line) names the file, directly or through linked folders.
bool ListNamesFile(std::string_view list, const std::filesystem::path& file);

// True when the file is one of the files the package "vokar" installed.
bool IsPackageFile(const std::filesystem::path& file, const std::filesystem::path& dpkgAdminDir);

// Deletes the uninstaller's own file, only when the running program is the
// file the installation recorded as its uninstaller (recordedUninstaller, the
// uninstall entry's UninstallString): the same path, resolved, and the same
// file, outside a build folder and not a file of the package (the package
// manager removes those).
SelfRemoval RemoveOwnExecutable(const UninstallContext& context, const std::filesystem::path& recordedUninstaller);

// Runs the whole script; createWindow is called after the first question and
// returns nothing when the window cannot be made. Returns the exit code.
int RunUninstall(const UninstallContext& context, const std::function<std::unique_ptr<StatusView>()>& createWindow);

}  // namespace vokar::uninstall
