// Our engine driven without a device: the default voice and the sample
// dictionary loaded once, then a text scanned and rendered chunk by chunk
// into one buffer in memory, or only as far as its first chunk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "AllophoneDb.h"
#include "ExceptionDict.h"
#include "Messages.h"
#include "SpeechSettings.h"

namespace vokar::bench {

class EngineRun {
 public:
  // Loads the voice file; false (with the reason in Error) when it cannot.
  bool Load(const std::filesystem::path& voice);
  const std::string& Error() const { return error_; }

  // Every sample of the text (code page 1250), appended to out; returns the
  // number of chunks rendered. The chunks' bytes per sample (1 for the
  // voice's own 8 bits, 2 from the prosody stage) are in BytesPerSample.
  std::size_t RenderAll(std::string_view text, std::vector<std::uint8_t>& out);
  int BytesPerSample() const { return bytesPerSample_; }

  // The text side alone: every sentence scanned, transcribed and prepared,
  // nothing rendered. Returns the number of tokens.
  std::size_t ScanOnly(std::string_view text);

  // Every chunk rendered but not kept: the engine's own work without the
  // copy into a buffer of the whole text. Returns the bytes rendered.
  std::size_t RenderDiscarding(std::string_view text);

  // A new scanner on the text, taken as far as its first chunk: the chunk's
  // bytes (0 when the text gives no sound) and the microseconds from the
  // scanner's construction to the chunk in memory, its destruction left out.
  struct FirstChunk {
    std::size_t bytes = 0;
    double micros = 0;
  };
  FirstChunk RenderFirstChunk(std::string_view text);

  const CAllophoneDb& Db() const { return db_; }
  const CExceptionDict& Dictionary() const { return dictionary_; }
  CSpeechSettingsValues& Settings() { return settings_; }
  IMessageSink& Sink() { return sink_; }

 private:
  CSpeechSettingsValues settings_;
  CAllophoneDb db_;
  CExceptionDict dictionary_;
  CSilentSink sink_;
  std::string error_;
  int bytesPerSample_ = 1;
};

}  // namespace vokar::bench
