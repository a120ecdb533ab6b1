// The profile helpers every program keeps its settings with: a company and an
// application name give the key Software\<company>\<application>, one subkey
// per section; integers are 32-bit numbers, everything else strings, and
// yes/no settings are the strings "Yes" and "No".
#pragma once

#include <string>
#include <string_view>

#include "Registry.h"

namespace vokar::registry {

// A yes/no setting read as yes when its first character, lower-cased, is '1'
// to '9', 't' or 'y' ("Yes", "true", "1"); anything else, the empty string
// included, is no.
bool IsYes(std::string_view text);
// "Yes" or "No".
std::string_view YesNoText(bool yes);

class Profile {
 public:
  // Settings under <root>\Software\<company>\<application>.
  Profile(std::string company, std::string application, Root root = Root::CurrentUser);

  // "Software\<company>\<application>" and, with a section, "\<section>".
  std::string SectionPath(std::string_view section) const;

  // A number, or the fallback when the value is missing, is not a number or
  // the store cannot be read. Numbers are 32-bit and read as signed.
  int GetInt(std::string_view section, std::string_view entry, int fallback) const;
  // A string in UTF-8, or the fallback when missing or not a string.
  std::string GetString(std::string_view section, std::string_view entry, std::string_view fallback) const;
  // The same for programs that work in code page 1250: the fallback and the
  // result are in code page 1250.
  std::string GetStringCp1250(std::string_view section, std::string_view entry, std::string_view fallback) const;
  // A yes/no setting by the rule of IsYes; the fallback when missing.
  bool GetYesNo(std::string_view section, std::string_view entry, bool fallback) const;
  // True when the value exists, whatever its type.
  bool Has(std::string_view section, std::string_view entry) const;

  // Writers create the section key when missing and report success.
  Status WriteInt(std::string_view section, std::string_view entry, int value) const;
  Status WriteString(std::string_view section, std::string_view entry, std::string_view utf8Value) const;
  Status WriteStringCp1250(std::string_view section, std::string_view entry, std::string_view cp1250Value) const;
  Status WriteYesNo(std::string_view section, std::string_view entry, bool yes) const;

 private:
  Result<Value> Read(std::string_view section, std::string_view entry) const;
  Status Write(std::string_view section, std::string_view entry, const Value& value) const;

  std::string company_;
  std::string application_;
  Root root_;
};

}  // namespace vokar::registry
