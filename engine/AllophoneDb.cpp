#include "AllophoneDb.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "AllophoneIndex.h"
#include "WaveFile.h"

namespace vokar {

namespace {

constexpr std::size_t kVersionWords = 4;
constexpr std::size_t kMaxVersionBytes = 40;
constexpr std::array<std::uint16_t, kVersionWords> kVersion = {1, 1, 2, 3};
constexpr std::size_t kInfoBytes = 12;
constexpr std::size_t kNameBytes = 8;
constexpr std::size_t kMaxPauseBytes = 65280;
constexpr unsigned kSilenceBytesPerSecond = 22050;
constexpr std::uint8_t kSilence = 128;
constexpr int kMaxIndex = 0xFFFF;

// Slots the engine fills or copies after loading: without them the file is
// not a usable inventory.
constexpr std::array<int, 8> kRequiredEntries = {
    allo::kH,
    allo::kHSoft,
    allo::kCh,
    allo::kChi,
    allo::kPauseDoubleLetter,
    allo::kPauseInterWord,
    allo::kPausePunctuation,
    allo::kPauseInterSentence,
};

AllophoneLoadFailure Damaged(riff::Error error) {
  return AllophoneLoadFailure{kMsgBadAllophoneFile, std::move(error)};
}

AllophoneLoadFailure Damaged(riff::ErrorCategory category, std::string description,
                             std::uint64_t offset) {
  return Damaged(riff::Error{category, std::move(description), offset});
}

}  // namespace

std::size_t PauseBytes(std::optional<int> settingValue, int defaultHundredths) {
  const long long limit = 10LL * defaultHundredths;
  const long long value = settingValue.value_or(defaultHundredths);
  const long long hundredths = std::clamp<long long>(value, 1, std::max<long long>(1, limit));
  const long long bytes = hundredths * kSilenceBytesPerSecond / 100;
  return static_cast<std::size_t>(std::min<long long>(bytes, kMaxPauseBytes));
}

bool CAllophoneDb::LoadAllophoneFile(const AllophoneFileSearch& search, ISpeechSettings& settings,
                                     IMessageSink& messages) {
  if (loaded_) Free(settings);
  entries_.clear();
  analysed_ = false;
  lastFailure_.reset();

  const std::filesystem::path name(search.fileName);
  std::filesystem::path found;
  if (OpensForReading(name)) {
    found = name;
  } else {
    std::vector<std::filesystem::path> dirs = PathDirectories();
    dirs.insert(dirs.end(), search.dataDirs.begin(), search.dataDirs.end());
    for (const auto& dir : dirs) {
      if (OpensForReading(dir / name)) {
        found = dir / name;
        break;
      }
    }
  }
  if (found.empty()) {
    lastFailure_ = AllophoneLoadFailure{
        kMsgFileOpen, riff::Error{riff::ErrorCategory::Open, "\"" + search.fileName + "\" not found", 0}};
    messages.ShowMessage(FileNotFoundMessage(search.fileName), MessageIcon::Stop);
    return false;
  }
  return LoadFromPath(found, settings, messages);
}

bool CAllophoneDb::LoadFromPath(const std::filesystem::path& path, ISpeechSettings& settings,
                                IMessageSink& messages) {
  auto bytes = riff::ReadFileBytes(path);
  if (!bytes) {
    if (loaded_) Free(settings);
    entries_.clear();
    analysed_ = false;
    if (bytes.GetError().category == riff::ErrorCategory::Open) {
      lastFailure_ = AllophoneLoadFailure{kMsgFileOpen, bytes.GetError()};
      std::string text(MessageText(kMsgFileOpen));
      text += path.string();
      messages.ShowMessage(text, MessageIcon::Stop);
      return false;
    }
    // Too large or unreadable: it cannot be the allophone file we wrote.
    Fail(Damaged(bytes.GetError()), messages);
    return false;
  }
  return LoadFromBytes(*bytes, settings, messages);
}

bool CAllophoneDb::LoadFromBytes(std::span<const std::uint8_t> file, ISpeechSettings& settings,
                                 IMessageSink& messages) {
  if (loaded_) Free(settings);
  entries_.clear();
  analysed_ = false;
  lastFailure_.reset();
  if (auto failure = ReadEntries(file)) {
    Fail(std::move(*failure), messages);
    return false;
  }
  loaded_ = true;
  FinishLoading(settings);
  return true;
}

void CAllophoneDb::Fail(AllophoneLoadFailure failure, IMessageSink& messages) {
  // A half-read inventory is of no use: the database stays empty.
  entries_.clear();
  analysed_ = false;
  format_ = WaveFormat{};
  loaded_ = false;
  messages.ShowMessage(MessageText(failure.message), MessageIcon::Stop);
  lastFailure_ = std::move(failure);
}

std::optional<AllophoneLoadFailure> CAllophoneDb::ReadEntries(std::span<const std::uint8_t> file) {
  auto form = riff::OpenPcmForm(file, riff::FourCC("ALOF"));
  if (!form) return AllophoneLoadFailure{kMsgBadSoundFile, form.GetError()};
  format_ = form->format;
  riff::CFormReader& reader = form->reader;

  auto version = reader.FindChunk(riff::FourCC("VER "));
  if (!version) return Damaged(version.GetError());
  if (version->declaredSize > kMaxVersionBytes || version->declaredSize < 2 * kVersionWords) {
    return Damaged(riff::ErrorCategory::BadSize,
                   "\"VER \" chunk of " + std::to_string(version->declaredSize) +
                       " bytes; it must hold 8 to 40",
                   version->headerOffset + 4);
  }
  auto versionData = reader.Data(*version);
  if (!versionData) return Damaged(versionData.GetError());
  for (std::size_t i = 0; i < kVersionWords; ++i) {
    const auto word = riff::ReadU16(*versionData, 2 * i);
    if (word != kVersion[i]) {
      return Damaged(riff::ErrorCategory::BadValue,
                     "version word " + std::to_string(i + 1) + " is " + std::to_string(word) +
                         "; version 1.1.2.3 is required",
                     version->dataOffset + 2 * i);
    }
  }

  // The first failed search for "data" is the normal end of the file.
  for (auto data = reader.FindChunk(riff::FourCC("data")); data;
       data = reader.FindChunk(riff::FourCC("data"))) {
    auto samples = reader.Data(*data);
    if (!samples) return Damaged(samples.GetError());

    auto info = reader.FindChunk(riff::FourCC("info"));
    if (!info) {
      return Damaged(riff::ErrorCategory::ChunkNotFound,
                     "no \"info\" chunk after the \"data\" chunk at byte " +
                         std::to_string(data->headerOffset),
                     info.GetError().offset);
    }
    if (info->declaredSize != kInfoBytes) {
      return Damaged(riff::ErrorCategory::BadSize,
                     "\"info\" chunk of " + std::to_string(info->declaredSize) +
                         " bytes; it must hold 12",
                     info->headerOffset + 4);
    }
    auto record = reader.Data(*info);
    if (!record) return Damaged(record.GetError());

    CAllophone entry;
    const auto nameBytes = record->first(kNameBytes);
    const auto nameEnd = std::find(nameBytes.begin(), nameBytes.end(), std::uint8_t{0});
    entry.name.assign(nameBytes.begin(), nameEnd);
    entry.index = riff::ReadU16(*record, kNameBytes);
    entry.classBits = riff::ReadU16(*record, kNameBytes + 2);
    entry.samples.assign(samples->begin(), samples->end());
    SetEntry(std::move(entry));
  }

  for (int required : kRequiredEntries) {
    if (Entry(required) == nullptr) {
      return Damaged(riff::ErrorCategory::ChunkNotFound,
                     "the file has no entry " + std::to_string(required) +
                         ", which the engine requires",
                     file.size());
    }
  }
  return std::nullopt;
}

void CAllophoneDb::Free(ISpeechSettings& settings) {
  entries_.clear();
  analysed_ = false;
  entries_.shrink_to_fit();
  loaded_ = false;
  for (const auto& pause : kPauseEntries) {
    if (!settings.SoundSetting(pause.setting)) {
      settings.WriteSoundSetting(pause.setting, pause.defaultHundredths);
    }
  }
}

int CAllophoneDb::FindByName(std::string_view name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i] && entries_[i]->name == name) return static_cast<int>(i);
  }
  return -1;
}

const CAllophone* CAllophoneDb::Entry(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return nullptr;
  const auto& slot = entries_[static_cast<std::size_t>(index)];
  return slot ? &*slot : nullptr;
}

std::uint16_t CAllophoneDb::ClassBits(int index) const {
  const CAllophone* entry = Entry(index);
  return entry ? entry->classBits : 0;
}

std::size_t CAllophoneDb::Length(int index) const {
  const CAllophone* entry = Entry(index);
  return entry ? entry->samples.size() : 0;
}

void CAllophoneDb::SetEntry(CAllophone entry) {
  if (entry.index < 0 || entry.index > kMaxIndex) return;
  if (entry.name.size() > kNameBytes) entry.name.resize(kNameBytes);
  if (analysed_) entry.source = AnalyseEntry(entry.index, entry.classBits, entry.samples, voicePeriod_);
  const auto slot = static_cast<std::size_t>(entry.index);
  if (slot >= entries_.size()) entries_.resize(slot + 1);
  entries_[slot] = std::move(entry);
}

void CAllophoneDb::AnalyseEntries() {
  // The voice's period from its plain vowels: every piece is cut on it.
  voicePeriod_ = 0.0;
  for (int index = allo::kA; index <= allo::kY && voicePeriod_ == 0.0; ++index) {
    if (const CAllophone* entry = Entry(index)) {
      // Its middle: the longest period and some three of the voice's.
      const auto wide = Widened(entry->samples);
      const std::size_t length = std::min<std::size_t>(wide.size(), kMaxPeriod + 300);
      const std::span<const std::int16_t> middle(wide.data() + (wide.size() - length) / 2, length);
      if (const auto period = PeriodOf(middle)) voicePeriod_ = *period;
    }
  }
  for (auto& slot : entries_) {
    if (slot) slot->source = AnalyseEntry(slot->index, slot->classBits, slot->samples, voicePeriod_);
  }
  analysed_ = true;
}

double CAllophoneDb::PlainPeriod() const {
  std::vector<double> periods;
  for (int index = allo::kA; index <= allo::kY; ++index) {
    const CAllophone* entry = Entry(index);
    if (entry && entry->source.period > 0.0) periods.push_back(entry->source.period);
  }
  if (periods.empty()) return voicePeriod_;
  std::sort(periods.begin(), periods.end());
  return periods[periods.size() / 2];
}

void CAllophoneDb::FinishLoading(const ISpeechSettings& settings) {
  for (const auto& pause : kPauseEntries) {
    const std::size_t bytes = PauseBytes(settings.SoundSetting(pause.setting), pause.defaultHundredths);
    CAllophone entry;
    if (const CAllophone* old = Entry(pause.index)) {
      entry.classBits = old->classBits;
    } else {
      entry.classBits = classbits::kPause;
    }
    entry.index = pause.index;
    entry.name = pause.name;
    entry.samples.assign(bytes, kSilence);
    SetEntry(std::move(entry));
  }

  struct Copy {
    int source;
    int target;
    std::string_view name;
  };
  for (const Copy copy : {Copy{allo::kH, allo::kCh, "ch"}, Copy{allo::kHSoft, allo::kChi, "chi"}}) {
    CAllophone entry;
    const CAllophone* target = Entry(copy.target);
    const CAllophone* source = Entry(copy.source);
    entry.classBits = target ? target->classBits : (source ? source->classBits : 0);
    entry.index = copy.target;
    entry.name = copy.name;
    if (source) entry.samples = source->samples;
    SetEntry(std::move(entry));
  }

  CAllophone null;
  null.index = allo::kNull;
  null.name = "null";
  null.classBits = 1;
  SetEntry(std::move(null));
  AnalyseEntries();
}

}  // namespace vokar
