#include "Desktop.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "Bus.h"

namespace vokar::desktop {

using detail::Bus;

Window::Created Window::Create(std::string_view title, MessageHandler handler, WindowKind kind) {
  auto made = Bus::Get().CreateEndpoint(title, std::move(handler), kind);
  Created created;
  if (!made.handle) {
    created.error = std::move(made.error);
    return created;
  }
  created.window.reset(new Window(made.handle));
  return created;
}

Window::~Window() { Bus::Get().DestroyEndpoint(handle_); }

std::string Window::title() const { return Bus::Get().TitleOf(handle_).value_or(std::string()); }

bool Window::SetTitle(std::string_view title) { return Bus::Get().SetTitle(handle_, title); }

void Window::SetHandler(MessageHandler handler) { Bus::Get().SetHandler(handle_, std::move(handler)); }

WindowHandle FindWindow(std::string_view title) {
  const auto folder = Bus::Get().UsableFolder();
  if (!folder) return {};
  const auto found = ScanWindows(*folder, title, ScanMode::FirstMatch);
  return found.empty() ? WindowHandle{} : found.front().window;
}

std::vector<WindowInfo> EnumerateWindows() {
  const auto folder = Bus::Get().UsableFolder();
  if (!folder) return {};
  return ScanWindows(*folder, std::nullopt, ScanMode::All);
}

bool IsWindow(WindowHandle window) { return Bus::Get().IsWindow(window); }

std::uint32_t WindowProcess(WindowHandle window) { return Bus::Get().WindowProcess(window); }

std::optional<PeerCredentials> WindowOwner(WindowHandle window) { return Bus::Get().WindowOwner(window); }

PeerCredentials OwnCredentials() {
  // Read once: the process keeps them for its life.
  static const PeerCredentials own = [] {
    PeerCredentials credentials;
    credentials.known = true;
    credentials.process = static_cast<std::uint32_t>(::getpid());
    credentials.user = static_cast<std::uint32_t>(::geteuid());
    credentials.group = static_cast<std::uint32_t>(::getegid());
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, ::getpid(), 0));
    if (pidfd >= 0) {
      credentials.identity = detail::PidfdIdentity(pidfd);
      ::close(pidfd);
    }
    return credentials;
  }();
  return own;
}

bool SameProcess(const PeerCredentials& a, const PeerCredentials& b) {
  if (!a.known || !b.known || a.user != b.user || a.group != b.group) return false;
  if (a.identity != 0 && b.identity != 0) return a.identity == b.identity;
  if (a.process != 0 && b.process != 0) return a.process == b.process;
  // Out of sight both: nothing more can be proved of them.
  return a.process == 0 && b.process == 0;
}

void CancelWaitingSends() { Bus::Get().CancelWaitingSends(); }

SendResult SendMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                       std::string_view payload, milliseconds timeout) {
  Message m;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.payload = std::string(payload);
  return Bus::Get().Send(window, std::move(m), timeout);
}

bool PostMessage(WindowHandle window, std::uint32_t message, std::uint64_t wParam, std::int64_t lParam,
                 std::string_view payload) {
  Message m;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.payload = std::string(payload);
  return Bus::Get().Post(window, std::move(m));
}

int PumpMessages(milliseconds maxWait) { return Bus::Get().Pump(maxWait); }

bool RunUntil(const std::function<bool()>& done, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    const auto now = Clock::now();
    if (now >= deadline) return done();
    PumpMessages(std::chrono::ceil<milliseconds>(deadline - now));
  }
  return true;
}

int WatchWindow(WindowHandle window, std::function<void()> onGone) {
  return Bus::Get().WatchWindow(window, std::move(onGone));
}

void CancelWatch(int watchId) { Bus::Get().CancelWatch(watchId); }

int WatchDescriptor(int fd, std::function<void()> onReadable) {
  return Bus::Get().WatchDescriptor(fd, std::move(onReadable), WatchScope::Loop);
}

int WatchDescriptor(int fd, std::function<void()> onReadable, WatchScope scope) {
  return Bus::Get().WatchDescriptor(fd, std::move(onReadable), scope);
}

void CancelDescriptor(int watchId) { Bus::Get().CancelDescriptor(watchId); }

void SetLoopIntegration(LoopIntegration* integration) { Bus::Get().SetIntegration(integration); }

void OnDescriptorReady(int fd) { Bus::Get().DescriptorReady(fd); }

}  // namespace vokar::desktop
