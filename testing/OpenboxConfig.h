// The configuration of the window manager (openbox) of the tests' X
// sessions, given to it with --config-file, and its theme: the test's user
// has no system configuration or data folders (PrivateUser.h), and openbox
// ends when it finds no theme, so what the tests rely on is written here.
// New windows take the focus, a click focuses and raises a window, Alt+F4
// closes the active one, as on a user's desktop.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "TestFolder.h"

namespace vokar::test {

inline constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus>
    <focusNew>yes</focusNew>
    <followMouse>no</followMouse>
    <focusLast>yes</focusLast>
  </focus>
  <placement><policy>Smart</policy></placement>
  <theme><name>VokarTests</name></theme>
  <desktops><number>1</number></desktops>
  <keyboard>
    <keybind key="A-F4"><action name="Close"/></keybind>
  </keyboard>
  <mouse>
    <dragThreshold>1</dragThreshold>
    <doubleClickTime>500</doubleClickTime>
    <context name="Frame">
      <mousebind button="A-Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Middle" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Right" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";

inline constexpr const char* kOpenboxTheme = R"(border.width: 1
padding.width: 2
window.active.title.bg: flat solid
window.active.title.bg.color: #3465a4
window.active.label.text.color: #ffffff
window.inactive.title.bg: flat solid
window.inactive.title.bg.color: #b0b0b0
window.inactive.label.text.color: #000000
menu.items.bg: flat solid
menu.items.bg.color: #f0f0f0
menu.items.text.color: #000000
)";

// Writes the theme where openbox looks for it: the data folder of the test's
// user ($XDG_DATA_HOME, made private by the test programs' main).
inline void WriteOpenboxTheme() {
  std::filesystem::path data;
  if (const char* home = std::getenv("XDG_DATA_HOME"); home != nullptr && *home == '/') {
    data = home;
  } else if (const char* user = std::getenv("HOME"); user != nullptr && *user == '/') {
    data = std::filesystem::path(user) / ".local" / "share";
  } else {
    return;
  }
  const std::filesystem::path theme = data / "themes" / "VokarTests" / "openbox-3" / "themerc";
  std::error_code ignored;
  if (std::filesystem::exists(theme, ignored)) return;
  std::filesystem::create_directories(theme.parent_path(), ignored);
  std::ofstream(theme) << kOpenboxTheme;
}

// The configuration file, written once into the test program's folder, and
// the theme, written for the test's user.
inline std::filesystem::path OpenboxConfigFile() {
  WriteOpenboxTheme();
  const std::filesystem::path file = TestFolder::Root() / "openbox-rc.xml";
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) {
    std::filesystem::create_directories(file.parent_path(), ignored);
    const std::filesystem::path partial = file.string() + ".part";
    std::ofstream(partial) << kOpenboxConfig;
    std::filesystem::rename(partial, file, ignored);
  }
  return file;
}

}  // namespace vokar::test
