#include "Commands.h"

namespace vokar::app {

void CCommandMap::On(int id, Handler handler) { handlers_[id] = std::move(handler); }

void CCommandMap::On(std::initializer_list<int> ids, const Handler& handler) {
  for (const int id : ids) handlers_[id] = handler;
}

CCommandMap::Handler CCommandMap::Get(int id) const {
  const auto it = handlers_.find(id);
  return it == handlers_.end() ? Handler() : it->second;
}

bool CCommandMap::Dispatch(int id) const {
  const auto it = handlers_.find(id);
  if (it == handlers_.end() || !it->second) return false;
  // A copy, since the handler may replace itself while it runs.
  const Handler handler = it->second;
  handler();
  return true;
}

}  // namespace vokar::app
