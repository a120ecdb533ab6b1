#include "KlavoApp.h"

#include <limits.h>
#include <sys/resource.h>

#include <QListWidget>
#include <QPushButton>

#include <filesystem>

#include "Clipboard.h"
#include "Desktop.h"
#include "Intl.h"
#include "KlavoDlg.h"
#include "KlavoIds.h"
#include "KlavoStrings.h"
#include "MessageBox.h"

namespace vokar::keyboard {
namespace {

// How long a second start waits for the first one's window, when the first
// holds the lock but is still starting.
constexpr auto kWaitForFirstWindow = std::chrono::milliseconds(5000);

std::string CurrentDirectory() {
  std::error_code error;
  const auto current = std::filesystem::current_path(error);
  if (error || current.native().size() >= PATH_MAX) return {};
  return current.string();
}

}  // namespace

CKlavoApp::CKlavoApp(app::CApplication& application) : application(application) {}

CKlavoApp::~CKlavoApp() {
  if (dialog) dialog->Destroy();
  dialog.reset();
  Exit();
}

bool CKlavoApp::TakeSingleInstance() {
  auto lock = named::NamedSemaphore::Create(kInstanceLock);
  if (lock && !lock->AlreadyExisted()) {
    instance_.emplace(std::move(lock.value()));
    return true;
  }
  // Without the lock this is the first program only when no keyboard's
  // window can be seen.
  if (!lock && !desktop::FindWindow(kKlavoTitle)) return true;
  // Another keyboard runs, or is starting: its window comes forward.
  desktop::WindowHandle first;
  desktop::RunUntil([&first] { return static_cast<bool>(first = desktop::FindWindow(kKlavoTitle)); },
                    kWaitForFirstWindow);
  if (first) desktop::PostMessage(first, WM_KLAVO_SHOW, 0, 0);
  return false;
}

int CKlavoApp::Run() {
  if (!TakeSingleInstance()) return 0;
  // Settings only once this is the one program: a second start writes none.
  exited_ = false;
  workDir = settings.ReadString("Global", "WorkDir", CurrentDirectory());
  if (!workDir.empty() && workDir.back() != '/') workDir += '/';
  const intl::IntlValues locale = intl::ReadIntl();
  separators = {locale.decimal, locale.thousand, locale.date};
  taskBarIcon = settings.ReadYesNo("Global", "TaskBarIcon", true);
  highPriority = settings.ReadYesNo("Global", "HighPriority", false);
  // The system may refuse a raised priority to an ordinary user; the
  // keyboard then runs at the normal one.
  if (highPriority) ::setpriority(PRIO_PROCESS, 0, -10);
  clipboard = std::make_unique<clipboard::CClipboard>();

  // A request to end from outside (a signal, the end of the session) takes
  // the road of "Koniec".
  application.SetQuitRequestHandler([this] {
    if (dialog) dialog->PostQuit();
  });
  dialog = std::make_unique<CKlavoDlg>(*this);
  std::string error;
  if (!dialog->Initialise(error)) {
    msgbox::ShowMessageBox(kKlavoTitle, Strings().Utf8(IDS_NO_DESKTOP) + "\n" + error, msgbox::Icon::Stop,
                           msgbox::Buttons::Ok);
    dialog->Destroy();
    Exit();
    return 1;
  }
  if (dialog->startFailed()) {
    dialog->Destroy();
    Exit();
    return 1;
  }
  dialog->exec();
  dialog->Destroy();
  Exit();
  return 0;
}

void CKlavoApp::Exit() {
  if (exited_ || !instance_) return;
  exited_ = true;
  settings.WriteYesNo("Global", "TaskBarIcon", taskBarIcon);
  settings.WriteYesNoIfAbsent("Global", "HighPriority", false);
  settings.WriteString("Global", "WorkDir", workDir);
  instance_.reset();
}

}  // namespace vokar::keyboard
