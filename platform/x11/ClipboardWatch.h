// Learns when the clipboard gets a new owner through something this program
// caused: the X server numbers a program's requests, and every notice it
// sends carries the number of the program's last request it had handled. A
// notice numbered before the keys were played is an older change that was
// still on its way, never the copy the keys asked for.
#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

namespace vokar::x11 {

// The number the X server will give this program's next request (on Qt's
// connection); 0 without X11.
std::uint32_t NextRequestNumber();

// True when the clipboard's owner is a window of the X client that has the
// keyboard focus. Such an application may copy again without setting a new
// owner (Tk keeps the clipboard it owns and only changes what it holds), so
// that a copy of its text would bring no notice.
bool FocusedClientOwnsClipboard();

// Makes this program the clipboard's owner, offering every format the
// clipboard holds now, read from its owner first: the user's clipboard stays
// as it was, and the next copy of any application sets a new owner, which is
// noticed. False when there is no X11 or the X server kept the old owner.
bool TakeClipboardKeepingContent();

class ClipboardWatch final : public QAbstractNativeEventFilter {
 public:
  ClipboardWatch() = default;
  ~ClipboardWatch() override;
  ClipboardWatch(const ClipboardWatch&) = delete;
  ClipboardWatch& operator=(const ClipboardWatch&) = delete;

  // Calls changed once when the clipboard gets an owner after the server
  // handled request firstRequest. It is called from Qt's event dispatch
  // before Qt has read the notice itself: it should post, not read the
  // clipboard. False without X11 or without the XFIXES extension that
  // reports owners.
  bool Start(std::uint32_t firstRequest, std::function<void()> changed);
  void Stop();
  bool watching() const { return watching_; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  std::function<void()> changed_;
  std::uint16_t firstSequence_ = 0;
  std::uint8_t xfixesEvent_ = 0;
  std::uint32_t clipboardAtom_ = 0;
  bool installed_ = false;
  bool watching_ = false;
};

}  // namespace vokar::x11
