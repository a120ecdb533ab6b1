// Reading the whole text of the active application: keys played into the
// window with the focus select all of its text and copy it (Ctrl+Home,
// Ctrl+Shift+End, Ctrl+Insert, Ctrl+Home), and when the copy has reached the
// clipboard the owner is told, so that it reads the new text and never the
// clipboard as it was before. An application that already owns the
// clipboard loses it to us for the moment (what it holds is kept), so that
// its copy is seen even where it would not set a new owner by itself.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <span>

#include "ClipboardWatch.h"
#include "KeyPlayback.h"

namespace vokar::hotkey {

class ActiveAppCapture final : public QObject {
 public:
  // finished(copied) runs once per started capture: copied is true when the
  // clipboard got a new owner after the keys were played (a change still on
  // its way from before does not count), false when nothing arrived within
  // the wait.
  explicit ActiveAppCapture(std::function<void(bool copied)> finished, QObject* parent = nullptr);
  ~ActiveAppCapture() override;

  // The 21 keys: the modifiers the user still holds from the hot key go up,
  // then Ctrl+Home, Ctrl+Shift+End, Ctrl+Insert, Ctrl+Home.
  static std::span<const x11::PlaybackKey> Script();

  // How long the copy may take to reach the clipboard (the application copies
  // when it gets round to the keys).
  static constexpr int kCopyWaitMs = 1000;

  // Starts a capture; a capture still waiting is dropped first. 1 when the
  // keys were played; 0 when keys cannot be played here (no X11 or no XTest
  // extension), after the message "JournalPlayback nie zainstalował się."
  int Start();

  // Drops a capture that is still waiting; finished is not called for it.
  void Cancel();

  bool active() const { return active_; }

 private:
  void Finish(bool copied);

  std::function<void(bool)> finished_;
  QTimer wait_;
  x11::ClipboardWatch clipboard_;
  bool active_ = false;
};

}  // namespace vokar::hotkey
