#include "EngineRun.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "Assembly.h"
#include "Cp1250.h"
#include "PolishSample.h"
#include "ProsodyStage.h"
#include "TextScanner.h"

namespace vokar::bench {
namespace {

// Rendering into memory has no device, so the tags that steer one have
// nothing to act on; the sample texts carry no tags anyway. The prosody
// stage shapes the chunks at the normal speed as a reading job does, unless
// the settings turn it off.
class NoControls final : public IControlHandler {
 public:
  explicit NoControls(const CSpeechSettingsValues& settings) : prosody_(settings.Prosody()) {}
  void ApplyControl(ControlCode, int, CUtterance&) override {}
  std::optional<ChunkShaping> Shaping() const override {
    if (!prosody_.intonation && !prosody_.keepPitch) return std::nullopt;
    return ChunkShaping{prosody_, 0};
  }

 private:
  ProsodySettings prosody_;
};

// Keeps the loader's message, so that a voice that fails to load says why.
class RecordingSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon) override { message.assign(text); }
  std::string message;
};

}  // namespace

bool EngineRun::Load(const std::filesystem::path& voice) {
  RecordingSink sink;
  if (!db_.LoadFromPath(voice, settings_, sink)) {
    error_ = sink.message.empty() ? "the voice did not load" : sink.message;
    while (!error_.empty() && error_.back() == '\n') error_.pop_back();
    return false;
  }
  dictionary_.LoadFromText(cp1250::FromUtf8(kSampleDictionary));
  return true;
}

std::size_t EngineRun::RenderAll(std::string_view text, std::vector<std::uint8_t>& out) {
  NoControls controls(settings_);
  CTextScanner scanner(text, {settings_, db_, &dictionary_, sink_});
  std::size_t chunks = 0;
  while (CUtterance* utterance = scanner.NextUtterance()) {
    while (RenderNextChunk(*utterance, db_, controls)) {
      const auto& samples = utterance->chunk.samples;
      out.insert(out.end(), samples.begin(), samples.end());
      bytesPerSample_ = std::max(1, utterance->chunkFormat.bitsPerSample / 8);
      ++chunks;
    }
  }
  return chunks;
}

std::size_t EngineRun::ScanOnly(std::string_view text) {
  CTextScanner scanner(text, {settings_, db_, &dictionary_, sink_});
  std::size_t tokens = 0;
  while (CUtterance* utterance = scanner.NextUtterance()) tokens += utterance->Tokens().size();
  return tokens;
}

std::size_t EngineRun::RenderDiscarding(std::string_view text) {
  NoControls controls(settings_);
  CTextScanner scanner(text, {settings_, db_, &dictionary_, sink_});
  std::size_t bytes = 0;
  while (CUtterance* utterance = scanner.NextUtterance())
    while (RenderNextChunk(*utterance, db_, controls)) bytes += utterance->chunk.samples.size();
  return bytes;
}

EngineRun::FirstChunk EngineRun::RenderFirstChunk(std::string_view text) {
  using Clock = std::chrono::steady_clock;
  NoControls controls(settings_);
  FirstChunk result;
  const auto start = Clock::now();
  CTextScanner scanner(text, {settings_, db_, &dictionary_, sink_});
  while (CUtterance* utterance = scanner.NextUtterance()) {
    if (RenderNextChunk(*utterance, db_, controls)) {
      result.bytes = utterance->chunk.samples.size();
      break;
    }
  }
  result.micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  return result;
}

}  // namespace vokar::bench
