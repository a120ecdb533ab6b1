// Any stored text read as a hot key gives no hot key or one the user could
// have chosen, which is written back as it reads and has a display name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "HotKey.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vokar::hotkey;
  const HotKeyCombination parsed = ParseHotKeySetting(std::string_view(reinterpret_cast<const char*>(data), size));
  if (parsed.empty()) {
    if (parsed.ctrl || parsed.shift || parsed.alt) std::abort();
    return 0;
  }
  if (!IsCapturableKey(parsed.key)) std::abort();
  HotKeyDef def;
  def.SetCombination(parsed);
  if (!(ParseHotKeySetting(FormatHotKeySetting(def)) == parsed)) std::abort();
  if (FormatHotKeyName(def) == "[brak]" || def.key != parsed.key) std::abort();
  return 0;
}
