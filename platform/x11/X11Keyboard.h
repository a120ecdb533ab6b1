// The keyboard mapping of Qt's X11 connection, shared by the hot keys, the
// playback and the key lookups: keycodes of keysyms and back, the modifier
// that NumLock sets, and a notice when the mapping changes (another layout,
// xmodmap, a tool that maps a spare key).
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;
struct _XCBKeySymbols;

namespace vokar::x11 {

class X11Keyboard final : public QAbstractNativeEventFilter {
 public:
  // The keyboard of the current Qt connection, or null without X11. Made on
  // first use; made again when the program's connection changes.
  static X11Keyboard* Get();

  xcb_connection_t* connection() const { return connection_; }
  std::uint32_t root() const { return root_; }

  // Every keycode that carries the keysym at any level, in keycode order.
  std::vector<std::uint8_t> KeycodesOf(std::uint32_t keysym);
  std::uint32_t KeysymAt(std::uint8_t keycode, int column);

  // The modifier bit that NumLock sets (Mod2 on most machines), 0 when no
  // modifier carries Num_Lock.
  std::uint16_t numLockMask() const { return numLockMask_; }

  // Called after the mapping was read again. Listeners live as long as the
  // program's connection.
  void AddMappingListener(std::function<void()> listener);

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  explicit X11Keyboard(xcb_connection_t* connection);
  ~X11Keyboard() override;
  void ReadMapping();
  void ScheduleReread();

  xcb_connection_t* connection_;
  std::uint32_t root_ = 0;
  _XCBKeySymbols* symbols_ = nullptr;
  std::uint16_t numLockMask_ = 0;
  std::uint8_t xkbFirstEvent_ = 0;
  bool rereadScheduled_ = false;
  std::vector<std::function<void()>> listeners_;
};

}  // namespace vokar::x11
