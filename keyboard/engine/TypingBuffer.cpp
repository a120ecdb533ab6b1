#include "TypingBuffer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "Cp1250.h"

namespace vokar::keyboard {
namespace {

constexpr unsigned char kBackspace = 8;
constexpr unsigned char kTab = 9;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCr = 13;
constexpr std::uint32_t kFlagCtrl = 2;
constexpr std::uint32_t kFlagAlt = 4;

bool IsControl(unsigned char c) { return c >= 1 && c <= 31; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

TypingBuffer::TypingBuffer(IKlavoHost& host, std::function<void(const std::string& tag)> sayTag)
    : host_(host), sayTag_(std::move(sayTag)) {}

TypingBuffer::~TypingBuffer() = default;

bool TypingBuffer::Init(int delay, int ctrlBack, NumberSeparators separators) {
  base = length = pendingStart = pendingEnd = lastTyped = 0;
  deleting = false;
  idleTicks = lastWordRequests = lastSentenceRequests = 0;
  delayedWordWaiting = false;
  inSync = true;
  delayTime = std::clamp(delay, 1, 10);
  ctrlBackMode = std::clamp(ctrlBack, 0, 2);
  separators_ = separators;
  text_.reset(new (std::nothrow) char[kBlockSize]);
  if (!text_) return false;
  std::memset(text_.get(), 0, kBlockSize);
  return true;
}

void TypingBuffer::StartAt(std::int32_t position) {
  base = length = pendingStart = pendingEnd = lastTyped = position;
  if (text_) text_[0] = '\0';
}

unsigned char TypingBuffer::CharAt(std::int32_t position) const {
  if (!text_ || position < base || position >= length || position - base >= kBlockSize) return 0;
  return static_cast<unsigned char>(text_[position - base]);
}

bool TypingBuffer::IsAlnum(std::int32_t position) const {
  const unsigned char c = CharAt(position);
  return IsDigit(c) || cp1250::IsAlpha(c);
}

bool TypingBuffer::IsNumberSeparator(std::int32_t position) const {
  const unsigned char c = CharAt(position);
  if (c == 0 || (c != separators_.decimal && c != separators_.thousand && c != separators_.date)) return false;
  return IsDigit(CharAt(position - 1));
}

bool TypingBuffer::IsWordEnding(std::int32_t position) const {
  return !IsAlnum(position) && !IsNumberSeparator(position);
}

bool TypingBuffer::IsSentenceEnding(std::int32_t position) const {
  const unsigned char c = CharAt(position);
  const bool ending = c == 0 || c == '!' || c == '.' || c == '?' || c == kCr;
  return ending && !IsNumberSeparator(position);
}

bool TypingBuffer::IsOpenAt(std::int32_t position) const {
  const unsigned char c = CharAt(position - 1);
  return (!IsControl(c) && c != ' ') || IsNumberSeparator(position - 1);
}

std::int32_t TypingBuffer::WordStart(std::int32_t position, bool skipBlanks) const {
  if (position <= base) return base;
  std::int32_t i = position - 1;
  if (skipBlanks) {
    while (i >= base && (CharAt(i) == ' ' || IsControl(CharAt(i)))) --i;
    if (i < base) return base;
  }
  // A punctuation mark standing last is the last word by itself.
  if (!IsAlnum(i)) return i;
  while (i >= base && !IsWordEnding(i)) --i;
  return std::max(i + 1, base);
}

std::int32_t TypingBuffer::SentenceStart(std::int32_t position) const {
  if (position <= base) return base;
  std::int32_t i = position - 1;
  if (i <= base) return i;
  while (i > base && !IsAlnum(i)) --i;
  while (i > base) {
    if (IsSentenceEnding(i - 1)) return i;
    --i;
  }
  return i;
}

std::int32_t TypingBuffer::WordLeft(std::int32_t position) const {
  // Classes: space 0, letter or digit 1, tab or CR 3, anything else 2.
  auto classAt = [this](std::int32_t p) {
    const unsigned char c = CharAt(p);
    if (c == ' ') return 0;
    if (IsAlnum(p)) return 1;
    if (c == kTab || c == kCr) return 3;
    return 2;
  };
  if (position <= base) return base;
  std::int32_t i = position - 1;
  while (i >= base && classAt(i) == 0) --i;
  if (i < base) return base;
  if (classAt(i) == 3) return i;
  const int run = classAt(i);
  while (i >= base && classAt(i) == run) --i;
  if (i < base) return base;
  while (i >= base && classAt(i) == 0) --i;
  if (i < base) return base;
  return i + 1;
}

void TypingBuffer::SetLength(std::int32_t n) {
  n = std::max(n, 0);
  if (n < base) base = n;
  length = n;
  text_[length - base] = '\0';
}

void TypingBuffer::AddChar(unsigned char c, std::uint32_t flags) {
  if (!text_) return;
  if (IsControl(c) && c != kBackspace && c != kTab && c != kLineFeed && c != kCr) return;
  // Alt with a key is a command of the program that has the focus; AltGr
  // (Ctrl and Alt) types Polish letters.
  if ((flags & (kFlagCtrl | kFlagAlt)) == kFlagAlt) return;
  if (c == kBackspace) {
    DeleteBack(flags);
    host_.RefreshDisplay();
    return;
  }
  if (length > kMaxLength) Reset(true);
  if (length - base >= kSlideAt) {
    std::memmove(text_.get(), text_.get() + kSlideBy, kBlockSize - kSlideBy);
    base += kSlideBy;
  }
  if (c != kLineFeed) {
    text_[length - base] = static_cast<char>(c);
    ++length;
    text_[length - base] = '\0';
  }
  lastTyped = length;
  idleTicks = 0;
  delayedWordWaiting = false;
  if (IsWordEnding(length - 1)) {
    pendingStart = WordStart(pendingStart + 1, false);
    pendingEnd = length;
    // A punctuation mark ends a word without reading it: the blank after it
    // reads the word with the mark.
    if (!host_.EchoMode() && !IsOpenAt(length)) SpeakPending(Interrupt::No);
  }
  host_.RefreshDisplay();
}

void TypingBuffer::DeleteBack(std::uint32_t flags) {
  if (length < 1 || (flags & kFlagAlt) != 0) return;
  deleting = true;
  // No delayed reading follows a deletion.
  idleTicks = 4 * delayTime + 1;
  delayedWordWaiting = false;
  std::int32_t n = 0;
  if ((flags & kFlagCtrl) != 0) {
    n = ctrlBackMode == 1 ? WordLeft(length) : length;
  } else {
    // CR LF pairs come only from loaded clipboard text; they go together.
    n = length - 1;
    if (length >= 2 && CharAt(length - 1) == kLineFeed && CharAt(length - 2) == kCr) n = length - 2;
  }
  SetLength(n);
  n = length;
  if (n < pendingEnd) pendingEnd = n;
  if (n < pendingStart) pendingStart = pendingEnd = WordStart(n, true);
  if (!host_.EchoMode()) SpeakLastWord(Interrupt::Yes, false, true);
  deleting = false;
}

int TypingBuffer::SpeakRange(std::int32_t start, std::int32_t count, Interrupt interrupt, bool forceSeparators) {
  if (!text_) return -1;
  // Both ends are kept inside the window: words that fell behind it while
  // the server could not be reached are lost, not read from outside it.
  const std::int64_t wantedEnd = static_cast<std::int64_t>(start) + count;
  const std::int32_t first = std::max(start, base);
  const std::int32_t end = static_cast<std::int32_t>(
      std::min<std::int64_t>({wantedEnd, length, static_cast<std::int64_t>(base) + kBlockSize - 1}));
  // Nothing to say is said at once.
  if (end <= first) return 0;
  const std::string_view range(text_.get() + (first - base), static_cast<std::size_t>(end - first));

  std::string scratch;
  try {
    scratch.reserve(kScratchSize);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  const bool crMode = (host_.SoundOn(Sound::CR) || forceSeparators) && range.find('\r') != std::string_view::npos;
  const bool separatorMode = (host_.SoundOn(Sound::Separator) || forceSeparators) &&
                             range.find_first_of(" \t") != std::string_view::npos;
  if (!crMode && !separatorMode) {
    scratch.assign(range.substr(0, kScratchSize - 1));
  } else {
    for (const char c : range) {
      std::string_view piece(&c, 1);
      if (separatorMode && (c == ' ' || c == '\t')) piece = kSeparatorTag;
      if (crMode && c == '\r') piece = kCrTag;
      if (scratch.size() + piece.size() + 1 > kScratchSize) break;
      scratch += piece;
    }
  }
  return host_.Speak(scratch, interrupt);
}

void TypingBuffer::SpeakPending(Interrupt interrupt) {
  const std::int32_t end = pendingEnd;
  if (end <= pendingStart) return;
  const int result = SpeakRange(pendingStart, end - pendingStart, interrupt, false);
  // Keys typed while the server was asked may have moved the end back.
  if (result == 0) pendingStart = std::min(end, pendingEnd);
}

int TypingBuffer::SpeakLastWord(Interrupt interrupt, bool onlyIfOpen, bool forceSeparators) {
  const std::int32_t n = length;
  if (onlyIfOpen && !IsOpenAt(n)) return 0;
  const std::int32_t start = WordStart(n, true);
  const int result = SpeakRange(start, n - start, interrupt, forceSeparators);
  if (result == 0) {
    lastTyped = n;
    lastWordRequests = std::max(lastWordRequests - 1, 0);
  }
  return result;
}

void TypingBuffer::LastWord() {
  ++lastWordRequests;
  SpeakLastWord(Interrupt::No, false, false);
}

void TypingBuffer::SpeakLastSentence() {
  const std::int32_t n = length;
  const std::int32_t start = SentenceStart(n);
  if (SpeakRange(start, n - start, Interrupt::Yes, false) == 0) {
    lastSentenceRequests = std::max(lastSentenceRequests - 1, 0);
  }
}

void TypingBuffer::LastSentence() {
  ++lastSentenceRequests;
  SpeakLastSentence();
}

void TypingBuffer::Reset(bool withSound) {
  if (text_) text_[0] = '\0';
  base = length = pendingStart = pendingEnd = lastTyped = 0;
  lastWordRequests = lastSentenceRequests = 0;
  inSync = true;
  if (withSound && host_.SoundOn(Sound::ClearBuffer)) sayTag_(kClearTag);
}

void TypingBuffer::Clear() {
  host_.BreakSpeech();
  Reset(true);
  host_.RefreshDisplay();
}

void TypingBuffer::Load(const std::string& clipboard) {
  if (!text_) return;
  // The text as the original clipboard gave it: up to its first NUL, lines
  // ending in CR LF.
  std::string text;
  const std::string_view plain(clipboard.data(), std::min(clipboard.size(), clipboard.find('\0')));
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] == '\n' && (i == 0 || plain[i - 1] != '\r')) text += '\r';
    text += plain[i];
  }
  const std::size_t whole = text.size();
  if (whole + 1 >= kLoadKeep + 1) text.erase(0, whole - kLoadKeep);
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  Reset(false);
  if (whole < kLoadRefuse) {
    std::memcpy(text_.get(), text.data(), text.size());
    length = static_cast<std::int32_t>(text.size());
    text_[length] = '\0';
  }
  pendingStart = pendingEnd = lastTyped = length;
  // Nothing of the loaded text is read by itself, not even as an unfinished
  // word after a pause.
  idleTicks = 4 * delayTime + 1;
  delayedWordWaiting = false;
  host_.RefreshDisplay();
}

void TypingBuffer::OnTick() {
  if (!text_) return;
  if ((!deleting && length < lastTyped) || lastWordRequests > 0) {
    SpeakLastWord(Interrupt::No, false, true);
  } else if (lastSentenceRequests > 0) {
    SpeakLastSentence();
  } else {
    if (idleTicks < INT32_MAX) ++idleTicks;
    // The unfinished word is read once per pause; a refusal (the server was
    // reading) is tried again at the next tick, as every spoken item is.
    if (idleTicks == delayTime * 1000 / 250) delayedWordWaiting = true;
    if (delayedWordWaiting) {
      delayedWordWaiting = host_.DelayedTalk() && SpeakLastWord(Interrupt::No, true, false) != 0;
    }
  }
  SpeakPending(Interrupt::No);
}

std::string TypingBuffer::Tail() const {
  std::string tail;
  for (std::int32_t p = std::max(base, length - 128); p < length; ++p) {
    const unsigned char c = CharAt(p);
    tail += static_cast<char>(IsControl(c) ? ' ' : c);
  }
  return tail;
}

std::string TypingBuffer::Text() const {
  if (!text_) return {};
  return std::string(text_.get(), static_cast<std::size_t>(length - base));
}

}  // namespace vokar::keyboard
