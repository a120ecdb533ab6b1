#include "WaveFile.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "Cp1250.h"
#include "FileAccess.h"

namespace vokar {

namespace {

// A wave insert is played whole; 64 MiB is far beyond any sound a text would
// embed, and keeps a wrong name from filling the memory.
constexpr std::size_t kWaveSizeLimit = riff::kDefaultSizeLimit;

}  // namespace

riff::Result<CWaveInsert, WaveLoadFailure> ReadWave(std::span<const std::uint8_t> file) {
  auto form = riff::OpenPcmForm(file, riff::FourCC("WAVE"));
  if (!form) return WaveLoadFailure{kMsgBadSoundFile, form.GetError()};

  CWaveInsert insert;
  insert.format = form->format;
  auto chunk = form->reader.FindChunk(riff::FourCC("data"));
  if (!chunk) {
    // A wave file without samples is still a wave file: it plays nothing.
    insert.loaded = true;
    return insert;
  }
  auto data = form->reader.Data(*chunk);
  if (!data) return WaveLoadFailure{kMsgWaveRead, data.GetError()};
  insert.samples.assign(data->begin(), data->end());
  insert.loaded = true;
  return insert;
}

namespace {

// Loads the insert from what the reader found; false with the message shown
// when it cannot be read whole or is not a PCM wave file.
bool LoadWaveContent(const FileContent& content, CWaveInsert& insert, IMessageSink& messages) {
  if (content.status == FileStatus::ReadError || content.truncated) {
    messages.ShowMessage(MessageText(kMsgWaveRead), MessageIcon::Stop);
    return false;
  }
  const auto* data = reinterpret_cast<const std::uint8_t*>(content.bytes.data());
  auto wave = ReadWave(std::span<const std::uint8_t>(data, content.bytes.size()));
  if (!wave) {
    messages.ShowMessage(MessageText(wave.GetError().message), MessageIcon::Stop);
    return false;
  }
  insert = std::move(*wave);
  return true;
}

// A candidate of the search: nothing when it is missing, not a regular file
// or cannot be opened (the search goes on), else whether it loaded.
std::optional<bool> TryInsert(const std::filesystem::path& path, CWaveInsert& insert, IMessageSink& messages) {
  const FileContent content = FileAccess().Read(path, kWaveSizeLimit);
  if (content.status == FileStatus::NotFound || content.status == FileStatus::CannotOpen) return std::nullopt;
  return LoadWaveContent(content, insert, messages);
}

}  // namespace

bool LoadWaveFile(const std::filesystem::path& path, CWaveInsert& insert, IMessageSink& messages) {
  insert = CWaveInsert{};
  // A wave insert that cannot be opened stays silent.
  return TryInsert(path, insert, messages).value_or(false);
}

bool OpensForReading(const std::filesystem::path& path) {
  if (path.empty()) return false;
  return FileAccess().Read(path, 0).ok();
}

std::vector<std::filesystem::path> PathDirectories() {
  std::vector<std::filesystem::path> dirs;
  const char* value = std::getenv("PATH");
  if (value == nullptr) return dirs;
  std::string_view rest(value);
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const auto entry = rest.substr(0, colon);
    if (!entry.empty()) dirs.emplace_back(std::string(entry));
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return dirs;
}

int FindAndLoadInsert(std::string_view cp1250Name, const std::filesystem::path& workDir,
                      CWaveInsert& insert, IMessageSink& messages) {
  insert = CWaveInsert{};
  if (cp1250Name.empty()) return -1;

  if (cp1250Name.find_first_of("\\:/") != std::string_view::npos) {
    // Texts written for the desktop platform name files with backslashes.
    std::string name(cp1250Name);
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    const std::filesystem::path path(cp1250::ToUtf8(name));
    return TryInsert(path, insert, messages).value_or(false) ? 0 : -1;
  }

  const std::filesystem::path name(cp1250::ToUtf8(cp1250Name));
  std::vector<std::filesystem::path> candidates{workDir.empty() ? name : workDir / name};
  for (const auto& dir : PathDirectories()) candidates.push_back(dir / name);
  // The first candidate that is a readable regular file ends the search,
  // whether it loads or not.
  for (const auto& candidate : candidates) {
    if (const auto loaded = TryInsert(candidate, insert, messages)) return *loaded ? 0 : -1;
  }
  return -1;
}

}  // namespace vokar
