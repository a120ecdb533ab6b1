// Feeds arbitrary bytes to the allophone-file loader: every input must end in
// a loaded database or a refusal with one message, never in a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "AllophoneDb.h"
#include "AllophoneIndex.h"

namespace {

class CountingSink final : public vokar::IMessageSink {
 public:
  void ShowMessage(std::string_view, vokar::MessageIcon) override { ++count; }
  int count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vokar::CAllophoneDb db;
  vokar::CSpeechSettingsValues settings;
  CountingSink sink;
  const bool loaded = db.LoadFromBytes(std::span(data, size), settings, sink);
  if (loaded != (sink.count == 0) || loaded != db.Loaded()) std::abort();
  if (loaded) {
    // What the rest of the engine does with a loaded inventory.
    if (db.FindByName("ch") != vokar::allo::kCh) std::abort();
    std::size_t total = 0;
    for (std::size_t i = 0; i < db.SlotCount(); ++i) total += db.Length(static_cast<int>(i));
    // Samples come from the file, plus the generated pauses and copies.
    if (total > 2 * size + 4 * 65280) std::abort();
  } else if (db.SlotCount() != 0 || !db.LastFailure()) {
    std::abort();
  }
  db.Free(settings);
  return 0;
}
