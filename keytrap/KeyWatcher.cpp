#include "KeyWatcher.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>
// The keyboard extension's header names a field "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>

namespace vokar::keytrap {
namespace {

// The keyboard extension sends all its events under one event number; the
// kind is in the second byte.
struct XkbEventHead {
  std::uint8_t responseType;
  std::uint8_t xkbType;
  std::uint16_t sequence;
  xcb_timestamp_t time;
  std::uint8_t deviceId;
};

bool HasExtension(xcb_connection_t* connection, const char* name) {
  auto cookie = xcb_query_extension(connection, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_query_extension_reply_t* reply = xcb_query_extension_reply(connection, cookie, nullptr);
  const bool present = reply != nullptr && reply->present != 0;
  std::free(reply);
  return present;
}

}  // namespace

KeyWatcher::KeyWatcher(xcb_connection_t* connection, Sink sink) : connection_(connection), sink_(std::move(sink)) {}

KeyWatcher::~KeyWatcher() {
  translator_.reset();
  xkb_context_unref(context_);
  xcb_disconnect(connection_);
}

std::unique_ptr<KeyWatcher> KeyWatcher::Open(Sink sink, std::string& error) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    error = "no X display (DISPLAY is not set)";
    return nullptr;
  }
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    error = std::string("cannot connect to the X display ") + display;
    return nullptr;
  }
  std::unique_ptr<KeyWatcher> watcher(new KeyWatcher(connection, std::move(sink)));
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screen && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) {
    error = "the X display has no screen";
    return nullptr;
  }
  watcher->root_ = screens.data->root;
  if (!watcher->Setup(error)) return nullptr;
  return watcher;
}

bool KeyWatcher::Setup(std::string& error) {
  const xcb_query_extension_reply_t* input = xcb_get_extension_data(connection_, &xcb_input_id);
  if (input == nullptr || input->present == 0) {
    error = "the X display lacks the input extension";
    return false;
  }
  inputOpcode_ = input->major_opcode;
  // 2.2, since 2.0 loses key events while another client holds a grab.
  auto versionCookie = xcb_input_xi_query_version(connection_, 2, 2);
  xcb_input_xi_query_version_reply_t* version = xcb_input_xi_query_version_reply(connection_, versionCookie, nullptr);
  const bool recent = version != nullptr && (version->major_version > 2 ||
                                             (version->major_version == 2 && version->minor_version >= 2));
  std::free(version);
  if (!recent) {
    error = "the X display's input extension is older than 2.2";
    return false;
  }

  if (!xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                   XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbFirstEvent_,
                                   nullptr)) {
    error = "the X display lacks the keyboard extension";
    return false;
  }
  keyboardDevice_ = xkb_x11_get_core_keyboard_device_id(connection_);
  if (keyboardDevice_ < 0) {
    error = "the X display has no core keyboard";
    return false;
  }
  context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context_ == nullptr) {
    error = "the keyboard library cannot start";
    return false;
  }
  translator_ = std::make_unique<KeyTranslator>(context_);

  // The layout and the state: told again whenever they change.
  constexpr std::uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                    XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
  constexpr std::uint16_t kMapParts =
      XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
      XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
      XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
  constexpr std::uint16_t kStateParts =
      XCB_XKB_STATE_PART_MODIFIER_BASE | XCB_XKB_STATE_PART_MODIFIER_LATCH | XCB_XKB_STATE_PART_MODIFIER_LOCK |
      XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
  xcb_xkb_select_events_details_t details{};
  details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
  details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
  details.affectState = kStateParts;
  details.stateDetails = kStateParts;
  xcb_generic_error_t* failure = xcb_request_check(
      connection_, xcb_xkb_select_events_aux_checked(connection_, static_cast<xcb_xkb_device_spec_t>(keyboardDevice_),
                                                     kEvents, 0, 0, kMapParts, kMapParts, &details));
  if (failure != nullptr) {
    std::free(failure);
    error = "the X display refused the keyboard notices";
    return false;
  }
  if (!LoadKeymap()) {
    error = "the keyboard layout of the X display cannot be read";
    return false;
  }
  xProgramsOnly_ = HasExtension(connection_, "XWAYLAND") ||
                   (std::getenv("WAYLAND_DISPLAY") != nullptr && *std::getenv("WAYLAND_DISPLAY") != '\0');
  xcb_flush(connection_);
  return true;
}

bool KeyWatcher::LoadKeymap() {
  xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context_, connection_, keyboardDevice_,
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) return false;
  xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_, keyboardDevice_);
  if (state == nullptr) {
    xkb_keymap_unref(keymap);
    return false;
  }
  translator_->SetKeymap(keymap, state);
  return true;
}

int KeyWatcher::fd() const { return xcb_get_file_descriptor(connection_); }

bool KeyWatcher::Broken() const { return xcb_connection_has_error(connection_) != 0; }

void KeyWatcher::SelectRawKeys(bool on) {
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t mask;
  } mask{};
  mask.head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
  mask.head.mask_len = 1;
  mask.mask = on ? XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS : 0;
  xcb_input_xi_select_events(connection_, root_, 1, &mask.head);
  xcb_flush(connection_);
}

void KeyWatcher::SetReporting(bool on) {
  if (on == reporting_) return;
  reporting_ = on;
  SelectRawKeys(on);
  // A dead key pressed before the watcher was switched off does not join a
  // key pressed after it was switched on.
  translator_->ResetCompose();
}

void KeyWatcher::OnReadable() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    HandleEvent(event);
    std::free(event);
  }
}

void KeyWatcher::HandleEvent(void* raw) {
  auto* event = static_cast<xcb_generic_event_t*>(raw);
  const std::uint8_t type = event->response_type & 0x7F;
  if (type == XCB_GE_GENERIC) {
    auto* generic = static_cast<xcb_ge_generic_event_t*>(raw);
    if (generic->extension != inputOpcode_ || generic->event_type != XCB_INPUT_RAW_KEY_PRESS) return;
    // Presses still queued when the program switched the watcher off are
    // dropped with the rest.
    if (!reporting_) return;
    auto* press = static_cast<xcb_input_raw_key_press_event_t*>(raw);
    if (const auto report = translator_->Press(press->detail)) sink_(*report);
    return;
  }
  if (type != xkbFirstEvent_) return;
  const auto* head = static_cast<const XkbEventHead*>(raw);
  if (head->deviceId != static_cast<std::uint8_t>(keyboardDevice_)) return;
  switch (head->xkbType) {
    case XCB_XKB_STATE_NOTIFY: {
      auto* state = static_cast<xcb_xkb_state_notify_event_t*>(raw);
      translator_->UpdateMask(state->baseMods, state->latchedMods, state->lockedMods, state->baseGroup,
                              state->latchedGroup, state->lockedGroup);
      break;
    }
    case XCB_XKB_NEW_KEYBOARD_NOTIFY: {
      auto* notice = static_cast<xcb_xkb_new_keyboard_notify_event_t*>(raw);
      if ((notice->changed & XCB_XKB_NKN_DETAIL_KEYCODES) != 0) LoadKeymap();
      break;
    }
    case XCB_XKB_MAP_NOTIFY:
      LoadKeymap();
      break;
    default:
      break;
  }
}

}  // namespace vokar::keytrap
