#include "QtAvahiPoll.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/time.h>

#include <algorithm>
#include <memory>

// The library names these types and leaves them to the loop that makes them.
struct AvahiWatch {
  int fd = -1;
  AvahiWatchEvent wanted = static_cast<AvahiWatchEvent>(0);
  AvahiWatchEvent happened = static_cast<AvahiWatchEvent>(0);
  AvahiWatchCallback callback = nullptr;
  void* userdata = nullptr;
  QSocketNotifier* read = nullptr;
  QSocketNotifier* write = nullptr;
};

struct AvahiTimeout {
  QTimer* timer = nullptr;
  AvahiTimeoutCallback callback = nullptr;
  void* userdata = nullptr;
};

namespace vokar::dnssd {
namespace {

// The library may free a watch or a timeout from inside its own callback, so
// Qt objects are only disabled then and deleted from the event loop.
void Retire(QObject* object) {
  if (object != nullptr) object->deleteLater();
}

void Fire(AvahiWatch* watch, AvahiWatchEvent event) {
  watch->happened = event;
  watch->callback(watch, watch->fd, event, watch->userdata);
}

void Arm(AvahiWatch* watch) {
  const bool wantRead = (watch->wanted & (AVAHI_WATCH_IN | AVAHI_WATCH_ERR | AVAHI_WATCH_HUP)) != 0;
  const bool wantWrite = (watch->wanted & AVAHI_WATCH_OUT) != 0;
  if (wantRead && watch->read == nullptr) {
    watch->read = new QSocketNotifier(watch->fd, QSocketNotifier::Read);
    QObject::connect(watch->read, &QSocketNotifier::activated, watch->read, [watch] { Fire(watch, AVAHI_WATCH_IN); });
  }
  if (wantWrite && watch->write == nullptr) {
    watch->write = new QSocketNotifier(watch->fd, QSocketNotifier::Write);
    QObject::connect(watch->write, &QSocketNotifier::activated, watch->write,
                     [watch] { Fire(watch, AVAHI_WATCH_OUT); });
  }
  if (watch->read != nullptr) watch->read->setEnabled(wantRead);
  if (watch->write != nullptr) watch->write->setEnabled(wantWrite);
}

AvahiWatch* WatchNew(const AvahiPoll*, int fd, AvahiWatchEvent event, AvahiWatchCallback callback, void* userdata) {
  auto* watch = new AvahiWatch;
  watch->fd = fd;
  watch->wanted = event;
  watch->callback = callback;
  watch->userdata = userdata;
  Arm(watch);
  return watch;
}

void WatchUpdate(AvahiWatch* watch, AvahiWatchEvent event) {
  watch->wanted = event;
  Arm(watch);
}

AvahiWatchEvent WatchGetEvents(AvahiWatch* watch) { return watch->happened; }

void WatchFree(AvahiWatch* watch) {
  for (QSocketNotifier* notifier : {watch->read, watch->write}) {
    if (notifier == nullptr) continue;
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    Retire(notifier);
  }
  delete watch;
}

void Schedule(AvahiTimeout* timeout, const struct timeval* tv) {
  if (tv == nullptr) {
    timeout->timer->stop();
    return;
  }
  struct timeval now {};
  gettimeofday(&now, nullptr);
  const long long ms = (static_cast<long long>(tv->tv_sec) - now.tv_sec) * 1000 +
                       (static_cast<long long>(tv->tv_usec) - now.tv_usec) / 1000;
  timeout->timer->start(static_cast<int>(std::clamp<long long>(ms, 0, 24LL * 3600 * 1000)));
}

AvahiTimeout* TimeoutNew(const AvahiPoll*, const struct timeval* tv, AvahiTimeoutCallback callback, void* userdata) {
  auto* timeout = new AvahiTimeout;
  timeout->callback = callback;
  timeout->userdata = userdata;
  timeout->timer = new QTimer;
  timeout->timer->setSingleShot(true);
  QObject::connect(timeout->timer, &QTimer::timeout, timeout->timer,
                   [timeout] { timeout->callback(timeout, timeout->userdata); });
  Schedule(timeout, tv);
  return timeout;
}

void TimeoutUpdate(AvahiTimeout* timeout, const struct timeval* tv) { Schedule(timeout, tv); }

void TimeoutFree(AvahiTimeout* timeout) {
  timeout->timer->stop();
  QObject::disconnect(timeout->timer, nullptr, nullptr, nullptr);
  Retire(timeout->timer);
  delete timeout;
}

}  // namespace

const AvahiPoll* QtAvahiPoll() {
  static const AvahiPoll poll{nullptr,     WatchNew,   WatchUpdate, WatchGetEvents,
                              WatchFree,   TimeoutNew, TimeoutUpdate, TimeoutFree};
  return &poll;
}

}  // namespace vokar::dnssd
