// vkremove: removes the suite from the user's desktop (see Uninstaller.h).
// Exit codes: 0 done, 1 aborted or failed (with a message), 2 "no" to the
// first question.
#include <cstdlib>
#include <iostream>
#include <memory>

#include "Application.h"
#include "RemoveStrings.h"
#include "RemoveWindow.h"
#include "Uninstaller.h"

namespace {

bool HaveDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vokar::uninstall;
  if (!HaveDisplay()) {
    // Nothing can be shown: say it where the user started us.
    std::cerr << "\a" << kFatalTitle << ": " << kFatalText << "\n";
    return kExitFailed;
  }
  // The kit gives the uninstaller Qt's Polish buttons ("Tak", "Nie") and its
  // end on a signal; an uninstaller never registers what it removes.
  vokar::app::CApplication application(argc, argv, "vkremove", vokar::app::FirstStartRegistration::Never);
  QApplication::setWindowIcon(CRemoveWindow::MakeIcon());

  return RunUninstall(CurrentContext(), []() -> std::unique_ptr<StatusView> {
    auto window = std::make_unique<CRemoveWindow>();
    window->ShowAndWait();
    return window;
  });
}
