#include "TextScanner.h"

#include <algorithm>

#include "Cp1250.h"
#include "Figures.h"
#include "LetterNames.h"
#include "Prosody.h"
#include "WaveFile.h"

namespace vokar {
namespace {

bool IsSentenceEnd(unsigned char c) { return c == 0 || c == '.' || c == '!' || c == '?'; }
bool IsControl(unsigned char c) { return c > 0 && c < 32; }
bool IsLineBreakOrTab(unsigned char c) { return c == '\t' || c == '\n' || c == '\r'; }

// Reads a tag's numeric argument as the C library's atoi would: leading
// blanks, an optional sign, digits up to the first non-digit; nothing
// readable is 0. The result is clamped to 0-99.
int TagNumber(std::string_view argument) {
  std::size_t i = 0;
  while (i < argument.size() && (argument[i] == ' ' || argument[i] == '\t')) ++i;
  bool negative = false;
  if (i < argument.size() && (argument[i] == '+' || argument[i] == '-')) negative = argument[i++] == '-';
  int value = 0;
  while (i < argument.size() && argument[i] >= '0' && argument[i] <= '9') value = value * 10 + (argument[i++] - '0');
  return std::clamp(negative ? -value : value, 0, 99);
}

std::string ControlBytes(ControlCode code, int argument) {
  return {static_cast<char>(kControlMarker), static_cast<char>(code), static_cast<char>(argument)};
}

// Tags with a numeric argument of at most two characters.
struct NumberTag {
  std::string_view keyword;
  ControlCode code;
};
constexpr NumberTag kNumberTags[] = {
    {"Pit=", ControlCode::Pitch},
    {"Pnm=", ControlCode::Balance},
    {"Spd=", ControlCode::Speed},
    {"Vol=", ControlCode::Volume},
};

// The longest wave-insert name that is looked for.
constexpr std::size_t kMaxInsertName = 259;
// An allophone list names at most this many allophones.
constexpr std::size_t kMaxListNames = 255;

}  // namespace

CTextScanner::CTextScanner(std::string_view text, ScannerContext context)
    : context_(context), main_(text) {
  endOfText_ = main_.Text().empty();
}

CTextSource& CTextScanner::Current() {
  if (substitutionActive_) {
    if (!substitution_.Exhausted()) return substitution_;
    substitutionActive_ = false;
    substitutionText_.clear();
    substitution_ = CTextSource();
  }
  return main_;
}

void CTextScanner::StartSubstitution(std::string_view replacement) {
  substitutionOrigin_ = utterance_->textPosition;
  substitutionText_.assign(replacement);
  substitution_ = CTextSource(substitutionText_);
  substitutionActive_ = true;
}

void CTextScanner::ClearBuffer() {
  buffer_.clear();
  upperCount_ = lowerCount_ = 0;
}

CUtterance* CTextScanner::NextUtterance() {
  // The chunk buffer (up to 256 KiB, more when shaped) serves the next
  // sentence too, rather than being freed and allocated again for every
  // sentence; the prosody stage writes over what it holds and clears only
  // what it grows by.
  std::vector<std::uint8_t> chunkBuffer;
  if (utterance_) {
    utterance_->chunk.Stop();
    chunkBuffer = std::move(utterance_->chunk.samples);
  }
  utterance_.reset();
  if (endOfText_) return nullptr;
  utterance_ = std::make_unique<CUtterance>(context_.settings);
  utterance_->chunk.samples = std::move(chunkBuffer);
  ClearBuffer();
  sentenceStart_ = true;
  complete_ = false;

  bool previousFromSubstitution = false;
  for (int reads = 0; !complete_ && reads < kMaxReadsPerUtterance; ++reads) {
    CTextSource& source = Current();
    const bool fromSubstitution = &source == &substitution_;
    // The last word of a replacement is handed on as it stands: replacements
    // are never looked up again, nor spelled.
    if (previousFromSubstitution && !fromSubstitution && !buffer_.empty()) {
      utterance_->AddWord(buffer_, true);
      sentenceStart_ = false;
      ClearBuffer();
    }
    previousFromSubstitution = fromSubstitution;
    // A token begins where its first byte is read; the word buffer keeps the
    // place of its first letter until it is handed on.
    if (buffer_.empty()) utterance_->textPosition = fromSubstitution ? substitutionOrigin_ : main_.Position();

    const unsigned char ch = source.Next();
    if (IsSentenceEnd(ch)) {
      SentenceEnd(ch, source);
    } else if (ch == '\\') {
      Backslash(source);
    } else if (cp1250::IsLower(ch)) {
      buffer_ += static_cast<char>(ch);
      ++lowerCount_;
    } else if (cp1250::IsUpper(ch)) {
      buffer_ += static_cast<char>(ch);
      ++upperCount_;
    } else if ((ch >= '0' && ch <= '9') || ch == '-') {
      DigitOrMinus(ch, source);
    } else if (IsControl(ch) || ch == ' ') {
      ControlOrSpace(ch, source);
    } else {
      OtherByte(ch, source);
    }
    if (buffer_.size() > kMaxWordBytes) FlushWord(true);
  }
  // A sentence cut at the read limit keeps the letters collected so far; the
  // next utterance would otherwise start with an empty buffer and lose them.
  if (!complete_) FlushWord(true);

  Prepare(*utterance_, context_.db, context_.settings);
  return utterance_.get();
}

void CTextScanner::SentenceEnd(unsigned char ch, CTextSource& source) {
  if (!buffer_.empty()) {
    // An abbreviation keeps its full stop, which then does not end the
    // sentence.
    if (ch == '.' && context_.dictionary && context_.settings.UseExpDict() && !SubstitutionPending()) {
      if (const auto replacement = context_.dictionary->LookupWord(buffer_ + '.')) {
        ClearBuffer();
        StartSubstitution(*replacement);
        return;
      }
    }
    FlushWord(true);
    source.StepBack();
    return;
  }
  if (ch != 0) {
    buffer_ = static_cast<char>(ch);
    FlushWord(true);
  }
  complete_ = true;
  if (ch == 0) {
    endOfText_ = true;
    return;
  }
  // Further marks, spaces and control characters belong to this sentence.
  for (;;) {
    CTextSource& next = Current();
    const unsigned char c = next.Next();
    if (c == 0) {
      endOfText_ = true;
      return;
    }
    if (IsSentenceEnd(c) || IsControl(c) || c == ' ') continue;
    next.StepBack();
    return;
  }
}

void CTextScanner::Backslash(CTextSource& source) {
  if (!buffer_.empty()) {
    FlushWord(true);
    source.StepBack();
    return;
  }
  bool endsSentence = false;
  if (!ParseTag(source, endsSentence)) {
    buffer_ = "\\";
    upperCount_ = 1;
    FlushWord(true);
    return;
  }
  FlushWord(true);
  // A wave insert always ends its sentence.
  if (endsSentence) complete_ = true;
}

void CTextScanner::DigitOrMinus(unsigned char ch, CTextSource& source) {
  if (!buffer_.empty()) {
    sentenceStart_ = false;
    FlushWord(true);
    source.StepBack();
    return;
  }
  const ISpeechSettings& settings = context_.settings;
  const FigureOptions options{settings.ConvertNumber(), settings.ConvertDate(), settings.Locale()};
  if (ReadFigure(source, *utterance_, options)) {
    utterance_->AddByte(kBoundaryFigure, false);
  } else if (ch == '-') {
    utterance_->AddWord("-", true);
  }
}

void CTextScanner::ControlOrSpace(unsigned char ch, CTextSource& source) {
  if (!buffer_.empty()) {
    FlushWord(ch != ' ');
    source.StepBack();
    return;
  }
  if (IsLineBreakOrTab(ch)) {
    buffer_ = static_cast<char>(ch);
    upperCount_ = 1;
    FlushWord(true);
    while (IsControl(source.Peek())) source.Next();
  } else {
    while (IsControl(source.Peek()) && !IsLineBreakOrTab(source.Peek())) source.Next();
  }
}

void CTextScanner::OtherByte(unsigned char ch, CTextSource& source) {
  if (!buffer_.empty()) {
    FlushWord(true);
    source.StepBack();
    return;
  }
  buffer_ = static_cast<char>(ch);
  upperCount_ = 1;
  FlushWord(true);
}

void CTextScanner::FlushWord(bool accent) {
  if (buffer_.empty()) return;
  bool replaced = false;
  if (context_.dictionary && context_.settings.UseExpDict() && !SubstitutionPending()) {
    if (const auto replacement = context_.dictionary->LookupWord(buffer_)) {
      StartSubstitution(*replacement);
      replaced = true;
    }
  }
  if (!replaced && !SpellCapitals()) utterance_->AddWord(buffer_, accent);
  if (sentenceStart_ && static_cast<unsigned char>(buffer_[0]) != kControlMarker) sentenceStart_ = false;
  ClearBuffer();
}

bool CTextScanner::SpellCapitals() {
  const ISpeechSettings& settings = context_.settings;
  if (!settings.ConvertCaps() || lowerCount_ >= upperCount_) return false;
  if (upperCount_ + lowerCount_ > settings.ConvertCapsLimit()) return false;
  // A one-letter word opening a sentence (W, A, I) is a word, not a letter.
  if (buffer_.size() == 1 && sentenceStart_) return false;
  bool spelled = false;
  for (char c : buffer_) {
    const std::string_view name = LetterName(cp1250::FoldPolish(static_cast<unsigned char>(c)));
    if (name.empty()) continue;
    utterance_->AddWord(name, true);
    spelled = true;
  }
  if (spelled) utterance_->AddByte(kBoundarySpelled, false);
  return spelled;
}

bool CTextScanner::ParseTag(CTextSource& source, bool& endsSentence) {
  const std::size_t start = source.Position();
  const std::string_view text = source.Text();
  if (start > text.size()) return false;
  const std::string_view rest = text.substr(start);

  if (rest.starts_with("Rst")) {
    if (rest.size() < 4 || rest[3] != '\\') return false;
    buffer_ = ControlBytes(ControlCode::Reset, 1);
    source.SetPosition(start + 4);
    return true;
  }
  if (rest.size() < 4 || rest[3] != '=') return false;
  const std::string_view keyword = rest.substr(0, 4);
  const std::size_t closing = rest.find('\\', 4);
  if (closing == std::string_view::npos) return false;
  const std::string_view argument = rest.substr(4, closing - 4);
  const std::size_t consumed = closing + 1;

  for (const NumberTag& tag : kNumberTags) {
    if (keyword != tag.keyword) continue;
    if (argument.size() > 2) return false;
    buffer_ = ControlBytes(tag.code, TagNumber(argument) + 1);
    source.SetPosition(start + consumed);
    return true;
  }
  if (keyword == "Drv=" || keyword == "Pro=") {
    // One character exactly: an empty argument would make the tag swallow
    // the character after it.
    if (argument.size() != 1) return false;
    const auto c = static_cast<unsigned char>(argument[0]);
    if (keyword == "Drv=") {
      const int device = std::clamp(static_cast<int>(c) - '0', 0, 9);
      buffer_ = ControlBytes(ControlCode::Device, device + 1);
    } else {
      context_.settings.SetColloquialSpeech(c != '0');
    }
    source.SetPosition(start + consumed);
    return true;
  }
  if (keyword == "Alf=") {
    if (argument.empty() || argument.front() != '(' || argument.back() != ')') return false;
    buffer_ = AllophoneListBytes(argument.substr(1, argument.size() - 2));
    source.SetPosition(start + consumed);
    return true;
  }
  if (keyword == "Wav=") {
    if (argument.size() < 3 || argument.front() != '"' || argument.find('"', 1) != argument.size() - 1)
      return false;
    std::string name(argument.substr(1, std::min(argument.size() - 2, kMaxInsertName)));
    if (name.find('.') == std::string::npos) name += ".wav";
    if (FindAndLoadInsert(name, context_.settings.WorkDir(), utterance_->waveInsert, context_.messages) == 0)
      buffer_ = ControlBytes(ControlCode::WaveInsert, 1);
    endsSentence = true;
    source.SetPosition(start + consumed);
    return true;
  }
  return false;
}

std::string CTextScanner::AllophoneListBytes(std::string_view names) const {
  std::string indices;
  std::size_t at = 0;
  while (at < names.size() && indices.size() < kMaxListNames) {
    auto isNameByte = [](unsigned char c) { return cp1250::IsAlpha(c) || (c >= '0' && c <= '9') || c == '_'; };
    while (at < names.size() && !isNameByte(static_cast<unsigned char>(names[at]))) ++at;
    const std::size_t begin = at;
    while (at < names.size() && isNameByte(static_cast<unsigned char>(names[at]))) ++at;
    if (at == begin) break;
    int index = context_.db.FindByName(names.substr(begin, at - begin));
    // An index must fit the token's byte; a name the inventory lacks is read
    // as the default entry.
    if (index < 0 || index > 255) index = 110;
    indices += static_cast<char>(index);
  }
  if (indices.empty()) return {};
  std::string bytes = ControlBytes(ControlCode::AllophoneList, static_cast<int>(indices.size()));
  return bytes + indices;
}

}  // namespace vokar
