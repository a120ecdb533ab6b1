// Test support for the file readers: builds RIFF files (allophone "ALOF"
// files and "WAVE" files) chunk by chunk, with knobs that damage them on
// purpose, plus a private temporary folder and a sink that records messages.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AllophoneIndex.h"
#include "Messages.h"
#include "TestFolder.h"
#include "WaveFormat.h"

namespace vokar::testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void PutText(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

// The chunks of one RIFF form, written in the order they are added.
class RiffBuilder {
 public:
  explicit RiffBuilder(std::string_view formType) : formType_(formType) {}

  // A chunk whose declared size is the size of its data; odd sizes get a pad
  // byte.
  RiffBuilder& Chunk(std::string_view id, const Bytes& data) {
    return ChunkDeclaring(id, static_cast<std::uint32_t>(data.size()), data);
  }

  // A chunk that declares a size other than the bytes that follow it. The pad
  // byte follows the data actually written when that is odd.
  RiffBuilder& ChunkDeclaring(std::string_view id, std::uint32_t declaredSize, const Bytes& data) {
    PutText(body_, id);
    PutU32(body_, declaredSize);
    body_.insert(body_.end(), data.begin(), data.end());
    if (data.size() % 2 != 0) body_.push_back(0);
    return *this;
  }

  // Bytes placed as they are, for damage a chunk cannot express.
  RiffBuilder& Raw(const Bytes& data) {
    body_.insert(body_.end(), data.begin(), data.end());
    return *this;
  }

  // The whole file; riffSize overrides the RIFF chunk's declared size.
  Bytes Build(std::optional<std::uint32_t> riffSize = std::nullopt) const {
    Bytes out;
    PutText(out, "RIFF");
    PutU32(out, riffSize.value_or(static_cast<std::uint32_t>(body_.size() + 4)));
    PutText(out, formType_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
  }

 private:
  std::string formType_;
  Bytes body_;
};

inline Bytes FormatRecord(const WaveFormat& format) {
  Bytes out;
  PutU16(out, format.formatTag);
  PutU16(out, format.channels);
  PutU32(out, format.samplesPerSec);
  PutU32(out, format.avgBytesPerSec);
  PutU16(out, format.blockAlign);
  PutU16(out, format.bitsPerSample);
  return out;
}

// The 12-byte info record; a name of 8 characters has no terminator.
inline Bytes InfoRecord(std::string_view name, std::uint16_t index, std::uint16_t classBits) {
  Bytes out(8, 0);
  for (std::size_t i = 0; i < name.size() && i < 8; ++i) out[i] = static_cast<std::uint8_t>(name[i]);
  PutU16(out, index);
  PutU16(out, classBits);
  return out;
}

struct AlfEntry {
  int index = 0;
  std::string name;
  std::uint16_t classBits = 0;
  Bytes samples;
};

// An allophone file. The defaults give a sound file that the loader accepts;
// each knob breaks one thing.
struct AlfWriter {
  std::string formType = "ALOF";
  WaveFormat format = kVoiceFormat;
  bool writeFormat = true;
  // Cuts the "fmt " record to this many bytes.
  std::optional<std::size_t> formatBytes;
  bool writeVersion = true;
  std::array<std::uint16_t, 4> version = {1, 1, 2, 3};
  std::string versionText = "test voice";
  std::vector<AlfEntry> entries;
  // Overrides the size of the last entry's info record (0xFF-filled to it,
  // or cut to it).
  std::optional<std::size_t> lastInfoBytes;
  bool writeLastInfo = true;
  // The last "data" chunk declares this size instead of its true one (the
  // samples written stay the same).
  std::optional<std::uint32_t> lastDataDeclares;
  std::optional<std::uint32_t> riffSize;
  // Cuts the finished file to this many bytes.
  std::optional<std::size_t> cutTo;

  AlfWriter& Add(int index, std::string name, std::uint16_t classBits, Bytes samples) {
    entries.push_back({index, std::move(name), classBits, std::move(samples)});
    return *this;
  }

  // The entries the loader requires (h, h soft, ch, chi, the four pauses),
  // each with a few distinct sample bytes.
  AlfWriter& AddRequired() {
    Add(allo::kH, "h", classbits::kVoiceless, {10, 11, 12});
    Add(allo::kHSoft, "hi", classbits::kVoiceless | classbits::kSoft, {20, 21, 22, 23});
    Add(allo::kCh, "x", classbits::kVoiceless, {1});
    Add(allo::kChi, "xi", classbits::kVoiceless | classbits::kSoft, {2});
    Add(allo::kPauseDoubleLetter, "p3", classbits::kPause, {128});
    Add(allo::kPauseInterWord, "p10", classbits::kPause, {128});
    Add(allo::kPausePunctuation, "p50", classbits::kPause, {128});
    Add(allo::kPauseInterSentence, "p100", classbits::kPause, {128});
    return *this;
  }

  Bytes Build() const {
    RiffBuilder riff(formType);
    if (writeFormat) {
      Bytes record = FormatRecord(format);
      if (formatBytes) record.resize(*formatBytes);
      riff.Chunk("fmt ", record);
    }
    if (writeVersion) {
      Bytes record;
      for (auto word : version) PutU16(record, word);
      PutText(record, versionText);
      riff.Chunk("VER ", record);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const AlfEntry& entry = entries[i];
      const bool last = i + 1 == entries.size();
      if (last && lastDataDeclares) {
        riff.ChunkDeclaring("data", *lastDataDeclares, entry.samples);
      } else {
        riff.Chunk("data", entry.samples);
      }
      if (last && !writeLastInfo) break;
      Bytes info = InfoRecord(entry.name, static_cast<std::uint16_t>(entry.index), entry.classBits);
      if (last && lastInfoBytes) info.resize(*lastInfoBytes, 0xFF);
      riff.Chunk("info", info);
    }
    Bytes out = riff.Build(riffSize);
    if (cutTo && *cutTo < out.size()) out.resize(*cutTo);
    return out;
  }
};

// A PCM wave file: "fmt " then "data".
inline Bytes WaveBytes(const WaveFormat& format, const Bytes& samples) {
  return RiffBuilder("WAVE").Chunk("fmt ", FormatRecord(format)).Chunk("data", samples).Build();
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::filesystem::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A folder of the test's own under the build's test folder, removed with
// everything in it when the object goes.
class TempDir : public vokar::test::TestFolder {
 public:
  TempDir() : TestFolder("readers") {}
  const std::filesystem::path& Path() const { return path(); }
  std::filesystem::path operator/(std::string_view name) const { return path() / name; }
};

// Sets an environment variable for one scope and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Changes the current directory for one scope.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path old_;
};

struct ShownMessage {
  std::string text;
  MessageIcon icon;
};

class RecordingSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view utf8Text, MessageIcon icon) override {
    shown.push_back({std::string(utf8Text), icon});
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& message : shown) texts.push_back(message.text);
    return texts;
  }
  std::vector<ShownMessage> shown;
};

}  // namespace vokar::testing
