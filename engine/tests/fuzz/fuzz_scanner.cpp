// Scans arbitrary text, control tags included, with switches taken from the
// first byte and an optional dictionary before a blank line of three line
// feeds. Every utterance is prepared and rendered into chunks, none of them
// empty; nothing may crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Assembly.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace {

struct IgnoreControls final : vokar::IControlHandler {
  void ApplyControl(vokar::ControlCode, int, vokar::CUtterance&) override {}
};

struct Fixture {
  vokar::CSpeechSettingsValues settings;
  vokar::CAllophoneDb db;
  vokar::CSilentSink sink;
  Fixture() {
    settings.workDir = "/nonexistent/";
    vokar::testing::FillTestInventory(db, settings);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  if (size == 0) return 0;
  auto& s = fixture.settings;
  const std::uint8_t flags = data[0];
  s.fluentSpeech = flags & 1;
  s.colloquialSpeech = flags & 2;
  s.useExpDict = flags & 4;
  s.convertCaps = flags & 8;
  s.convertNumber = flags & 16;
  s.convertDate = flags & 32;
  s.convertCapsLimit = (flags >> 6) * 3;
  s.locale.decimal = (flags & 64) ? '.' : ',';
  s.locale.thousand = (flags & 64) ? ' ' : '.';
  s.locale.date = (flags & 128) ? '-' : '.';
  s.locale.shortDate = (flags & 128) ? "yyyy-MM-dd" : "dd.MM.yy";

  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  vokar::CExceptionDict dictionary;
  if (const auto split = input.find("\n\n\n"); split != std::string::npos) {
    dictionary.LoadFromText(std::string_view(input).substr(0, split));
    input.erase(0, split + 3);
  }
  vokar::CTextScanner scanner(input, {s, fixture.db, &dictionary, fixture.sink});
  IgnoreControls controls;
  while (vokar::CUtterance* utterance = scanner.NextUtterance()) {
    while (vokar::RenderNextChunk(*utterance, fixture.db, controls)) {
      if (utterance->chunk.samples.empty()) __builtin_trap();
    }
  }
  return 0;
}
