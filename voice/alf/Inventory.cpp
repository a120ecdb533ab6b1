#include "Inventory.h"

#include <algorithm>
#include <array>

#include "AllophoneIndex.h"

namespace vokar::alf {
namespace {

using namespace vokar::classbits;

constexpr std::uint16_t kV = kVowel;
constexpr std::uint16_t kNV = kVowel | kNasal;
constexpr std::uint16_t kVd = kObstruent | kVoiced;
constexpr std::uint16_t kVl = kObstruent | kVoiceless;
// A nasal vowel before labial stops is said with m, before dental and velar
// stops and before the hard affricates with n, before the soft affricates with
// ń (the rules have no velar n to insert, so ręka becomes "renka").
constexpr std::uint16_t kToM = kNasalBeforeM;
constexpr std::uint16_t kToN = kNasalBeforeN1;
constexpr std::uint16_t kToNAffricate = kNasalBeforeN2;
constexpr std::uint16_t kToNi = kNasalBeforeNSoft | kSoft;
constexpr std::uint16_t kSon = kBitSonorant;

constexpr EntryRole V = EntryRole::Vowel;
constexpr EntryRole NV = EntryRole::NasalVowel;
constexpr EntryRole O = EntryRole::Obstruent;
constexpr EntryRole S = EntryRole::Sonorant;

constexpr std::array kInventory{
    StandardEntry{1, "a", kV, V, "a"},
    StandardEntry{2, "e", kV, V, "e"},
    StandardEntry{3, "i", kV, V, "i"},
    StandardEntry{4, "o", kV, V, "o"},
    StandardEntry{5, "u", kV, V, "u (also ó)"},
    StandardEntry{6, "y", kV, V, "y"},
    StandardEntry{7, "an", kNV, NV, "ą"},
    StandardEntry{8, "en", kNV, NV, "ę"},
    StandardEntry{9, "ia", kV, V, "a after a soft consonant or j"},
    StandardEntry{10, "ie", kV, V, "e after a soft consonant or j"},
    StandardEntry{12, "io", kV, V, "o after a soft consonant or j"},
    StandardEntry{13, "iu", kV, V, "u after a soft consonant or j"},
    StandardEntry{15, "ian", kNV, NV, "ą after a soft consonant or j"},
    StandardEntry{16, "ien", kNV, NV, "ę after a soft consonant or j"},
    StandardEntry{17, "aa", kV, V, "stressed a"},
    StandardEntry{18, "ee", kV, V, "stressed e"},
    StandardEntry{19, "ii", kV, V, "stressed i"},
    StandardEntry{20, "oo", kV, V, "stressed o"},
    StandardEntry{21, "uu", kV, V, "stressed u"},
    StandardEntry{22, "yy", kV, V, "stressed y"},
    StandardEntry{23, "aan", kNV, NV, "stressed ą"},
    StandardEntry{24, "een", kNV, NV, "stressed ę"},
    StandardEntry{25, "iaa", kV, V, "stressed soft a"},
    StandardEntry{26, "iee", kV, V, "stressed soft e"},
    StandardEntry{28, "ioo", kV, V, "stressed soft o"},
    StandardEntry{29, "iuu", kV, V, "stressed soft u"},
    StandardEntry{31, "iaan", kNV, NV, "stressed soft ą"},
    StandardEntry{32, "ieen", kNV, NV, "stressed soft ę"},
    StandardEntry{33, "a_", kV, V, "a at the end of a phrase"},
    StandardEntry{34, "e_", kV, V, "e at the end of a phrase"},
    StandardEntry{35, "i_", kV, V, "i at the end of a phrase"},
    StandardEntry{36, "o_", kV, V, "o at the end of a phrase"},
    StandardEntry{37, "u_", kV, V, "u at the end of a phrase"},
    StandardEntry{38, "y_", kV, V, "y at the end of a phrase"},
    StandardEntry{39, "an_", kNV, NV, "ą at the end of a phrase"},
    StandardEntry{40, "en_", kNV, NV, "ę at the end of a phrase"},
    StandardEntry{41, "ia_", kV, V, "soft a at the end of a phrase"},
    StandardEntry{42, "ie_", kV, V, "soft e at the end of a phrase"},
    StandardEntry{44, "io_", kV, V, "soft o at the end of a phrase"},
    StandardEntry{45, "iu_", kV, V, "soft u at the end of a phrase"},
    StandardEntry{47, "ian_", kNV, NV, "soft ą at the end of a phrase"},
    StandardEntry{48, "ien_", kNV, NV, "soft ę at the end of a phrase"},
    StandardEntry{49, "b", kVd | kToM, O, "b"},
    StandardEntry{50, "bi", kVd | kToM, O, "soft b"},
    StandardEntry{51, "d", kVd | kToN, O, "d"},
    StandardEntry{52, "di", kVd | kToN, O, "soft d"},
    StandardEntry{53, "g", kVd | kToN, O, "g"},
    StandardEntry{54, "gi", kVd | kToN, O, "soft g"},
    StandardEntry{55, "w", kVd, O, "w"},
    StandardEntry{56, "wi", kVd, O, "soft w"},
    StandardEntry{57, "z", kVd, O, "z"},
    StandardEntry{58, "zi", kVd, O, "ź"},
    StandardEntry{59, "rz", kVd, O, "ż, rz"},
    StandardEntry{60, "dz", kVd | kToNAffricate, O, "dz"},
    StandardEntry{61, "dzi", kVd | kToNi, O, "dź"},
    StandardEntry{62, "drz", kVd | kToNAffricate, O, "dż"},
    StandardEntry{63, "p", kVl | kToM, O, "p"},
    StandardEntry{64, "pi", kVl | kToM, O, "soft p"},
    StandardEntry{65, "t", kVl | kToN, O, "t"},
    StandardEntry{66, "ti", kVl | kToN, O, "soft t"},
    StandardEntry{67, "k", kVl | kToN, O, "k"},
    StandardEntry{68, "ki", kVl | kToN, O, "soft k"},
    StandardEntry{69, "f", kVl, O, "f"},
    StandardEntry{70, "fi", kVl, O, "soft f"},
    StandardEntry{71, "s", kVl, O, "s"},
    StandardEntry{72, "si", kVl, O, "ś"},
    StandardEntry{73, "sz", kVl, O, "sz"},
    StandardEntry{74, "c", kVl | kToNAffricate, O, "c"},
    StandardEntry{75, "ci", kVl | kToNi, O, "ć"},
    StandardEntry{76, "cz", kVl | kToNAffricate, O, "cz"},
    StandardEntry{77, "m", kSon, S, "m"},
    StandardEntry{78, "mi", kSon, S, "soft m"},
    StandardEntry{79, "n", kSon, S, "n"},
    StandardEntry{80, "ni", kSon, S, "ń"},
    StandardEntry{81, "nk", kSon, S, "n before k or g (velar)"},
    StandardEntry{82, "nn", kSon, S, "n before another n"},
    StandardEntry{83, "m_", kSon, S, "m at the end of a phrase"},
    StandardEntry{84, "n_", kSon, S, "n at the end of a phrase"},
    // h and ch devoice a voiced obstruent before them (wchodzić: f-ch), so
    // they take part in voicing assimilation as voiceless obstruents without
    // a voiced partner.
    StandardEntry{85, "h", kVl, O, "h"},
    StandardEntry{86, "hi", kVl, O, "soft h"},
    StandardEntry{87, "ch", kVl, O, "ch (the engine copies h here)"},
    StandardEntry{88, "chi", kVl, O, "soft ch (the engine copies soft h here)"},
    StandardEntry{89, "l", kSon, S, "l"},
    StandardEntry{90, "li", kSon, S, "soft l"},
    StandardEntry{91, "uw", kSon, S, "non-syllabic u (au, eu, ł before u)"},
    StandardEntry{92, "ll_", kSon, S, "ł at the end of a phrase"},
    StandardEntry{93, "ll", kSon, S, "ł"},
    StandardEntry{94, "r", kSon, S, "r"},
    StandardEntry{95, "ri", kSon, S, "soft r"},
    StandardEntry{96, "j", kSon, S, "non-syllabic i glide (pies, kwiat)"},
    StandardEntry{97, "jj", kSon, S, "j"},
    StandardEntry{98, "space", kBitSignal, EntryRole::Signal, "signal: a space was typed"},
    StandardEntry{99, "cr", kBitSignal, EntryRole::Signal, "signal: Enter was typed"},
    StandardEntry{100, "clear", kBitSignal, EntryRole::Signal, "signal: typing buffer cleared"},
    StandardEntry{101, "desync", kBitSignal, EntryRole::Signal, "signal: buffer out of step"},
    StandardEntry{102, "on1", kBitSignal, EntryRole::Signal, "signal: keyboard program on"},
    StandardEntry{103, "off1", kBitSignal, EntryRole::Signal, "signal: keyboard program off"},
    StandardEntry{104, "on2", kBitSignal, EntryRole::Signal, "signal: key echo selected"},
    StandardEntry{105, "off2", kBitSignal, EntryRole::Signal, "signal: word reading selected"},
    StandardEntry{106, "p003", kPause, EntryRole::Pause, "pause between doubled letters"},
    StandardEntry{107, "p010", kPause, EntryRole::Pause, "pause between words"},
    StandardEntry{108, "p050", kPause, EntryRole::Pause, "pause at punctuation"},
    StandardEntry{109, "p100", kPause, EntryRole::Pause, "pause between sentences"},
    StandardEntry{110, "default", kBitSignal, EntryRole::Default,
                  "unknown name or impossible spelling"},
};

constexpr std::array<std::string_view, 73> kClientNames{
    "a",   "a_",   "aa",   "aan",   "b",   "c",     "ci",   "clear", "cr",  "cz",  "d",
    "desync", "dzi", "e",  "e_",    "ee",  "een",   "f",    "g",     "gi",  "h",   "i",
    "i_",  "ia",   "iaa",  "ie",    "ie_", "iee",   "ieen", "ii",    "io",  "iu",  "j",
    "jj",  "k",    "ki",   "l",     "ll",  "ll_",   "m",    "m_",    "mi",  "n",   "n_",
    "ni",  "o",    "o_",   "off1",  "off2", "on1",  "on2",  "oo",    "p",   "p003", "p010",
    "pi",  "r",    "rz",   "s",     "si",  "space", "sz",   "t",     "u",   "u_",  "uu",
    "w",   "wi",   "y",    "y_",    "yy",  "z",     "zi"};

}  // namespace

std::span<const StandardEntry> StandardInventory() { return kInventory; }

std::optional<StandardEntry> FindStandard(int index) {
  const auto it = std::find_if(kInventory.begin(), kInventory.end(),
                               [index](const StandardEntry& e) { return e.index == index; });
  if (it == kInventory.end()) return std::nullopt;
  return *it;
}

std::span<const std::string_view> ClientNames() { return kClientNames; }

std::optional<int> IndexNamedAtLoad(std::string_view name) {
  if (name == "p003") return allo::kPauseDoubleLetter;
  if (name == "p010") return allo::kPauseInterWord;
  if (name == "p050") return allo::kPausePunctuation;
  if (name == "p100") return allo::kPauseInterSentence;
  if (name == "ch") return allo::kCh;
  if (name == "chi") return allo::kChi;
  return std::nullopt;
}

}  // namespace vokar::alf
