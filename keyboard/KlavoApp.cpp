#include "KlavoApp.h"

// The dialog's hot-key list keeps its controls by pointer.
#include <QListWidget>
#include <QPushButton>

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

}  // namespace

CKlavoApp::CKlavoApp(app::CApplication& application) : application(application) {}

CKlavoApp::~CKlavoApp() {
  if (dialog) dialog->Destroy();
  dialog.reset();
  Exit();
}

bool CKlavoApp::TakeSingleInstance() {
  if (instance_.Take(kInstanceLock, kKlavoTitle) == app::CInstanceLock::Result::First) return true;
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
  workDir = app::ReadWorkDir(settings);
  const intl::IntlValues locale = intl::ReadIntl();
  separators = {locale.decimal, locale.thousand, locale.date};
  switches = app::ReadDesktopSwitches(settings);
  clipboard = std::make_unique<clipboard::CClipboard>();

  // A request to end from outside (a signal, the end of the session) takes
  // the road of "Koniec".
  application.SetQuitRequestHandler([this] {
    if (dialog) dialog->PostQuit();
  });
  dialog = std::make_unique<CKlavoDlg>(*this);
  std::string error;
  const bool initialised = dialog->Initialise(error);
  if (!initialised) {
    msgbox::ShowMessageBox(kKlavoTitle, Strings().Utf8(IDS_NO_DESKTOP) + "\n" + error, msgbox::Icon::Stop,
                           msgbox::Buttons::Ok);
  }
  // A speech client that could not connect has told the user why.
  return application.RunMainDialog(dialog.get(), initialised && !dialog->startFailed(), [this] {
    dialog->Destroy();
    Exit();
  });
}

void CKlavoApp::Exit() {
  if (exited_ || !instance_.held()) return;
  exited_ = true;
  app::WriteDesktopSwitches(settings, switches, workDir);
  instance_.Release();
}

}  // namespace vokar::keyboard
