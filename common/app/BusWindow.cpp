#include "BusWindow.h"

#include <QMetaObject>

namespace vokar::app {

std::unique_ptr<CBusWindow> CBusWindow::Create(std::string_view title, QObject* owner, std::string& error,
                                               desktop::WindowKind kind) {
  auto created = desktop::Window::Create(title, nullptr, kind);
  if (!created.window) {
    error = created.error;
    return nullptr;
  }
  std::unique_ptr<CBusWindow> window(new CBusWindow(std::move(created.window), owner));
  CBusWindow* self = window.get();
  self->window_->SetHandler([self](desktop::Message& message) { return self->Dispatch(message); });
  return window;
}

CBusWindow::CBusWindow(std::unique_ptr<desktop::Window> window, QObject* owner)
    : window_(std::move(window)), owner_(owner) {}

CBusWindow::~CBusWindow() {
  *alive_ = false;
  window_.reset();
}

desktop::WindowHandle CBusWindow::handle() const { return window_->handle(); }

void CBusWindow::OnMessage(std::uint32_t message, Handler handler) { handlers_[message] = std::move(handler); }

void CBusWindow::PostCommand(int id) {
  std::weak_ptr<bool> alive = alive_;
  QMetaObject::invokeMethod(
      owner_,
      [this, alive, id] {
        if (auto living = alive.lock(); living && *living) commands_.Dispatch(id);
      },
      Qt::QueuedConnection);
}

std::int64_t CBusWindow::Dispatch(desktop::Message& message) {
  if (message.message == desktop::WM_COMMAND && !handlers_.contains(desktop::WM_COMMAND)) {
    // The low word is the command; the high word says where it came from.
    PostCommand(static_cast<int>(message.wParam & 0xFFFF));
    return 0;
  }
  const auto it = handlers_.find(message.message);
  if (it == handlers_.end() || !it->second) return 0;
  const Handler handler = it->second;
  return handler(message);
}

}  // namespace vokar::app
