// The echo engine of the talking keyboard: the key events the watcher posts
// become speech, at once (a key's name in echo mode, a finished word in
// whole-word reading) or from the 250 ms timer (retries, the delayed reading
// of an unfinished word, queued sounds). It owns the typing buffer, the
// key-name queue and the sound queue; its window gives it speech and the
// state of its controls (IKlavoHost).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "KeyNames.h"
#include "KlavoHost.h"
#include "SpokenItemQueue.h"
#include "TypingBuffer.h"

namespace vokar::keyboard {

// The key event's flags.
inline constexpr std::uint32_t kKeyCtrl = 2;
inline constexpr std::uint32_t kKeyAlt = 4;
inline constexpr std::uint32_t kKeyVirtual = 8;

// The special sounds.
inline constexpr const char* kDesyncTag = "\\Alf=(desync)\\";
inline constexpr const char* kOnTag = "\\Alf=(on1)\\";
inline constexpr const char* kOffTag = "\\Alf=(off1)\\";
inline constexpr const char* kEchoTag = "\\Alf=(on2)\\";
inline constexpr const char* kWholeWordsTag = "\\Alf=(off2)\\";

class CKlavoEngine {
 public:
  explicit CKlavoEngine(IKlavoHost& host);

  // Init of the typing buffer with the stored settings; false when it fails.
  bool Init(int delayTime, int ctrlBackMode, NumberSeparators separators);

  // WM_KEY_EVENT: the key in wParam's low byte, flags in lParam.
  void OnKeyEvent(std::uint64_t wParam, std::int64_t lParam);
  // While the program's own window is active no key is spoken.
  void SetOwnApplicationActive(bool active) { ownApplicationActive_ = active; }
  bool ownApplicationActive() const { return ownApplicationActive_; }

  // The 250 ms timer.
  void OnTimer();

  // Plays a special sound through the sound queue.
  void SayTag(const std::string& tag);

  // The buffer commands of buttons and hot keys.
  void ClearBuffer() { buffer_.Clear(); }
  // Clipboard text, or nothing when the clipboard holds none.
  void LoadBuffer(const std::optional<std::string>& clipboardText);
  void LastWord() { buffer_.LastWord(); }
  void LastSentence() { buffer_.LastSentence(); }

  TypingBuffer& buffer() { return buffer_; }
  const TypingBuffer& buffer() const { return buffer_; }
  SpokenItemQueue& keyQueue() { return keyQueue_; }
  SpokenItemQueue& soundQueue() { return soundQueue_; }
  const KeyNameTable& keyNames() const { return keyNames_; }

 private:
  void EchoKey(unsigned key, bool virtualKey, std::uint32_t flags);

  IKlavoHost& host_;
  KeyNameTable keyNames_;
  SpokenItemQueue keyQueue_;
  SpokenItemQueue soundQueue_;
  TypingBuffer buffer_;
  bool ownApplicationActive_ = true;
};

}  // namespace vokar::keyboard
