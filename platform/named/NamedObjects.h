// Named objects shared by the processes of one desktop session, in the
// runtime folder: the single-instance semaphore ("VokarInstance"), which lives
// exactly as long as the process that created it, and the manual-reset event
// ("Server_VOKAR_Started") that one process waits on and another sets.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "ValueOrError.h"

namespace vokar::named {

struct Error {
  std::string description;  // names the object or folder and the system's reason
};

template <class T>
using Result = ValueOrError<T, Error>;

// The per-user runtime folder shared with the desktop bus: VOKAR_DESKTOP_DIR
// when set, else $XDG_RUNTIME_DIR/vokar, else /tmp/vokar-<uid>. It is created
// with mode 0700; a folder that belongs to another user or is a symbolic link
// is refused, since other users could then see or fake our objects.
Result<std::filesystem::path> RuntimeDir();

// The file name a named object uses: letters, digits, '_' and '-' stay, every
// other byte becomes %XX, so that any name is one safe file name.
std::string EncodeName(std::string_view name);

enum class Origin { Created, AlreadyExisted };

// The single-instance semaphore. Creating it either makes it (this process
// now holds it until the object is destroyed or the process ends, however it
// ends) or finds that it already exists; in the latter case the object holds
// nothing and may be dropped at once.
class NamedSemaphore {
 public:
  static Result<NamedSemaphore> Create(std::string_view name);

  NamedSemaphore(NamedSemaphore&& other) noexcept;
  NamedSemaphore& operator=(NamedSemaphore&& other) noexcept;
  NamedSemaphore(const NamedSemaphore&) = delete;
  NamedSemaphore& operator=(const NamedSemaphore&) = delete;
  ~NamedSemaphore();

  Origin origin() const { return origin_; }
  bool AlreadyExisted() const { return origin_ == Origin::AlreadyExisted; }

 private:
  NamedSemaphore(int fd, Origin origin) : fd_(fd), origin_(origin) {}
  int fd_ = -1;
  Origin origin_ = Origin::Created;
};

enum class InitialState { NotSignaled, Signaled };
enum class WaitResult { Signaled, TimedOut, Failed };

inline constexpr std::chrono::milliseconds kWaitForever = std::chrono::milliseconds::max();

// A manual-reset event. It exists while at least one process holds it open;
// when the last holder ends, it is gone, and the next creator starts it afresh
// with its own initial state. Set wakes every waiter in every process and the
// event stays set until Reset.
class NamedEvent {
 public:
  // Opens the event, or creates it in the given state when nobody holds it.
  static Result<NamedEvent> CreateOrOpen(std::string_view name, InitialState initial);
  // Opens the event only when some process holds it; an error otherwise.
  static Result<NamedEvent> Open(std::string_view name);

  NamedEvent(NamedEvent&& other) noexcept;
  NamedEvent& operator=(NamedEvent&& other) noexcept;
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;
  ~NamedEvent();

  Origin origin() const { return origin_; }

  bool Set();
  bool Reset();
  bool IsSet() const;
  // Returns at once when the event is set, else when another process sets it
  // or when the timeout has passed.
  WaitResult Wait(std::chrono::milliseconds timeout) const;

 private:
  enum class Presence { CreateIfAbsent, MustExist };
  static Result<NamedEvent> OpenByName(std::string_view name, Presence presence, InitialState initial);
  NamedEvent(int fd, std::filesystem::path path, Origin origin)
      : fd_(fd), path_(std::move(path)), origin_(origin) {}
  bool WriteState(char state);

  int fd_ = -1;
  std::filesystem::path path_;
  Origin origin_ = Origin::Created;
};

}  // namespace vokar::named
