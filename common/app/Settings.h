// The settings of one program under HKEY_CURRENT_USER\Software\Quillmark\<name>,
// one subkey per section, with the rules every program of the suite keeps:
// numbers as 32-bit integers (clamped to their range when read), yes/no values
// as "Yes" and "No", and some values written only when the store lacks them.
// Reads never fail: a missing or unreadable value gives the fallback. Writes
// report success, and the programs ignore a failure at exit, as they always did.
#pragma once

#include <string>
#include <string_view>

#include "Profile.h"

namespace vokar::app {

class CSettings {
 public:
  explicit CSettings(std::string application, std::string company = "Quillmark");

  int ReadInt(std::string_view section, std::string_view entry, int fallback) const;
  // The number limited to low..high; the fallback when missing (not limited).
  int ReadClampedInt(std::string_view section, std::string_view entry, int fallback, int low, int high) const;
  // Yes when the first character, in either case, is '1' to '9', 't' or 'y'.
  bool ReadYesNo(std::string_view section, std::string_view entry, bool fallback) const;
  std::string ReadString(std::string_view section, std::string_view entry, std::string_view fallback) const;
  // For text the engine takes: fallback and result in code page 1250.
  std::string ReadStringCp1250(std::string_view section, std::string_view entry, std::string_view fallback) const;
  // True when the value exists, whatever its type.
  bool Has(std::string_view section, std::string_view entry) const;

  bool WriteInt(std::string_view section, std::string_view entry, int value) const;
  bool WriteYesNo(std::string_view section, std::string_view entry, bool yes) const;
  bool WriteString(std::string_view section, std::string_view entry, std::string_view utf8Value) const;
  bool WriteStringCp1250(std::string_view section, std::string_view entry, std::string_view cp1250Value) const;

  // Written only when the store lacks the value; a value already there, of
  // either type, is left alone. True when the value is there afterwards.
  bool WriteIntIfAbsent(std::string_view section, std::string_view entry, int value) const;
  bool WriteYesNoIfAbsent(std::string_view section, std::string_view entry, bool yes) const;

  const registry::Profile& profile() const { return profile_; }

 private:
  registry::Profile profile_;
};

}  // namespace vokar::app
