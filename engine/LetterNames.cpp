#include "LetterNames.h"

#include <array>
#include <string>

#include "Cp1250.h"

namespace vokar {
namespace {

struct NameTable {
  std::array<std::string, 256> names;

  NameTable() {
    static constexpr std::pair<const char*, const char*> kNames[] = {
        {"a", "a"},   {"b", "be"},     {"c", "ce"},    {"d", "de"},    {"e", "e"},     {"f", "ef"},
        {"g", "gie"}, {"h", "ha"},     {"i", "i"},     {"j", "jot"},   {"k", "ka"},    {"l", "el"},
        {"m", "em"},  {"n", "en"},     {"o", "o"},     {"p", "pe"},    {"q", "ku"},    {"r", "er"},
        {"s", "es"},  {"t", "te"},     {"u", "u"},     {"v", "fał"},   {"w", "wu"},    {"x", "iks"},
        {"y", "igrek"}, {"z", "zet"},  {"ą", "ą"},     {"ć", "će"},    {"ę", "ę"},     {"ł", "eł"},
        {"ń", "eń"},  {"ó", "u"},      {"ś", "eś"},    {"ź", "ziet"},  {"ż", "żet"},   {"0", "zero"},
        {"1", "jeden"}, {"2", "dwa"},  {"3", "trzy"},  {"4", "cztery"}, {"5", "pięć"}, {"6", "sześć"},
        {"7", "siedem"}, {"8", "osiem"}, {"9", "dziewięć"},
    };
    for (const auto& [key, name] : kNames)
      names[static_cast<unsigned char>(cp1250::FromUtf8(key)[0])] = cp1250::FromUtf8(name);
  }
};

}  // namespace

std::string_view LetterName(unsigned char lowerCaseByte) {
  static const NameTable table;
  return table.names[lowerCaseByte];
}

}  // namespace vokar
