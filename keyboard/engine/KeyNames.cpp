#include "KeyNames.h"

#include "Cp1250.h"

namespace vokar::keyboard {
namespace {

// The strings 6144-6268, in order: the nameless key, then the named keys by
// key type (the keypad digits share the digits' strings).
constexpr std::string_view kStrings[kKeyNameStrings] = {
    "(p003)",
    // 3, 8, 9, 12, 13, 16-20, 27
    "kansel", "kasuj", "(space)", "czyść", "(cr)", "(sz-ii-f-t)", "(k-oo-n-t-r-o-l)", "(aa-l-t)", "(p-aa-ll-u-z-a_)",
    "(k-aa-p-s)", "(e-s-k-ee-jj-p)",
    // 32-47
    "(space)", "(p-o-p-sz-ee-d-ni-i_)", "(n-a-s-t-ee-m-p-n-y_)", "koniec", "początek", "(l-ee-w-o_)", "(g-uu-r-a_)",
    "(p-r-aa-w-o_)", "dół", "(s-ee-l-e-k-t)", "(p-r-ii-n-t)", "(ee-g-z-e-ki-j-iu-t)", "(s-n-aa-p-sz-o-t)",
    "(i-n-s-ee-r-t)", "kasuj", "pomoc",
    // 48-57, the digits
    "(z-ee-r-o_)", "(jj-iee-d-e-n_)", "(d-w-a-a_)", "(t-sz-y-y_)", "(cz-t-ee-r-y_)", "(pi-j-iee-ni-ci)",
    "(sz-ee-si-ci)", "(si-iee-d-e-m_)", "(oo-si-ie-m_)", "(dzi-iee-wi-ie-ni-ci)",
    // 65-90, the letters
    "(a_)", "(b-e_)", "(c-e_)", "(d-e_)", "(e_)", "(ee-f)", "(gi-j-ie_)", "(h-a_)", "(i_)", "(j-io-t)", "(k-a_)",
    "(ee-l)", "(ee-m_)", "(ee-n_)", "(o_)", "(p-e_)", "(k-u_)", "(ee-r)", "(ee-s)", "(t-e_)", "(u_)", "(f-aa-ll_)",
    "(w-u_)", "(ii-k-s)", "(ii-g-r-e-k)", "(z-ee-t)",
    // 106-111, the keypad's operators
    "mnósz", "dodaj", "(s-e-p-a-r-aa-t-o-r)", "(o-d-ee-jj-mi-i-jj)", "(k-r-oo-p-k-a_)", "(dzi-iee-l)",
    // 112-123, F1-F12
    "ef1", "ef2", "ef3", "ef4", "ef5", "ef6", "ef7", "ef8", "ef9", "ef10", "ef11", "ef12",
    // 144, 145
    "(n-uu-m-l-o-k)", "(s-k-r-oo-l-p010-l-o-k)",
    // 176-216, the Polish letters and the punctuation marks
    "(aan)", "(ci)", "(een)", "(ee-ll_)", "(ee-ni)", "(ee-si)", "(zi-iee-t)", "(rz-ee-t)",
    "(p-o-t-k-r-e-si-l-ee-ni-ie_)", "wykrzyknik", "cudzysłów", "paragraf", "dolar", "procent", "(ee-n-t)",
    "(s-l-ee-sz)", "(b-ee-k-s-l-ee-sz)", "(l-ee-w-y_-n-a-a-wi-j-ia-s)", "(p-r-aa-w-y_-n-a-a-wi-j-ia-s)",
    "lewy nawias", "prawy nawias", "(l-ee-w-a-k-l-aa-m-r-a_)", "(p-r-aa-w-a-k-l-aa-m-r-a_)", "mniej", "więcej",
    "(r-uu-w-n-a_-si-ieen)", "pytajnik", "apostrof", "apostrof", "(t-yy-l-d-a_)", "hasz", "przecinek", "średnik",
    "dwukropek", "(k-r-oo-p-k-a_)", "pałka", "minus", "plus", "(g-wi-iaa-s-t-k-a_)", "daszek", "(ee-t)",
};

// The offset of each named key's string from 6144; 0 (the nameless key's
// string) for every key type without a name of its own.
constexpr std::array<int, kKeyTypes> MakeOffsets() {
  std::array<int, kKeyTypes> offsets{};
  int next = 1;
  for (const int type : {3, 8, 9, 12, 13, 16, 17, 18, 19, 20, 27}) offsets[type] = next++;
  for (int type = 32; type <= 57; ++type) offsets[type] = next++;
  for (int type = 96; type <= 105; ++type) offsets[type] = offsets[type - 96 + 48];
  for (int type = 65; type <= 90; ++type) offsets[type] = next++;
  for (int type = 106; type <= 123; ++type) offsets[type] = next++;
  for (int type = 144; type <= 145; ++type) offsets[type] = next++;
  for (int type = 176; type <= 216; ++type) offsets[type] = next++;
  return offsets;
}
constexpr std::array<int, kKeyTypes> kOffsets = MakeOffsets();
static_assert(kOffsets[216] == kKeyNameStrings - 1, "every string belongs to one key type");

// The characters of key types 176-216, in order; 0 for type 187 (paragraf),
// which no character gives.
constexpr unsigned char kPunctuation[] = {
    0xB9, 0xE6, 0xEA, 0xB3, 0xF1, 0x9C, 0x9F, 0xBF,  // ą ć ę ł ń ś ź ż
    '_',  '!',  '"',  0,    '$',  '%',  '&',  '/',  '\\', '(', ')', '[', ']', '{', '}', '<', '>',
    '=',  '?',  '\'', '`',  '~',  '#',  ',',  ';',  ':',  '.', '|', '-', '+', '*', '^', '@',
};
static_assert(sizeof kPunctuation == 216 - 176 + 1);

constexpr unsigned char kSmallOAcute = 0xF3;  // ó

}  // namespace

int KeyNameStringId(int type) {
  if (type < 0 || type >= kKeyTypes) return 0;
  return kFirstKeyNameString + kOffsets[static_cast<std::size_t>(type)];
}

std::string_view KeyNameString(int id) {
  if (id < kFirstKeyNameString || id >= kFirstKeyNameString + kKeyNameStrings) return {};
  return kStrings[id - kFirstKeyNameString];
}

int KeyTypeOfCharacter(unsigned char c, bool separatorSound, bool crSound) {
  const unsigned char upper = cp1250::ToUpper(c);
  if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) return upper;
  const unsigned char lower = cp1250::ToLower(c);
  switch (lower) {
    case 8: return 8;
    case 9: return separatorSound ? 9 : 0;
    case 13: return crSound ? 13 : 0;
    case ' ': return separatorSound ? 32 : 0;
    case kSmallOAcute: return 'U';
    default: break;
  }
  if (lower == 0) return 0;
  for (int i = 0; i < static_cast<int>(sizeof kPunctuation); ++i) {
    if (kPunctuation[i] == lower) return 176 + i;
  }
  return 0;
}

KeyNameTable::KeyNameTable() {
  for (int type = 1; type < kKeyTypes; ++type) {
    const std::string text = cp1250::FromUtf8(KeyNameString(KeyNameStringId(type)));
    texts_[static_cast<std::size_t>(type)] = !text.empty() && text.front() == '(' ? "\\Alf=" + text + "\\" : text;
  }
}

const std::string& KeyNameTable::Text(int type) const {
  if (type < 1 || type >= kKeyTypes) return none_;
  return texts_[static_cast<std::size_t>(type)];
}

}  // namespace vokar::keyboard
