#include "GlobalHotKeys.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>

#include "VirtualKeys.h"
#include "X11Keyboard.h"
#include "X11Session.h"

#include <xcb/xcb.h>

namespace vokar::x11 {

GlobalHotKeys& GlobalHotKeys::Instance() {
  // Lives to the end of the process: Qt keeps a pointer to the filter.
  static auto* instance = new GlobalHotKeys;
  return *instance;
}

bool GlobalHotKeys::Available() const { return Connection() != nullptr; }

bool GlobalHotKeys::Attach() {
  X11Keyboard* keyboard = X11Keyboard::Get();
  if (keyboard == nullptr) return false;
  if (attachedTo_ != keyboard->connection()) {
    // A new connection (a new application object): grabs of the old one died
    // with it.
    registrations_.clear();
    attachedTo_ = keyboard->connection();
    QCoreApplication::instance()->installNativeEventFilter(this);
    keyboard->AddMappingListener([this] { RegrabAfterMappingChange(); });
  }
  return true;
}

std::vector<GlobalHotKeys::Grab> GlobalHotKeys::GrabsOf(const KeyCombination& combination) {
  X11Keyboard* keyboard = X11Keyboard::Get();
  std::vector<Grab> grabs;
  if (keyboard == nullptr) return grabs;
  std::uint16_t base = 0;
  if (combination.ctrl) base |= XCB_MOD_MASK_CONTROL;
  if (combination.shift) base |= XCB_MOD_MASK_SHIFT;
  if (combination.alt) base |= XCB_MOD_MASK_1;
  const std::uint16_t numLock = keyboard->numLockMask();
  for (const KeysymOfKey& keysym : KeysymsOfVirtualKey(combination.virtualKey)) {
    std::vector<std::uint16_t> numLockVariants;
    if (numLock == 0) {
      numLockVariants = {0};  // nothing tells the states apart
    } else if (keysym.numLock == NumLockState::On) {
      numLockVariants = {numLock};
    } else if (keysym.numLock == NumLockState::Off) {
      numLockVariants = {0};
    } else {
      numLockVariants = {0, numLock};
    }
    for (std::uint8_t keycode : keyboard->KeycodesOf(keysym.keysym)) {
      for (std::uint16_t numLockBit : numLockVariants) {
        for (std::uint16_t capsLock : {std::uint16_t{0}, std::uint16_t{XCB_MOD_MASK_LOCK}}) {
          const Grab grab{keycode, static_cast<std::uint16_t>(base | numLockBit | capsLock)};
          if (std::find(grabs.begin(), grabs.end(), grab) == grabs.end()) grabs.push_back(grab);
        }
      }
    }
  }
  return grabs;
}

bool GlobalHotKeys::GrabAll(const std::vector<Grab>& grabs) {
  X11Keyboard* keyboard = X11Keyboard::Get();
  if (keyboard == nullptr) return false;
  xcb_connection_t* connection = keyboard->connection();
  std::vector<xcb_void_cookie_t> cookies;
  cookies.reserve(grabs.size());
  // The events go to the root window even when a window of this program has
  // the focus (owner_events off), as a hot key must.
  for (const Grab& grab : grabs) {
    cookies.push_back(xcb_grab_key_checked(connection, 0, keyboard->root(), grab.modifiers, grab.keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  }
  bool refused = false;
  for (const xcb_void_cookie_t& cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
      refused = true;  // BadAccess: another client holds it
      std::free(error);
    }
  }
  if (refused) UngrabAll(grabs);
  return !refused;
}

void GlobalHotKeys::UngrabAll(const std::vector<Grab>& grabs) {
  X11Keyboard* keyboard = X11Keyboard::Get();
  if (keyboard == nullptr) return;
  // Ungrabbing a combination this client does not hold does nothing, so a
  // partly failed grab is undone whole.
  for (const Grab& grab : grabs) xcb_ungrab_key(keyboard->connection(), grab.keycode, keyboard->root(), grab.modifiers);
  xcb_flush(keyboard->connection());
}

bool GlobalHotKeys::Register(int id, const KeyCombination& combination) {
  if (!Attach()) return false;
  Unregister(id);
  if (combination.virtualKey == 0 || KeysymsOfVirtualKey(combination.virtualKey).empty()) return false;
  for (const auto& [otherId, other] : registrations_) {
    if (other.combination == combination) return false;
  }
  std::vector<Grab> grabs = GrabsOf(combination);
  if (!GrabAll(grabs)) return false;
  registrations_[id] = Registration{combination, std::move(grabs)};
  return true;
}

void GlobalHotKeys::Unregister(int id) {
  auto found = registrations_.find(id);
  if (found == registrations_.end()) return;
  if (Available() && attachedTo_ == Connection()) UngrabAll(found->second.grabs);
  registrations_.erase(found);
}

void GlobalHotKeys::RegrabAfterMappingChange() {
  // Release every old grab first: a key may have moved to a keycode that
  // another of our combinations used before.
  for (auto& [id, registration] : registrations_) UngrabAll(registration.grabs);
  for (auto& [id, registration] : registrations_) {
    registration.grabs = GrabsOf(registration.combination);
    // A combination that another program took meanwhile stays registered
    // without grabs; it works again after the next change that frees it.
    if (!GrabAll(registration.grabs)) registration.grabs.clear();
  }
}

bool GlobalHotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || message == nullptr || registrations_.empty()) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7f;
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
  const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
  X11Keyboard* keyboard = X11Keyboard::Get();
  if (keyboard == nullptr || key->event != keyboard->root()) return false;
  const std::uint16_t modifiers = key->state & 0xff;  // without the pointer buttons
  for (const auto& [id, registration] : registrations_) {
    for (const Grab& grab : registration.grabs) {
      if (grab.keycode != key->detail) continue;
      if (type == XCB_KEY_RELEASE) return true;  // the end of our own press
      if (grab.modifiers != modifiers) continue;
      // The grab holds the whole keyboard until the key is released. Let it
      // go at once, so that keys the program now sends (the copy of the
      // active application's text) reach the window with the focus.
      xcb_ungrab_keyboard(keyboard->connection(), key->time);
      xcb_flush(keyboard->connection());
      if (handler_) handler_(id);
      return true;
    }
  }
  return false;
}

}  // namespace vokar::x11
