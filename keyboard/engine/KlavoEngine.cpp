#include "KlavoEngine.h"

namespace vokar::keyboard {
namespace {

// Page Up, Page Down, End, Home, the arrows, and Delete: keys that move the
// caret or change the text where the buffer cannot follow.
bool MovesTheCaret(unsigned key) { return (key >= 33 && key <= 40) || key == 46; }

}  // namespace

CKlavoEngine::CKlavoEngine(IKlavoHost& host)
    : host_(host), buffer_(host, [this](const std::string& tag) { SayTag(tag); }) {}

bool CKlavoEngine::Init(int delayTime, int ctrlBackMode, NumberSeparators separators) {
  return buffer_.Init(delayTime, ctrlBackMode, separators);
}

void CKlavoEngine::OnKeyEvent(std::uint64_t wParam, std::int64_t lParam) {
  const unsigned key = static_cast<unsigned>(wParam & 0xFF);
  const auto flags = static_cast<std::uint32_t>(lParam);
  const bool virtualKey = (flags & kKeyVirtual) != 0;
  if (key == 0) return;
  if (ownApplicationActive_) return;
  if (!buffer_.ready()) return;
  if (host_.EchoMode()) {
    EchoKey(key, virtualKey, flags);
    return;
  }
  if (virtualKey) {
    // The first caret movement after a reset tells the user that the buffer
    // may no longer match the text.
    if (MovesTheCaret(key) && host_.SoundOn(Sound::Desynchro) && buffer_.inSync) {
      buffer_.inSync = false;
      SayTag(kDesyncTag);
    }
    return;
  }
  buffer_.AddChar(static_cast<unsigned char>(key), flags);
}

void CKlavoEngine::EchoKey(unsigned key, bool virtualKey, std::uint32_t flags) {
  int type = 0;
  if (virtualKey) {
    // Shift, Ctrl and Alt pressed alone say nothing.
    type = (key == 16 || key == 17 || key == 18) ? 0 : static_cast<int>(key);
  } else {
    const auto c = static_cast<unsigned char>(key);
    type = KeyTypeOfCharacter(c, host_.SoundOn(Sound::Separator), host_.SoundOn(Sound::CR));
    // The buffer follows the typing in echo mode too; it reads nothing.
    buffer_.AddChar(c, flags);
  }
  if (type != 0) {
    keyQueue_.AddKey(type, keyNames_);
    keyQueue_.Flush(host_);
  }
}

void CKlavoEngine::OnTimer() {
  soundQueue_.Flush(host_);
  if (!host_.EchoMode()) {
    buffer_.OnTick();
  } else if (!keyQueue_.empty()) {
    keyQueue_.Flush(host_);
  }
}

void CKlavoEngine::SayTag(const std::string& tag) {
  soundQueue_.Add(tag);
  soundQueue_.Flush(host_);
}

void CKlavoEngine::LoadBuffer(const std::optional<std::string>& clipboardText) {
  if (!clipboardText) return;
  buffer_.Load(*clipboardText);
}

}  // namespace vokar::keyboard
