#include "X11Session.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "VirtualKeys.h"
#include "X11Keyboard.h"

// X11's headers define macros (None, Bool, Status) that Qt's headers would
// trip over: they come last.
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace vokar::x11 {
namespace {

QNativeInterface::QX11Application* X11Application() {
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (application == nullptr) return nullptr;
  return application->nativeInterface<QNativeInterface::QX11Application>();
}

// XKB's event numbers that say the keymap changed.
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;

}  // namespace

xcb_connection_t* Connection() {
  auto* x11 = X11Application();
  return x11 != nullptr ? x11->connection() : nullptr;
}

Display* XlibDisplay() {
  auto* x11 = X11Application();
  return x11 != nullptr ? x11->display() : nullptr;
}

std::uint32_t RootWindowId() {
  X11Keyboard* keyboard = X11Keyboard::Get();
  return keyboard != nullptr ? keyboard->root() : 0;
}

std::uint32_t UnshiftedKeysym(std::uint8_t keycode) {
  X11Keyboard* keyboard = X11Keyboard::Get();
  return keyboard != nullptr ? keyboard->KeysymAt(keycode, 0) : 0;
}

unsigned VirtualKeyOfNativeKey(std::uint32_t keycode, std::uint32_t producedKeysym) {
  if (keycode == 0 || keycode > 255 || Connection() == nullptr) return 0;
  return VirtualKeyOfKeyEvent(producedKeysym, UnshiftedKeysym(static_cast<std::uint8_t>(keycode)));
}

X11Keyboard* X11Keyboard::Get() {
  // One keyboard per connection. A test program may end its application and
  // make another; the old keyboard is then dropped with its connection's
  // listeners (its memory is kept, since Qt may still hold the filter).
  static X11Keyboard* current = nullptr;
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) return nullptr;
  if (current == nullptr || current->connection_ != connection) {
    current = new X11Keyboard(connection);
    QCoreApplication::instance()->installNativeEventFilter(current);
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { current = nullptr; });
  }
  return current;
}

X11Keyboard::X11Keyboard(xcb_connection_t* connection) : connection_(connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  if (screens.rem > 0) root_ = screens.data->root;
  static const char kXkb[] = "XKEYBOARD";
  std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> xkb(
      xcb_query_extension_reply(connection_, xcb_query_extension(connection_, sizeof kXkb - 1, kXkb), nullptr),
      &std::free);
  if (xkb && xkb->present) xkbFirstEvent_ = xkb->first_event;
  ReadMapping();
}

X11Keyboard::~X11Keyboard() {
  if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
}

void X11Keyboard::ReadMapping() {
  if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
  symbols_ = xcb_key_symbols_alloc(connection_);
  numLockMask_ = 0;
  const std::vector<std::uint8_t> numLockKeys = KeycodesOf(XK_Num_Lock);
  std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
      xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr), &std::free);
  if (!mapping) return;
  const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const int perModifier = mapping->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8 && numLockMask_ == 0; ++modifier) {
    for (int i = 0; i < perModifier; ++i) {
      const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
      for (std::uint8_t numLock : numLockKeys) {
        if (keycode != 0 && keycode == numLock) numLockMask_ = static_cast<std::uint16_t>(1u << modifier);
      }
    }
  }
}

std::vector<std::uint8_t> X11Keyboard::KeycodesOf(std::uint32_t keysym) {
  std::vector<std::uint8_t> result;
  if (symbols_ == nullptr) return result;
  xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols_, keysym);
  if (keycodes == nullptr) return result;
  for (xcb_keycode_t* code = keycodes; *code != XCB_NO_SYMBOL; ++code) result.push_back(*code);
  std::free(keycodes);
  return result;
}

std::uint32_t X11Keyboard::KeysymAt(std::uint8_t keycode, int column) {
  if (symbols_ == nullptr) return 0;
  return xcb_key_symbols_get_keysym(symbols_, keycode, column);
}

void X11Keyboard::AddMappingListener(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

void X11Keyboard::ScheduleReread() {
  // A change of layout comes as a burst of notices; read the mapping once
  // after the burst, outside Qt's event dispatch.
  if (rereadScheduled_) return;
  rereadScheduled_ = true;
  QTimer::singleShot(50, QCoreApplication::instance(), [this] {
    rereadScheduled_ = false;
    ReadMapping();
    for (const auto& listener : listeners_) listener();
  });
}

bool X11Keyboard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || message == nullptr) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == XCB_MAPPING_NOTIFY) {
    ScheduleReread();
  } else if (xkbFirstEvent_ != 0 && type == xkbFirstEvent_) {
    // Every XKB event shares one code; its second byte says which it is.
    const std::uint8_t xkbType = event->pad0;
    if (xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify) ScheduleReread();
  }
  return false;  // Qt reads the same notices for its own keyboard
}

}  // namespace vokar::x11
