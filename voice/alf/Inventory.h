// The standard inventory of a Polish allophone file: for every index the
// transcription rules can produce (and the signal sounds of the client
// programs) its conventional entry name and the class bits that carry Polish
// voicing assimilation and colloquial nasal vowels through the rules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vokar::alf {

// What an entry is for; decides which checks apply to it.
enum class EntryRole { Vowel, NasalVowel, Obstruent, Sonorant, Pause, Default, Signal };

// Class bits used in the standard inventory beyond the ones the rules read:
// they only describe the entry to people and tools.
inline constexpr std::uint16_t kBitSignal = 0x0001;
inline constexpr std::uint16_t kBitSonorant = 0x0008;

struct StandardEntry {
  int index;
  std::string_view name;
  std::uint16_t classBits;
  EntryRole role;
  std::string_view description;  // the sound, for people recording a voice
};

// Every entry of the standard inventory, in index order.
std::span<const StandardEntry> StandardInventory();

// The standard entry for an index, if there is one.
std::optional<StandardEntry> FindStandard(int index);

// The entry names that the client programs send in allophone lists; an
// allophone file must hold each of them.
std::span<const std::string_view> ClientNames();

// Names that the engine gives at load time to the entries it fills itself
// (pauses 106-109 and the ch copies 87, 88), whatever the file calls them.
std::optional<int> IndexNamedAtLoad(std::string_view name);

}  // namespace vokar::alf
