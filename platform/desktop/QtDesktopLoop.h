// Carries the desktop bus inside Qt's event loop: socket notifiers report the
// bus's descriptors, and a program that waits with its messages flowing runs
// Qt's loop, so timers and widgets stay alive meanwhile. Create one after the
// QCoreApplication and before the first window; destroying it hands the bus
// back to its own poll loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <map>
#include <memory>

#include "LoopIntegration.h"

namespace vokar::desktop {

class QtDesktopLoop final : public QObject, public LoopIntegration {
 public:
  explicit QtDesktopLoop(QObject* parent = nullptr);
  ~QtDesktopLoop() override;

  void Watch(int fd, Interest interest) override;
  void Unwatch(int fd) override;
  void RunOnce(Clock::time_point deadline) override;

 private:
  struct Notifiers {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
  };
  static void Retire(std::unique_ptr<QSocketNotifier> notifier);

  std::map<int, Notifiers> notifiers_;
};

}  // namespace vokar::desktop
