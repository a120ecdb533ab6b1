// The allophone inventory: recorded sound pieces indexed by allophone number,
// loaded from a RIFF "ALOF" file. After loading, the four pause entries are
// replaced by silence of the configured lengths, ch and chi get copies of h and
// h soft, and a silent entry 111 "null" is added.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Messages.h"
#include "PitchMarks.h"
#include "Riff.h"
#include "SpeechSettings.h"
#include "WaveFormat.h"

namespace vokar {

struct CAllophone {
  std::uint16_t classBits = 0;
  int index = -1;
  std::string name;  // at most 8 bytes
  std::vector<std::uint8_t> samples;
  // What the prosody stage reads, made from the samples when the loading
  // is finished, and by SetEntry after that.
  EntrySource source{};
};

// A pause entry that the loader fills with silence: its slot, the "Sound"
// setting that gives its length in hundredths of a second, the name it gets
// and the length used when the setting is missing.
struct PauseEntry {
  int index;
  std::string_view setting;
  std::string_view name;
  int defaultHundredths;
};

// In the order the loader fills them.
inline constexpr PauseEntry kPauseEntries[] = {
    {109, "PauseInterSentence", "p100", 100},
    {108, "PausePunctation", "p050", 50},
    {107, "PauseInterWord", "p010", 10},
    {106, "PauseDoubleLetter", "p003", 3},
};

// Bytes of 8-bit silence at 22050 bytes per second for a setting value: the
// value is clamped to 1..10 x default hundredths and the block to 65280 bytes.
std::size_t PauseBytes(std::optional<int> settingValue, int defaultHundredths);

// Why the last load failed: the message the user was shown and the reader's
// error behind it (what and at which byte). kMsgFileOpen stands for both a
// file that would not open (message 4900 with the path) and a file found
// nowhere (FileNotFoundMessage). Messages by cause: not RIFF "ALOF", no
// "fmt " or not PCM: kMsgBadSoundFile; anything wrong after the format (the
// version, a data/info pair, an entry the engine requires, a file too large
// or unreadable): kMsgBadAllophoneFile.
struct AllophoneLoadFailure {
  MessageCode message;
  riff::Error error;
};

// Where the loader looks for the file after the current directory and PATH.
struct AllophoneFileSearch {
  std::string fileName = "pl_22.alf";
  std::vector<std::filesystem::path> dataDirs;
};

class CAllophoneDb {
 public:
  // Finds and loads the allophone file: the file name is tried in the current
  // directory, then in each directory of PATH, then in each of the data
  // directories. Shows a message through the sink and returns false when it is
  // missing or damaged (the database is then empty and not loaded). A loaded
  // database is freed first.
  bool LoadAllophoneFile(const AllophoneFileSearch& search, ISpeechSettings& settings,
                         IMessageSink& messages);

  // Loads one file by path, with the same checks and messages.
  bool LoadFromPath(const std::filesystem::path& path, ISpeechSettings& settings,
                    IMessageSink& messages);

  // Loads the bytes of an allophone file already in memory, with the same
  // checks and messages (all but the open failure).
  bool LoadFromBytes(std::span<const std::uint8_t> file, ISpeechSettings& settings,
                     IMessageSink& messages);

  // The reason the last load failed; empty after a successful load.
  const std::optional<AllophoneLoadFailure>& LastFailure() const { return lastFailure_; }

  // Frees every entry and clears the loaded flag; writes the pause settings
  // the store lacks with their defaults, as the server does whenever the
  // entries are freed (reload and server end).
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

  // One past the highest slot in use.
  std::size_t SlotCount() const { return entries_.size(); }

  // Puts an entry in place as the loader does (the array grows to its index;
  // a later entry takes the slot); once the loading is finished it is also
  // analysed for the prosody stage. Indices outside 0..65535 are ignored.
  // Tests and tools build inventories with it.
  void SetEntry(CAllophone entry);

  // The pitch period of the plain vowels (a, e, i, o, u, y) in samples, the
  // median of theirs: the pitch the melody moves around. 0 when none has one.
  double PlainPeriod() const;
  void SetFormat(const WaveFormat& format) { format_ = format; }
  void MarkLoaded(bool loaded) { loaded_ = loaded; }

  // What the loader does after reading the entries: pause silences, ch and chi
  // copies and the null entry. A missing pause slot is created (class bits
  // kPause); a missing ch or chi source leaves its copy without samples.
  // Then every entry is analysed for the prosody stage.
  void FinishLoading(const ISpeechSettings& settings);

 private:
  std::optional<AllophoneLoadFailure> ReadEntries(std::span<const std::uint8_t> file);
  void AnalyseEntries();
  void Fail(AllophoneLoadFailure failure, IMessageSink& messages);

  std::optional<AllophoneLoadFailure> lastFailure_;
  std::vector<std::optional<CAllophone>> entries_;
  WaveFormat format_{};
  bool loaded_ = false;
  // The period the plain vowels were cut on, and whether the entries have
  // been analysed (from the end of FinishLoading until they are freed).
  double voicePeriod_ = 0.0;
  bool analysed_ = false;
};

}  // namespace vokar
