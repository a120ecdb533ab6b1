// A program's window as other programs reach it over the desktop bus: found by
// its title (the program's name, whatever caption the Qt window shows), with a
// handler per message number, and WM_COMMAND messages dispatched by command
// identifier. Commands, whether another program posts them or the program
// posts them to itself, run from Qt's event queue, never inside the bus's own
// dispatch, so a command may run a long job that keeps the loop turning.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "Commands.h"
#include "Desktop.h"

namespace vokar::app {

class CBusWindow {
 public:
  using Handler = std::function<std::int64_t(desktop::Message& message)>;

  // Creates the endpoint; nothing (and the reason in error) when the desktop
  // folder cannot be used. Commands are queued on the owner's Qt event queue.
  static std::unique_ptr<CBusWindow> Create(std::string_view title, QObject* owner, std::string& error,
                                            desktop::WindowKind kind = desktop::WindowKind::TopLevel);
  ~CBusWindow();

  desktop::WindowHandle handle() const;

  // The handler of one message number; replaces the one it had. Messages
  // without a handler get 0.
  void OnMessage(std::uint32_t message, Handler handler);

  CCommandMap& commands() { return commands_; }

  // Queues the command to run from the event loop, as a WM_COMMAND posted to
  // the window would.
  void PostCommand(int id);

 private:
  CBusWindow(std::unique_ptr<desktop::Window> window, QObject* owner);
  std::int64_t Dispatch(desktop::Message& message);

  std::unique_ptr<desktop::Window> window_;
  QObject* owner_;
  std::map<std::uint32_t, Handler> handlers_;
  CCommandMap commands_;
  // Cleared when the window goes, so that commands still queued do nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vokar::app
