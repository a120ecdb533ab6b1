// The typing buffer of the talking keyboard: the recent text the user typed,
// in a fixed 4096-byte window that slides by 256 bytes, addressed by logical
// positions that only grow. It knows where words and sentences start (with
// the locale's number separators, so 3,5 and 12/05 stay one word), which
// finished words are still to be spoken, and reads them, the last word or the
// last sentence through its host.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "KlavoHost.h"

namespace vokar::keyboard {

// The locale's number punctuation (0: the locale has none).
struct NumberSeparators {
  unsigned char decimal = ',';
  unsigned char thousand = '.';
  unsigned char date = '/';
};

class TypingBuffer {
 public:
  static constexpr std::int32_t kBlockSize = 4096;
  // The window slides when length - base reaches this.
  static constexpr std::int32_t kSlideAt = 4094;
  static constexpr std::int32_t kSlideBy = 256;
  // Past this length the buffer starts again (with the clearing sound).
  static constexpr std::int32_t kMaxLength = 2147483631;
  static constexpr std::size_t kScratchSize = 16000;
  // Clipboard text: at most the last 2047 characters; a text of this many
  // characters or more is not loaded at all.
  static constexpr std::size_t kLoadKeep = 2047;
  static constexpr std::size_t kLoadRefuse = 4092;

  static constexpr const char* kSeparatorTag = " \\Alf=(space)\\ ";
  static constexpr const char* kCrTag = " \\Alf=(cr)\\ ";
  static constexpr const char* kClearTag = "\\Alf=(clear)\\";

  // sayTag plays a special sound (the window's sound queue).
  TypingBuffer(IKlavoHost& host, std::function<void(const std::string& tag)> sayTag);
  ~TypingBuffer();

  // Clears every field, takes the settings (DelayTime 1-10 seconds,
  // CtrlBckMode 0-2, clamped here as well) and makes the block. False when
  // the block cannot be had.
  bool Init(int delayTime, int ctrlBackMode, NumberSeparators separators);
  bool ready() const { return static_cast<bool>(text_); }

  // A typed character (code page 1250) with the key event's flags (2 Ctrl,
  // 4 Alt): stored, deleted back (Backspace) or passed over, and in
  // whole-word mode the finished words read.
  void AddChar(unsigned char c, std::uint32_t flags);

  void Reset(bool withSound);
  // Breaks the speech, empties the buffer with the clearing sound.
  void Clear();
  // Replaces the buffer with clipboard text (code page 1250; a line end may
  // be LF or CR LF); nothing is read by itself.
  void Load(const std::string& text);

  // The reading commands.
  void LastWord();
  void LastSentence();
  // The timer's work in whole-word mode, every 250 ms.
  void OnTick();

  // Reading operations (the commands and the tick use them).
  int SpeakRange(std::int32_t start, std::int32_t count, Interrupt interrupt, bool forceSeparators);
  void SpeakPending(Interrupt interrupt);
  // The result of Speak; 0 also when there was nothing to read.
  int SpeakLastWord(Interrupt interrupt, bool onlyIfOpen, bool forceSeparators);
  void SpeakLastSentence();

  // The character rules, on the window: a position below base, or not
  // (yet) in the window, reads as NUL.
  unsigned char CharAt(std::int32_t position) const;
  bool IsNumberSeparator(std::int32_t position) const;
  bool IsWordEnding(std::int32_t position) const;
  bool IsSentenceEnding(std::int32_t position) const;
  bool IsOpenAt(std::int32_t position) const;
  std::int32_t WordStart(std::int32_t position, bool skipBlanks) const;
  std::int32_t SentenceStart(std::int32_t position) const;
  std::int32_t WordLeft(std::int32_t position) const;

  // The last up to 128 characters of the window, control characters shown
  // as spaces: what the "Bufor:" display fits into its width.
  std::string Tail() const;
  // The whole window's text.
  std::string Text() const;

  // The fields, for the window and for tests.
  std::int32_t base = 0;
  std::int32_t length = 0;
  std::int32_t pendingStart = 0;
  std::int32_t pendingEnd = 0;
  std::int32_t lastTyped = 0;
  bool deleting = false;
  int ctrlBackMode = 0;
  int delayTime = 2;
  std::int32_t idleTicks = 0;
  // The unfinished word is due after the pause but the server has not taken
  // it yet: it is tried again at every tick until then, or until the user
  // types, deletes or loads the buffer.
  bool delayedWordWaiting = false;
  std::int32_t lastWordRequests = 0;
  std::int32_t lastSentenceRequests = 0;
  bool inSync = true;

  // Puts the logical positions where a long session would have them (for
  // tests of the limits): an empty window at position p.
  void StartAt(std::int32_t position);

 private:
  void DeleteBack(std::uint32_t flags);
  void SetLength(std::int32_t n);
  bool IsAlnum(std::int32_t position) const;

  IKlavoHost& host_;
  std::function<void(const std::string&)> sayTag_;
  std::unique_ptr<char[]> text_;
  NumberSeparators separators_;
};

}  // namespace vokar::keyboard
