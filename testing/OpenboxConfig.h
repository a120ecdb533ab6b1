// The configuration of the window manager (openbox) of the tests' X
// sessions, given to it with --config-file: the test's user has no system
// configuration folders (PrivateUser.h), so what the tests rely on is
// written here. New windows take the focus, a click focuses and raises a
// window, Alt+F4 closes the active one, as on a user's desktop.
#pragma once

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

// The configuration file, written once into the test program's folder.
inline std::filesystem::path OpenboxConfigFile() {
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
