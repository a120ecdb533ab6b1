// Command dispatch by identifier, as menus, buttons, hot keys and other
// programs' WM_COMMAND messages reach a window: one handler per identifier,
// which a later part of the program may wrap or replace.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>

namespace vokar::app {

class CCommandMap {
 public:
  using Handler = std::function<void()>;

  // Sets the handler of a command, replacing the one it had.
  void On(int id, Handler handler);
  // The same handler for several commands (a button and its menu item or
  // hot key).
  void On(std::initializer_list<int> ids, const Handler& handler);
  // The handler a command has now (empty when none), so that a new one can
  // call it on.
  Handler Get(int id) const;
  bool Has(int id) const { return handlers_.contains(id); }

  // Runs the command's handler; false when it has none.
  bool Dispatch(int id) const;

 private:
  std::map<int, Handler> handlers_;
};

}  // namespace vokar::app
