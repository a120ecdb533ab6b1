#include "QtDesktopLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace vokar::desktop {

QtDesktopLoop::QtDesktopLoop(QObject* parent) : QObject(parent) { SetLoopIntegration(this); }

QtDesktopLoop::~QtDesktopLoop() { SetLoopIntegration(nullptr); }

// A notifier may be retired from inside its own activation (a message handler
// closes the connection it came on), so it is disabled now and deleted once
// control is back in the event loop.
void QtDesktopLoop::Retire(std::unique_ptr<QSocketNotifier> notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier.release()->deleteLater();
}

void QtDesktopLoop::Watch(int fd, Interest interest) {
  Notifiers& entry = notifiers_[fd];
  // A connection the bus stops reading for a while keeps its notifiers,
  // only disabled, since the bus may switch it back many times a second.
  const auto want = [this, fd](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type, bool on) {
    if (on && !notifier) {
      notifier = std::make_unique<QSocketNotifier>(fd, type);
      QObject::connect(notifier.get(), &QSocketNotifier::activated, this, [fd] { OnDescriptorReady(fd); });
    }
    if (notifier && notifier->isEnabled() != on) notifier->setEnabled(on);
  };
  want(entry.read, QSocketNotifier::Read, interest != Interest::Write);
  want(entry.write, QSocketNotifier::Write, interest != Interest::Read);
}

void QtDesktopLoop::Unwatch(int fd) {
  auto it = notifiers_.find(fd);
  if (it == notifiers_.end()) return;
  Retire(std::move(it->second.read));
  Retire(std::move(it->second.write));
  notifiers_.erase(it);
}

void QtDesktopLoop::RunOnce(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // The timer only has to end the wait; processEvents returns after it. Each
  // pass has its own, since a handler inside this pass may run a pass of its
  // own.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(static_cast<int>(std::min<long long>(left, 1'000'000)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace vokar::desktop
