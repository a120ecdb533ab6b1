// The process-wide registration table: 30 slots, each one hot key of one
// window. A complete slot (live window, non-zero command and key) is
// registered with the system; when its combination is pressed, the window
// receives a HotKeyEvent carrying the slot's command. The server uses slots
// 0-2, the keyboard 10-15, the clock 20-22. All calls come from the UI thread.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <functional>

#include "HotKey.h"

namespace vokar::hotkey {

inline constexpr int kSlotCount = 30;

struct HotKeySlot {
  QPointer<QObject> window;
  int ctrl = 0;
  int shift = 0;
  int alt = 0;
  unsigned key = 0;
  int command = 0;

  bool complete() const { return !window.isNull() && command != 0 && key != 0; }
};

// Posted to a slot's window when its combination is pressed.
class HotKeyEvent final : public QEvent {
 public:
  explicit HotKeyEvent(int command) : QEvent(type()), command_(command) {}
  static QEvent::Type type();
  int command() const { return command_; }

 private:
  int command_;
};

// Runs handler(command) for every hot-key event the window receives, for
// windows that do not handle HotKeyEvent in their own event(). The handler
// lives as long as the window.
void OnHotKey(QObject* window, std::function<void(int command)> handler);

// Copies the definition's window, modifiers, key and command into the slot and
// registers a complete slot with the system. False for a slot outside 0-29,
// and when the system refuses the combination (another program holds it, or
// there is no X11 display); then the slot's modifiers and key are cleared.
bool PlaceHotKey(int slot, const HotKeyDef& def);

// Unregisters the slot and clears it; nothing for a slot outside 0-29.
void RemoveHotKey(int slot);

// Unregisters every complete slot, keeping its values / places every slot
// again from its own values. A key edit suspends them while it has the focus,
// so that pressing a hot key reaches the edit.
void SuspendAllHotKeys();
void ResumeAllHotKeys();

// The command of the first slot with this combination (key non-zero) whose
// window still lives; slots of windows that died on the way are removed.
// 0 when none.
int FindHotKey(int ctrl, int shift, int alt, unsigned key);

// The slot's values, for displays and tests; slot must be 0-29.
const HotKeySlot& HotKeySlotAt(int slot);

// True while the slot's combination is registered with the system.
bool IsHotKeyRegistered(int slot);

// True when the program can register hot keys at all (it runs on X11).
bool HotKeysAvailable();

}  // namespace vokar::hotkey
