#include "AutostartBox.h"

#include <chrono>
#include <filesystem>

#include "FirstStart.h"
#include "MessageBox.h"
#include "Places.h"
#include "Registry.h"
#include "Suite.h"

namespace vokar::suite {
namespace {

// The start-up folder the installation recorded, else the desktop's.
std::filesystem::path StartupFolder() {
  if (auto folders = registry::Key::Open(registry::Root::CurrentUser, kShellFoldersKey))
    if (auto startup = folders->QueryString(kStartupFolder); startup && !startup->empty()) return startup.value();
  return AutostartDir();
}

}  // namespace

CAutostartBox::CAutostartBox(QWidget* parent)
    : QCheckBox(QStringLiteral("&Uruchamiaj po zalogowaniu"), parent) {
  setObjectName(QStringLiteral("autostart"));
  setAccessibleName(QStringLiteral("Uruchamiaj Vokar, Horalo i Radko po zalogowaniu"));
  setToolTip(QStringLiteral("Vokar, Horalo i Radko uruchamiają się same po zalogowaniu"));
  Refresh();
  // Only the user's click changes the start-up folder, never setChecked.
  connect(this, &QCheckBox::clicked, this, [this](bool on) {
    const bool done = RunInstaller({on ? "--autostart" : "--no-autostart", "--quiet"}, std::chrono::seconds(20));
    Refresh();
    if (!done || isChecked() != on)
      msgbox::ShowMessageBox("Vokar",
                             on ? "Nie udało się ustawić uruchamiania programów po zalogowaniu."
                                : "Nie udało się wyłączyć uruchamiania programów po zalogowaniu.",
                             msgbox::Icon::Warning, msgbox::Buttons::Ok, msgbox::DefaultButton::First, window());
  });
}

void CAutostartBox::Refresh() { setChecked(AutostartIsOn(StartupFolder())); }

}  // namespace vokar::suite
