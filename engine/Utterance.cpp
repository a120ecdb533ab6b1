#include "Utterance.h"

#include "Cp1250.h"
#include "Transcription.h"

namespace vokar {

void CUtterance::AddWord(std::string_view text, bool accent) {
  CWordToken& token = tokens_.emplace_back();
  token.text = text;
  token.accent = accent || !settings_->FluentSpeech();
  token.colloquial = settings_->ColloquialSpeech();
  token.textPosition = textPosition;
  Transcribe(token);
}

void CUtterance::AddByte(unsigned char byte, bool accent) {
  const char c = static_cast<char>(byte);
  AddWord(std::string_view(&c, 1), accent);
}

void CUtterance::AddPhrase(std::string_view text) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool letter = i < text.size() && cp1250::IsAlpha(static_cast<unsigned char>(text[i]));
    if (letter) continue;
    if (i > start) AddWord(text.substr(start, i - start), true);
    if (i < text.size()) {
      const auto c = static_cast<unsigned char>(text[i]);
      const bool controlOrBlank = c < 32 || c == ' ';
      if (!controlOrBlank) AddByte(c, false);
    }
    start = i + 1;
  }
}

}  // namespace vokar
