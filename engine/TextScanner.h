// The text scanner: walks one code page 1250 text once and cuts it into
// utterances, one per sentence, of word, punctuation, boundary and control
// tokens. Control tags embedded in the text become control tokens here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "AllophoneDb.h"
#include "ExceptionDict.h"
#include "Messages.h"
#include "SpeechSettings.h"
#include "TextSource.h"
#include "Utterance.h"

namespace vokar {

// What a scanner reads from its host for the life of one reading job.
struct ScannerContext {
  ISpeechSettings& settings;
  const CAllophoneDb& db;
  // The exception dictionary, or nullptr when there is none.
  const CExceptionDict* dictionary = nullptr;
  IMessageSink& messages;
};

class CTextScanner {
 public:
  // The text is not copied: the caller keeps it alive for the scanner's life.
  // It ends at its first NUL byte.
  CTextScanner(std::string_view text, ScannerContext context);

  // The next sentence, prepared for sound, or nullptr when the text is
  // exhausted. The utterance stays valid until the next call.
  CUtterance* NextUtterance();

  // True once the text has been read to its end: the utterance returned last
  // is the text's last sentence.
  bool AtEndOfText() const { return endOfText_; }

  // A run of letters longer than this is handed on in pieces.
  static constexpr std::size_t kMaxWordBytes = 64;
  // At most this many characters are read for one utterance.
  static constexpr int kMaxReadsPerUtterance = 2048;

 private:
  CTextSource& Current();
  bool SubstitutionPending() const { return substitutionActive_; }
  void StartSubstitution(std::string_view replacement);

  void FlushWord(bool accent);
  bool SpellCapitals();
  void ClearBuffer();

  void SentenceEnd(unsigned char ch, CTextSource& source);
  void Backslash(CTextSource& source);
  void DigitOrMinus(unsigned char ch, CTextSource& source);
  void ControlOrSpace(unsigned char ch, CTextSource& source);
  void OtherByte(unsigned char ch, CTextSource& source);

  // Parses a control tag at the source's position (just after the
  // backslash). On success the position is past the closing backslash, the
  // control bytes (if any) are in the word buffer, and true is returned.
  bool ParseTag(CTextSource& source, bool& endsSentence);
  std::string AllophoneListBytes(std::string_view argument) const;

  ScannerContext context_;
  CTextSource main_;
  CTextSource substitution_;
  std::string substitutionText_;
  bool substitutionActive_ = false;
  // Where the word that the replacement stands for begins in the main text.
  std::size_t substitutionOrigin_ = 0;

  std::unique_ptr<CUtterance> utterance_;
  bool endOfText_ = false;
  bool complete_ = false;
  bool sentenceStart_ = true;
  int upperCount_ = 0;
  int lowerCount_ = 0;
  std::string buffer_;
};

}  // namespace vokar
