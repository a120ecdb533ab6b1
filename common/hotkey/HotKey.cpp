#include "HotKey.h"

#include <cctype>
#include <limits>

#include "VirtualKeys.h"

namespace vokar::hotkey {
namespace {

namespace vk = x11::vk;

// The named keys besides digits, letters, function keys and keypad digits.
struct NamedKey {
  unsigned key;
  const char* name;
};
constexpr NamedKey kNamedKeys[] = {
    {vk::kBack, "Back"},         {vk::kTab, "Tab"},          {vk::kEnd, "End"},
    {vk::kHome, "Home"},         {vk::kLeft, "Left"},        {vk::kUp, "Up"},
    {vk::kRight, "Right"},       {vk::kDown, "Down"},        {vk::kInsert, "Insert"},
    {vk::kDelete, "Delete"},     {vk::kMultiply, "Multiply"}, {vk::kAdd, "Add"},
    {vk::kSubtract, "Subtract"}, {vk::kDivide, "Divide"},
};

const char* NameOfNamedKey(unsigned key) {
  for (const NamedKey& named : kNamedKeys) {
    if (named.key == key) return named.name;
  }
  return nullptr;
}

}  // namespace

void HotKeyDef::SetCombination(const HotKeyCombination& combination) {
  ctrl = combination.ctrl;
  shift = combination.shift;
  alt = combination.alt;
  key = combination.key;
}

bool IsCapturableKey(unsigned key) {
  return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= vk::kF1 && key <= vk::kF24) ||
         (key >= vk::kNumpad0 && key <= vk::kNumpad9) || NameOfNamedKey(key) != nullptr;
}

HotKeyCombination ParseHotKeySetting(std::string_view text) {
  HotKeyCombination result;
  if (text.empty()) return result;
  std::size_t firstDigit = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (upper == 'C') result.ctrl = 1;
    if (upper == 'S') result.shift = 1;
    if (upper == 'A') result.alt = 1;
    if (firstDigit == std::string_view::npos && upper >= '0' && upper <= '9') firstDigit = i;
  }
  if (result.alt && !result.ctrl && !result.shift) return {};
  if (firstDigit == std::string_view::npos) return {};
  unsigned long long number = 0;
  for (std::size_t i = firstDigit; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10 + static_cast<unsigned>(text[i] - '0');
    if (number > std::numeric_limits<unsigned>::max()) return {};  // cannot be read
  }
  if (number == 0 || !IsCapturableKey(static_cast<unsigned>(number))) return {};
  result.key = static_cast<unsigned>(number);
  return result;
}

std::string FormatHotKeySetting(const HotKeyDef& def) {
  if (def.key == 0) return {};
  std::string text;
  if (def.ctrl) text += 'C';
  if (def.shift) text += 'S';
  if (def.alt) text += 'A';
  return text + std::to_string(def.key);
}

std::string FormatHotKeyName(HotKeyDef& def, std::string_view noneText) {
  std::string name;
  const unsigned key = def.key;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    name = std::string(1, static_cast<char>(key));
  } else if (key >= vk::kF1 && key <= vk::kF24) {
    name = "F" + std::to_string(key - (vk::kF1 - 1));
  } else if (key >= vk::kNumpad0 && key <= vk::kNumpad9) {
    name = "NumPad_" + std::to_string(key - vk::kNumpad0);
  } else if (const char* named = NameOfNamedKey(key)) {
    name = named;
  } else {
    def.key = 0;
    return std::string(noneText);
  }
  std::string prefix;
  if (def.ctrl) prefix += "Ctrl+";
  if (def.shift) prefix += "Shift+";
  if (def.alt) prefix += "Alt+";
  return prefix + name;
}

}  // namespace vokar::hotkey
