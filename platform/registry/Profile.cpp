#include "Profile.h"

#include "Cp1250.h"

namespace vokar::registry {

bool IsYes(std::string_view text) {
  if (text.empty()) return false;
  const char first = text.front();
  return (first >= '1' && first <= '9') || first == 't' || first == 'T' || first == 'y' || first == 'Y';
}

std::string_view YesNoText(bool yes) { return yes ? "Yes" : "No"; }

Profile::Profile(std::string company, std::string application, Root root)
    : company_(std::move(company)), application_(std::move(application)), root_(root) {}

std::string Profile::SectionPath(std::string_view section) const {
  std::string path = "Software\\" + company_ + "\\" + application_;
  if (!section.empty()) {
    path += '\\';
    path += section;
  }
  return path;
}

Result<Value> Profile::Read(std::string_view section, std::string_view entry) const {
  auto key = Key::Open(root_, SectionPath(section));
  if (!key) return key.error();
  return key->Query(entry);
}

Status Profile::Write(std::string_view section, std::string_view entry, const Value& value) const {
  auto key = Key::Create(root_, SectionPath(section));
  if (!key) return key.error();
  return key->Set(entry, value);
}

int Profile::GetInt(std::string_view section, std::string_view entry, int fallback) const {
  const auto value = Read(section, entry);
  if (!value) return fallback;
  if (const auto* number = std::get_if<std::uint32_t>(&value.value())) return static_cast<int>(*number);
  return fallback;
}

std::string Profile::GetString(std::string_view section, std::string_view entry, std::string_view fallback) const {
  const auto value = Read(section, entry);
  if (value) {
    if (const auto* text = std::get_if<std::string>(&value.value())) return *text;
  }
  return std::string(fallback);
}

std::string Profile::GetStringCp1250(std::string_view section, std::string_view entry,
                                     std::string_view fallback) const {
  const auto value = Read(section, entry);
  if (value) {
    if (const auto* text = std::get_if<std::string>(&value.value())) return cp1250::FromUtf8(*text);
  }
  return std::string(fallback);
}

bool Profile::GetYesNo(std::string_view section, std::string_view entry, bool fallback) const {
  return IsYes(GetString(section, entry, YesNoText(fallback)));
}

bool Profile::Has(std::string_view section, std::string_view entry) const { return Read(section, entry).ok(); }

Status Profile::WriteInt(std::string_view section, std::string_view entry, int value) const {
  return Write(section, entry, Value(static_cast<std::uint32_t>(value)));
}

Status Profile::WriteString(std::string_view section, std::string_view entry, std::string_view utf8Value) const {
  return Write(section, entry, Value(std::string(utf8Value)));
}

Status Profile::WriteStringCp1250(std::string_view section, std::string_view entry,
                                  std::string_view cp1250Value) const {
  return Write(section, entry, Value(cp1250::ToUtf8(cp1250Value)));
}

Status Profile::WriteYesNo(std::string_view section, std::string_view entry, bool yes) const {
  return WriteString(section, entry, YesNoText(yes));
}

}  // namespace vokar::registry
