// The allophone inventory: recorded sound pieces indexed by allophone number,
// loaded from a RIFF "ALOF" file. After loading, the four pause entries are
// replaced by silence of the configured lengths, ch and chi get copies of h and
// h soft, and a silent entry 111 "null" is added.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Messages.h"
#include "SpeechSettings.h"
#include "WaveFormat.h"

namespace vokar {

struct CAllophone {
  std::uint16_t classBits = 0;
  int index = -1;
  std::string name;  // at most 8 bytes
  std::vector<std::uint8_t> samples;
};

// Where the loader looks for the file after the current directory and PATH.
struct AllophoneFileSearch {
  std::string fileName = "pl_22.alf";
  std::vector<std::filesystem::path> dataDirs;
};

class CAllophoneDb {
 public:
  // Finds and loads the allophone file; shows a message through the sink and
  // returns false when it is missing or damaged (the database is then empty).
  bool LoadAllophoneFile(const AllophoneFileSearch& search, ISpeechSettings& settings,
                         IMessageSink& messages);

  // Loads one file by path, with the same checks and messages.
  bool LoadFromPath(const std::filesystem::path& path, ISpeechSettings& settings,
                    IMessageSink& messages);

  // Frees every entry; writes the pause settings the store lacks with their
  // defaults, as the server does whenever the entries are freed.
  void Free(ISpeechSettings& settings);

  bool Loaded() const { return loaded_; }
  const WaveFormat& Format() const { return format_; }

  // Index of the first entry whose name equals name exactly, or -1.
  int FindByName(std::string_view name) const;

  // The entry at an index, or nullptr for an empty or out-of-range slot.
  const CAllophone* Entry(int index) const;

  // Class bits of an entry; 0 for an empty slot.
  std::uint16_t ClassBits(int index) const;

  // Sample count of an entry; 0 for an empty slot.
  std::size_t Length(int index) const;

  // Puts an entry in place as the loader does (the array grows to its index).
  // Tests and tools build inventories with it.
  void SetEntry(CAllophone entry);
  void SetFormat(const WaveFormat& format) { format_ = format; }
  void MarkLoaded(bool loaded) { loaded_ = loaded; }

  // What the loader does after reading the entries: pause silences, ch and chi
  // copies and the null entry.
  void FinishLoading(const ISpeechSettings& settings);

 private:
  std::vector<std::optional<CAllophone>> entries_;
  WaveFormat format_{};
  bool loaded_ = false;
};

}  // namespace vokar
