#include "WaveFile.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "Cp1250.h"

namespace vokar {

namespace {

// A wave insert is played whole; 64 MiB is far beyond any sound a text would
// embed, and keeps a wrong name from filling the memory.
constexpr std::uintmax_t kWaveSizeLimit = riff::kDefaultSizeLimit;

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

bool LoadWaveFile(const std::filesystem::path& path, CWaveInsert& insert, IMessageSink& messages) {
  insert = CWaveInsert{};
  auto bytes = riff::ReadFileBytes(path, kWaveSizeLimit);
  if (!bytes) {
    // A wave insert that cannot be opened stays silent; one that cannot be
    // read whole is a read failure.
    if (bytes.GetError().category == riff::ErrorCategory::Open) return false;
    messages.ShowMessage(MessageText(kMsgWaveRead), MessageIcon::Stop);
    return false;
  }
  auto wave = ReadWave(*bytes);
  if (!wave) {
    messages.ShowMessage(MessageText(wave.GetError().message), MessageIcon::Stop);
    return false;
  }
  insert = std::move(*wave);
  return true;
}

bool OpensForReading(const std::filesystem::path& path) {
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
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
    if (!OpensForReading(path)) return -1;
    return LoadWaveFile(path, insert, messages) ? 0 : -1;
  }

  const std::filesystem::path name(cp1250::ToUtf8(cp1250Name));
  std::filesystem::path found = workDir.empty() ? name : workDir / name;
  if (!OpensForReading(found)) {
    found.clear();
    for (const auto& dir : PathDirectories()) {
      if (OpensForReading(dir / name)) {
        found = dir / name;
        break;
      }
    }
  }
  if (found.empty()) return -1;
  return LoadWaveFile(found, insert, messages) ? 0 : -1;
}

}  // namespace vokar
