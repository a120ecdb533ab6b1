#include "NoticeHub.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vokar::waveout {

NoticeHub::NoticeHub() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd for wave-output notices");
}

NoticeHub::~NoticeHub() { ::close(fd_); }

std::uint64_t NoticeHub::NewSource() {
  std::lock_guard lock(mutex_);
  return nextSource_++;
}

void NoticeHub::Post(std::uint64_t source, Callback callback) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({source, std::move(callback)});
  }
  const std::uint64_t one = 1;
  // The counter cannot overflow in practice; a failed write still leaves the
  // notice queued for the next Deliver.
  [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void NoticeHub::Cancel(std::uint64_t source) {
  std::lock_guard lock(mutex_);
  std::erase_if(queue_, [source](const Notice& notice) { return notice.source == source; });
}

void NoticeHub::Deliver() {
  // Clear the signal first: a notice posted from now on signals again, so
  // none is left waiting without the fd being readable.
  std::uint64_t count = 0;
  [[maybe_unused]] const auto read = ::read(fd_, &count, sizeof count);
  for (;;) {
    Callback callback;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      callback = std::move(queue_.front().callback);
      queue_.pop_front();
    }
    // One at a time and outside the lock: the callback may close the device
    // that sent a later notice, which then cancels it.
    if (callback && *callback) (*callback)();
  }
}

void NoticeHub::Wait(int timeoutMs) {
  if (Pending()) return;
  pollfd pfd{fd_, POLLIN, 0};
  while (::poll(&pfd, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

bool NoticeHub::Pending() {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

}  // namespace vokar::waveout
