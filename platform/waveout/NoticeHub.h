// Carries the done notices of the wave-output devices to the owner's thread.
// A device thread posts a notice; the owner's loop watches Fd() (an eventfd
// that becomes readable) and runs the callbacks with Deliver, so a callback
// never runs on a device thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace vokar::waveout {

class NoticeHub {
 public:
  using Callback = std::shared_ptr<const std::function<void()>>;

  // Throws std::system_error when the eventfd cannot be made.
  NoticeHub();
  ~NoticeHub();
  NoticeHub(const NoticeHub&) = delete;
  NoticeHub& operator=(const NoticeHub&) = delete;

  // Readable while notices may be pending.
  int Fd() const { return fd_; }

  // A number that tells one device's notices apart from the others'.
  std::uint64_t NewSource();

  // Any thread: queues one call of `callback` on behalf of `source`.
  void Post(std::uint64_t source, Callback callback);

  // Any thread: drops the queued notices of `source` (after a reset, or when
  // the device closes), so they never run.
  void Cancel(std::uint64_t source);

  // Owner's thread: runs the queued callbacks in the order they were posted.
  // A callback may open, reset or close devices and may call Deliver again.
  void Deliver();

  // Blocks until a notice is queued or `timeoutMs` passes (-1: no limit).
  void Wait(int timeoutMs);

  bool Pending();

 private:
  struct Notice {
    std::uint64_t source;
    Callback callback;
  };

  int fd_ = -1;
  std::mutex mutex_;
  std::deque<Notice> queue_;
  std::uint64_t nextSource_ = 1;
};

}  // namespace vokar::waveout
