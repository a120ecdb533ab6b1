// System-wide hot keys on X11: a key combination grabbed on the root window,
// so that it reaches this program whichever window has the focus. Each is
// grabbed with and without CapsLock and NumLock, so it works whatever the
// lock state. A combination another program holds is refused, and so is
// every combination where the program has no X11 display (Wayland, offscreen).
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace vokar::x11 {

struct KeyCombination {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  unsigned virtualKey = 0;

  friend bool operator==(const KeyCombination&, const KeyCombination&) = default;
};

class GlobalHotKeys final : public QAbstractNativeEventFilter {
 public:
  // The hot keys of this process's X11 connection.
  static GlobalHotKeys& Instance();

  // True when the program runs on an X11 display.
  bool Available() const;

  // Grabs the combination under the number id (a number already in use is
  // released first). False when refused: no X11, a virtual key without a
  // keysym, a combination another program holds, or one this program already
  // holds under another number. A key that the current keyboard mapping does
  // not have (F13-F24 on most keyboards) is accepted and grabbed when a
  // mapping brings it.
  bool Register(int id, const KeyCombination& combination);

  // Releases the combination of id; nothing for an unknown id.
  void Unregister(int id);

  bool IsRegistered(int id) const { return registrations_.count(id) != 0; }

  // Called with the id when its combination is pressed (from the program's
  // event dispatch; the handler should post rather than run long work).
  void SetHandler(std::function<void(int id)> handler) { handler_ = std::move(handler); }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  struct Grab {
    std::uint8_t keycode;
    std::uint16_t modifiers;
    friend bool operator==(const Grab&, const Grab&) = default;
  };
  struct Registration {
    KeyCombination combination;
    std::vector<Grab> grabs;
  };

  GlobalHotKeys() = default;
  bool Attach();
  std::vector<Grab> GrabsOf(const KeyCombination& combination);
  bool GrabAll(const std::vector<Grab>& grabs);
  void UngrabAll(const std::vector<Grab>& grabs);
  void RegrabAfterMappingChange();

  void* attachedTo_ = nullptr;  // the connection the filter and listener are on
  std::map<int, Registration> registrations_;
  std::function<void(int)> handler_;
};

}  // namespace vokar::x11
