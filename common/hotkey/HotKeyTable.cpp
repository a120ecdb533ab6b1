#include "HotKeyTable.h"

#include <QCoreApplication>
#include <array>

#include "GlobalHotKeys.h"

namespace vokar::hotkey {
namespace {

struct Entry {
  HotKeySlot values;
  // The window the system registration was made for: the system lets a
  // window's hot keys go when the window is destroyed.
  const QObject* registeredFor = nullptr;
};

std::array<Entry, kSlotCount>& Table() {
  static std::array<Entry, kSlotCount> table;
  return table;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kSlotCount; }

void Unregister(int slot) {
  Entry& entry = Table()[slot];
  if (entry.registeredFor == nullptr) return;
  x11::GlobalHotKeys::Instance().Unregister(slot);
  entry.registeredFor = nullptr;
}

void Deliver(int slot) {
  if (!ValidSlot(slot)) return;
  const HotKeySlot& values = Table()[slot].values;
  if (values.window.isNull()) {
    RemoveHotKey(slot);
    return;
  }
  QCoreApplication::postEvent(values.window.data(), new HotKeyEvent(values.command));
}

// Registers a complete slot; false when the system refuses.
bool Register(int slot) {
  Entry& entry = Table()[slot];
  auto& system = x11::GlobalHotKeys::Instance();
  static bool handlerSet = false;
  if (!handlerSet) {
    system.SetHandler(&Deliver);
    handlerSet = true;
  }
  const HotKeySlot& values = entry.values;
  if (!system.Register(slot, {values.ctrl != 0, values.shift != 0, values.alt != 0, values.key})) return false;
  QObject* window = values.window.data();
  entry.registeredFor = window;
  QObject::connect(window, &QObject::destroyed, [slot, window] {
    if (Table()[slot].registeredFor == window) Unregister(slot);
  });
  return true;
}

class HotKeyFilter final : public QObject {
 public:
  HotKeyFilter(QObject* window, std::function<void(int)> handler) : QObject(window), handler_(std::move(handler)) {
    window->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != HotKeyEvent::type()) return false;
    handler_(static_cast<HotKeyEvent*>(event)->command());
    return true;
  }

 private:
  std::function<void(int)> handler_;
};

}  // namespace

void OnHotKey(QObject* window, std::function<void(int command)> handler) {
  new HotKeyFilter(window, std::move(handler));
}

QEvent::Type HotKeyEvent::type() {
  static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
  return registered;
}

namespace {

// Registers the values in the slot; a combination that cannot be registered
// is cleared there (window and command stay).
bool PlaceValues(int slot, const HotKeySlot& wanted) {
  Unregister(slot);  // a slot holds one registration at a time
  HotKeySlot& values = Table()[slot].values;
  values = wanted;
  if (!values.complete()) return true;
  if (Register(slot)) return true;
  values.ctrl = values.shift = values.alt = 0;
  values.key = 0;
  return false;
}

}  // namespace

bool PlaceHotKey(int slot, const HotKeyDef& def) {
  if (!ValidSlot(slot)) return false;
  return PlaceValues(slot, HotKeySlot{def.window, def.ctrl, def.shift, def.alt, def.key, def.command});
}

void RemoveHotKey(int slot) {
  if (!ValidSlot(slot)) return;
  Unregister(slot);
  Table()[slot].values = HotKeySlot{};
}

void SuspendAllHotKeys() {
  for (int slot = 0; slot < kSlotCount; ++slot) Unregister(slot);
}

void ResumeAllHotKeys() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const HotKeySlot values = Table()[slot].values;  // a copy: placing writes the slot
    PlaceValues(slot, values);
  }
}

int FindHotKey(int ctrl, int shift, int alt, unsigned key) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const HotKeySlot& values = Table()[slot].values;
    if (values.key == 0 || values.ctrl != ctrl || values.shift != shift || values.alt != alt || values.key != key) {
      continue;
    }
    if (!values.window.isNull()) return values.command;
    RemoveHotKey(slot);
  }
  return 0;
}

const HotKeySlot& HotKeySlotAt(int slot) { return Table()[slot].values; }

bool IsHotKeyRegistered(int slot) { return ValidSlot(slot) && Table()[slot].registeredFor != nullptr; }

bool HotKeysAvailable() { return x11::GlobalHotKeys::Instance().Available(); }

}  // namespace vokar::hotkey
