// Any stream of key events from the bus (any wParam, any lParam), mixed with
// timer ticks, the buffer commands, clipboard text, refusals of the server and
// events that arrive inside a Speak, keeps the typing buffer inside its window
// and the queues inside their cap, and never reads outside the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "KlavoEngine.h"

namespace {

using namespace vokar::keyboard;

class FuzzHost final : public IKlavoHost {
 public:
  int Speak(const std::string& text, Interrupt) override {
    if (text.size() >= TypingBuffer::kScratchSize) std::abort();
    if (nested && depth == 0) {
      ++depth;
      nested();
      --depth;
    }
    return result;
  }
  void BreakSpeech() override {}
  bool EchoMode() const override { return echo; }
  bool SoundOn(Sound sound) const override { return (sounds >> static_cast<int>(sound)) & 1; }
  bool DelayedTalk() const override { return delayed; }
  void RefreshDisplay() override {}

  bool echo = false;
  bool delayed = true;
  unsigned sounds = 0x3F;
  int result = 0;
  int depth = 0;
  std::function<void()> nested;
};

void Check(const CKlavoEngine& engine) {
  const TypingBuffer& b = engine.buffer();
  if (b.base < 0 || b.length < b.base || b.length - b.base >= TypingBuffer::kBlockSize) std::abort();
  if (b.pendingEnd > b.length || b.pendingStart > b.length) std::abort();
  if (b.Tail().size() > 128) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzHost host;
  CKlavoEngine engine(host);
  if (!engine.Init(2, 1, NumberSeparators{',', '.', '/'})) return 0;
  engine.SetOwnApplicationActive(false);
  std::size_t at = 0;
  auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
  while (at < size) {
    const std::uint8_t op = next();
    switch (op % 12) {
      case 0: case 1: case 2: case 3: case 4: {
        // A key event as the bus delivers it: wParam's high bytes and
        // lParam's other bits are noise.
        const std::uint64_t wParam = (static_cast<std::uint64_t>(next()) << 40) | next();
        const std::int64_t lParam = static_cast<std::int64_t>(static_cast<std::int8_t>(next())) << 8 | next();
        engine.OnKeyEvent(wParam, lParam);
        break;
      }
      case 5: engine.OnTimer(); break;
      case 6: host.result = static_cast<int>(next() % 3) - 1; break;
      case 7: host.echo = !host.echo; host.sounds = next(); host.delayed = next() & 1; break;
      case 8: {
        std::string text(static_cast<std::size_t>(next()) * 24 + next(), 'x');
        for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(data[(at + i) % size]);
        engine.LoadBuffer(text);
        break;
      }
      case 9:
        switch (next() % 4) {
          case 0: engine.ClearBuffer(); break;
          case 1: engine.LastWord(); break;
          case 2: engine.LastSentence(); break;
          default: engine.buffer().StartAt(TypingBuffer::kMaxLength - (next() % 4)); break;
        }
        break;
      case 10: {
        // Events that arrive while the next Speak waits.
        const std::uint8_t key = next();
        const std::uint8_t flags = next();
        host.nested = [&engine, key, flags] {
          engine.OnKeyEvent(key, flags);
          engine.OnTimer();
        };
        break;
      }
      default:
        // A long run of one key: the window slides.
        for (int i = next(); i >= 0; --i) engine.OnKeyEvent(static_cast<std::uint64_t>('a' + i % 26), 0);
        break;
    }
    Check(engine);
    if (engine.keyQueue().size() > SpokenItemQueue::kMaxItems || engine.soundQueue().size() > SpokenItemQueue::kMaxItems)
      std::abort();
  }
  return 0;
}
