#include "HelpPage.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "DataDirs.h"
#include "KitStrings.h"
#include "MessageBox.h"
#include "NamedFile.h"

extern char** environ;

namespace vokar::app {
namespace {

namespace fs = std::filesystem;

// How often a running launcher is asked whether it has ended.
constexpr int kLauncherPollMs = 100;

TellUser DefaultTell(const ProgramInfo& program, QWidget* owner) {
  QPointer<QWidget> guarded(owner);
  return [caption = program.title, guarded](const std::string& text) {
    msgbox::ShowMessageBox(caption, text, msgbox::Icon::Warning, msgbox::Buttons::Ok, msgbox::DefaultButton::First,
                           guarded.data());
  };
}

// Starts xdg-open on the page; its pid, or -1 when there is no xdg-open or it
// cannot be started. Its output goes where the program's goes.
pid_t StartXdgOpen(const fs::path& page) {
  const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (launcher.isEmpty()) return -1;
  const std::string program = launcher.toStdString();
  std::string argument = page.string();
  std::vector<char*> argv{const_cast<char*>(program.c_str()), argument.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Waits, from the event loop, for the launcher to end, and tells the user
// when it failed. A launcher that outlives the program (it runs the browser
// in its own place) is left alone.
void WatchLauncher(pid_t pid, fs::path page, TellUser tell) {
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(kLauncherPollMs);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, pid, page = std::move(page), tell = std::move(tell)] {
    int status = 0;
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == 0) return;
    timer->stop();
    timer->deleteLater();
    const bool failed = ended != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (failed) tell(NoBrowserText(page));
  });
  timer->start();
}

}  // namespace

std::vector<fs::path> HelpPlaces(const std::string& page, const std::string& workDir) {
  std::vector<fs::path> places;
  if (!workDir.empty()) places.push_back(fs::path(workDir) / page);
  for (const auto& folder : paths::DataDirs()) places.push_back(folder / "help" / page);
  return places;
}

std::string HelpNotFoundText(const ProgramInfo& program, const std::vector<fs::path>& places) {
  std::string text = program.helpNotFound;
  for (const auto& place : places) text += "\n" + DisplayName(place.string());
  return text;
}

std::string NoBrowserText(const fs::path& page) {
  return std::string(text::kNoBrowser) + "\n" + DisplayName(page.string());
}

HelpOutcome OpenHelpPage(const ProgramInfo& program, const std::string& workDir, QWidget* owner, TellUser tell) {
  if (!tell) tell = DefaultTell(program, owner);
  const auto places = HelpPlaces(program.helpPage, workDir);
  std::error_code error;
  for (const auto& place : places) {
    if (!fs::is_regular_file(place, error)) continue;
    const fs::path page = fs::absolute(place, error).lexically_normal();
    if (const pid_t launcher = StartXdgOpen(page); launcher > 0) {
      WatchLauncher(launcher, page, std::move(tell));
      return HelpOutcome::Opening;
    }
    // Without xdg-open the toolkit tries the launchers it knows of.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string()))))
      return HelpOutcome::Opening;
    tell(NoBrowserText(page));
    return HelpOutcome::NoBrowser;
  }
  tell(HelpNotFoundText(program, places));
  return HelpOutcome::NotFound;
}

}  // namespace vokar::app
