// Registering the comment type for the user, and removing it: the entries in
// the class root of the settings store and the desktop's MIME type, desktop
// entry, icons and default application. `remarka --register` and
// `remarka --unregister` run these; the installer calls them too.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "DesktopRegistration.h"

namespace vokar::comment {

struct RegistrationReport {
  bool ok = true;
  std::vector<std::string> problems;  // one line each, naming the key or file
};

RegistrationReport RegisterCommentType(const std::filesystem::path& program,
                                       const DesktopPlaces& places = DesktopPlaces::FromEnvironment());
RegistrationReport UnregisterCommentType(const DesktopPlaces& places = DesktopPlaces::FromEnvironment());

}  // namespace vokar::comment
