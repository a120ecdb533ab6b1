// The desktop message bus as programs use it: top-level windows that other
// processes find by title, synchronous sends that wait for a result, posts,
// and the program's message loop. One UI thread per program calls all of it.
// Every window is an endpoint (a Unix-domain socket) in the desktop folder.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopFolder.h"
#include "DesktopTypes.h"

namespace vokar::desktop {

// Called for every message a window receives, sent or posted. The return
// value is the result a synchronous sender gets; a handler may also fill
// message.reply for it.
using MessageHandler = std::function<std::int64_t(Message& message)>;

enum class WindowKind {
  TopLevel,     // found by title and listed to other programs
  MessageOnly,  // reachable only through its handle (a DDE conversation's window)
};

// A window of this process. Destroying it removes its endpoint; messages still
// queued for it are dropped and senders waiting on it get WindowGone.
class Window {
 public:
  struct Created;

  // Fails (with a description) when the desktop folder cannot be used or the
  // socket cannot be made.
  static Created Create(std::string_view title, MessageHandler handler, WindowKind kind = WindowKind::TopLevel);

  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  WindowHandle handle() const { return handle_; }
  std::string title() const;

  // Other programs see the new title from the next search on.
  bool SetTitle(std::string_view title);

  // Replaces the handler; the window keeps its handle and its queue.
  void SetHandler(MessageHandler handler);

 private:
  explicit Window(WindowHandle handle) : handle_(handle) {}
  WindowHandle handle_;
};

struct Window::Created {
  std::unique_ptr<Window> window;
  std::string error;
};

// A live top-level window whose title is exactly these bytes, or 0.
WindowHandle FindWindow(std::string_view title);

// Every live top-level window on the desktop, this program's included.
std::vector<WindowInfo> EnumerateWindows();

// True while the window's owner keeps it.
bool IsWindow(WindowHandle window);

// The id of the process that owns the window, as this process sees it (a
// program in another PID namespace has another id there); 0 when there is no
// such window. Together with Message::senderProcess it tells whether a
// message that names a window in wParam really comes from that window's
// program.
std::uint32_t WindowProcess(WindowHandle window);

// The credentials of the process that owns the window, as the system reports
// them on this process's connection to the window (its own for a window of
// this process); nothing when there is no such window. A message comes from
// the window's owner when SameProcess(message.sender, *WindowOwner(window)).
std::optional<PeerCredentials> WindowOwner(WindowHandle window);

// This process's own credentials, as others see them.
PeerCredentials OwnCredentials();

// Delivers the message and waits for its result. While it waits, messages
// that other programs send to this program's windows are handled, so two
// programs that send to each other at once both finish; posted messages wait
// in the queue. A window of this program is called directly. A send made
// while another waits never waits longer than that one: the outermost
// timeout bounds them all.
SendResult SendMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                       std::string_view payload = {}, milliseconds timeout = kDefaultSendTimeout);

// Queues the message for the window and returns at once. False when the
// window does not exist, its queue is full (its program takes no new
// connections) or the message is too large; a message posted to a window
// that dies before handling it is lost, as on any desktop.
bool PostMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                 std::string_view payload = {});

// Every send of this program that waits now gives up at once (with Timeout)
// as soon as control is back in it. For a program that has been told to end
// (a watch of scope AlsoWhileSending on its signal descriptor calls this) and
// must not wait for the windows it is sending to.
void CancelWaitingSends();

// Runs the program's message loop once: waits at most maxWait for something
// to arrive, then handles everything that has arrived (sent and posted
// messages, watched descriptors). Inside a Qt program this is one pass of
// Qt's event loop. Returns the number of messages handled.
int PumpMessages(milliseconds maxWait);

// Runs the message loop until done() holds or the timeout passes; returns
// done() at the end.
bool RunUntil(const std::function<bool()>& done, milliseconds timeout);

// Calls onGone once, from the message loop, when the window goes away (its
// program ended or it was destroyed). A window already gone is reported from
// the next pass of the loop. Returns an id for CancelWatch.
int WatchWindow(WindowHandle window, std::function<void()> onGone);
void CancelWatch(int watchId);

// Calls onReadable from the message loop whenever the descriptor can be read
// (a device's notice descriptor, a signal descriptor). Returns an id for
// CancelDescriptor. With AlsoWhileSending the callback also runs while a send
// waits for its result, as a sent message would: for the signal that ends
// the program, which must be heard even while another program keeps a send
// waiting.
enum class WatchScope { Loop, AlsoWhileSending };
int WatchDescriptor(int fd, std::function<void()> onReadable);
int WatchDescriptor(int fd, std::function<void()> onReadable, WatchScope scope);
void CancelDescriptor(int watchId);

}  // namespace vokar::desktop
