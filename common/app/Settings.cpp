#include "Settings.h"

#include <algorithm>

namespace vokar::app {

CSettings::CSettings(std::string application, std::string company)
    : profile_(std::move(company), std::move(application)) {}

int CSettings::ReadInt(std::string_view section, std::string_view entry, int fallback) const {
  return profile_.GetInt(section, entry, fallback);
}

int CSettings::ReadClampedInt(std::string_view section, std::string_view entry, int fallback, int low,
                              int high) const {
  if (!profile_.Has(section, entry)) return fallback;
  return std::clamp(profile_.GetInt(section, entry, fallback), low, high);
}

bool CSettings::ReadYesNo(std::string_view section, std::string_view entry, bool fallback) const {
  return profile_.GetYesNo(section, entry, fallback);
}

std::string CSettings::ReadString(std::string_view section, std::string_view entry, std::string_view fallback) const {
  return profile_.GetString(section, entry, fallback);
}

std::string CSettings::ReadStringCp1250(std::string_view section, std::string_view entry,
                                        std::string_view fallback) const {
  return profile_.GetStringCp1250(section, entry, fallback);
}

bool CSettings::Has(std::string_view section, std::string_view entry) const { return profile_.Has(section, entry); }

bool CSettings::WriteInt(std::string_view section, std::string_view entry, int value) const {
  return profile_.WriteInt(section, entry, value).ok();
}

bool CSettings::WriteYesNo(std::string_view section, std::string_view entry, bool yes) const {
  return profile_.WriteYesNo(section, entry, yes).ok();
}

bool CSettings::WriteString(std::string_view section, std::string_view entry, std::string_view utf8Value) const {
  return profile_.WriteString(section, entry, utf8Value).ok();
}

bool CSettings::WriteStringCp1250(std::string_view section, std::string_view entry,
                                  std::string_view cp1250Value) const {
  return profile_.WriteStringCp1250(section, entry, cp1250Value).ok();
}

bool CSettings::WriteIntIfAbsent(std::string_view section, std::string_view entry, int value) const {
  if (profile_.Has(section, entry)) return true;
  return WriteInt(section, entry, value);
}

bool CSettings::WriteYesNoIfAbsent(std::string_view section, std::string_view entry, bool yes) const {
  if (profile_.Has(section, entry)) return true;
  return WriteYesNo(section, entry, yes);
}

}  // namespace vokar::app
