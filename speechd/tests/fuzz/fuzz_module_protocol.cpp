// Fuzzes what sd_vokar reads from speech-dispatcher: the bytes, cut into
// pieces as the first byte says, go through the request reader, and every
// message through the SSML reader and on to the engine's text. Whatever comes
// in, the reader stays within its limits, and the engine's text holds no NUL,
// no backslash that could open a control tag, and marks inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "EngineText.h"
#include "Protocol.h"
#include "Ssml.h"

namespace {

using namespace vokar::speechd;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEngineText(const EngineText& text) {
  Check(text.text.find('\0') == std::string::npos);
  for (std::size_t i = 0; i < text.text.size(); ++i)
    if (text.text[i] == '\\') Check(i + 1 < text.text.size() && text.text[i + 1] == ' ');
  std::size_t last = 0;
  for (const auto& mark : text.marks) {
    Check(mark.offset >= last && mark.offset <= text.text.size());
    Check(mark.name.size() <= kMaxMarkName);
    for (char c : mark.name) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    last = mark.offset;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 17 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  ReaderLimits limits;
  limits.commandLine = 64;
  limits.settingLine = 64;
  limits.settings = 8;
  limits.message = 4096;
  RequestReader reader(limits);
  TextOptions options;
  options.namePunctuation = (data[0] & 0x20) != 0;
  options.punctuation = static_cast<Punctuation>((data[0] >> 6) & 3);
  options.spelling = (data[0] & 0x10) != 0;
  options.capitals = (data[0] & 0x08) != 0 ? CapitalLetters::Spell : CapitalLetters::None;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    reader.Feed(bytes.substr(at, piece));
    while (auto event = reader.Next()) {
      const Request& request = event->request;
      Check(request.line.size() <= limits.commandLine);
      Check(request.text.size() <= limits.message);
      Check(request.settings.size() <= limits.settings);
      if (event->type != ReaderEvent::Type::Complete || !IsMessage(request.kind)) continue;
      const SpeechText speech = ReadSsml(request.text);
      for (const auto& span : speech.spelled) Check(span.begin < span.end && span.end <= speech.text.size());
      CheckEngineText(ForEngine(speech, options));
      CheckEngineText(CharacterForEngine(request.text, options));
      CheckEngineText(KeyForEngine(request.text, options));
    }
  }
  return 0;
}
