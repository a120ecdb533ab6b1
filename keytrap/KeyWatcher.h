// The watcher's own connection to the X display: raw key presses of every
// program through the X input extension 2.2 (on the master keyboards, so each
// key press is seen once whichever device or tool made it), the keyboard's
// layout and state through the keyboard extension, kept up to date as the
// display reports changes (another layout, a changed key map, Shift, CapsLock,
// AltGr). Each press is translated at once and handed to the sink; nothing is
// kept. The program's loop calls OnReadable when fd() can be read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "KeyTranslator.h"

struct xcb_connection_t;
struct xkb_context;

namespace vokar::keytrap {

class KeyWatcher {
 public:
  using Sink = std::function<void(const KeyReport& report)>;

  // Connects to the display of DISPLAY; nothing (and the reason in error)
  // when there is none or it lacks the input or keyboard extension.
  static std::unique_ptr<KeyWatcher> Open(Sink sink, std::string& error);
  ~KeyWatcher();
  KeyWatcher(const KeyWatcher&) = delete;
  KeyWatcher& operator=(const KeyWatcher&) = delete;

  int fd() const;

  // Asks the display for the key presses, or tells it to send none.
  void SetReporting(bool on);
  bool reporting() const { return reporting_; }

  // True when the display is the X server of a Wayland session, which sees
  // only the keys typed into its own X programs.
  bool XProgramsOnly() const { return xProgramsOnly_; }

  // Handles everything the display has sent.
  void OnReadable();

  // True once the connection is lost (the display ended): nothing more comes.
  bool Broken() const;

 private:
  KeyWatcher(xcb_connection_t* connection, Sink sink);
  bool Setup(std::string& error);
  bool LoadKeymap();
  void SelectRawKeys(bool on);
  void HandleEvent(void* event);

  xcb_connection_t* connection_;
  Sink sink_;
  xkb_context* context_ = nullptr;
  std::unique_ptr<KeyTranslator> translator_;
  std::uint32_t root_ = 0;
  std::int32_t keyboardDevice_ = -1;
  std::uint8_t xkbFirstEvent_ = 0;
  std::uint8_t inputOpcode_ = 0;
  bool reporting_ = false;
  bool xProgramsOnly_ = false;
};

}  // namespace vokar::keytrap
