#include "NamedObjects.h"

#include "RuntimeFolder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vokar::named {
namespace {

// A waiter looks at the state this often even when no change notice comes
// (a file system without inotify, a notice lost to a full queue).
constexpr std::chrono::milliseconds kRecheckInterval{50};

Error SystemError(const std::string& what) { return Error{what + ": " + std::strerror(errno)}; }

int OpenFile(const std::filesystem::path& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int Lock(int fd, int operation) {
  int rc;
  do {
    rc = ::flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

// Files are named "<kind>-<encoded name>": the desktop bus shares the folder,
// and its endpoint files begin with sixteen hexadecimal digits, which these
// names never do.
Result<std::filesystem::path> ObjectPath(std::string_view kind, std::string_view name) {
  if (name.empty()) return Error{"a named object needs a name"};
  auto dir = RuntimeDir();
  if (!dir) return dir.error();
  return dir.value() / (std::string(kind) + "-" + EncodeName(name));
}

// Holds the guard of one event's name while it is created or opened, so that
// two processes never both believe they started the event.
class GuardLock {
 public:
  explicit GuardLock(const std::filesystem::path& path) : fd_(OpenFile(path, O_RDWR | O_CREAT)) {
    if (fd_ >= 0 && Lock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~GuardLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  GuardLock(const GuardLock&) = delete;
  GuardLock& operator=(const GuardLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

Result<std::filesystem::path> RuntimeDir() {
  const auto dir = paths::RuntimeFolder();
  if (auto error = paths::PrepareRuntimeFolder(dir)) return Error{*error};
  return dir;
}

std::string EncodeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '_' ||
        c == '-') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

Result<NamedSemaphore> NamedSemaphore::Create(std::string_view name) {
  auto path = ObjectPath("semaphore", name);
  if (!path) return path.error();
  // The file stays; the lock on it is the semaphore. The system drops the
  // lock when the holder's process ends, even by SIGKILL.
  const int fd = OpenFile(path.value(), O_RDWR | O_CREAT);
  if (fd < 0) return SystemError("cannot open " + path.value().string());
  if (Lock(fd, LOCK_EX | LOCK_NB) == 0) return NamedSemaphore(fd, Origin::Created);
  const int reason = errno;
  ::close(fd);
  if (reason == EWOULDBLOCK) return NamedSemaphore(-1, Origin::AlreadyExisted);
  errno = reason;
  return SystemError("cannot lock " + path.value().string());
}

NamedSemaphore::NamedSemaphore(NamedSemaphore&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), origin_(other.origin_) {}

NamedSemaphore& NamedSemaphore::operator=(NamedSemaphore&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    origin_ = other.origin_;
  }
  return *this;
}

NamedSemaphore::~NamedSemaphore() {
  if (fd_ >= 0) ::close(fd_);
}

Result<NamedEvent> NamedEvent::OpenByName(std::string_view name, Presence presence, InitialState initial) {
  auto path = ObjectPath("event", name);
  if (!path) return path.error();
  const GuardLock guard(path.value().string() + ".guard");
  if (!guard.held()) return SystemError("cannot lock the guard of " + path.value().string());

  // Every process that holds the event keeps a shared lock on its file; a file
  // that nobody locks is what a dead creator left behind.
  const int fd = OpenFile(path.value(), O_RDWR | (presence == Presence::CreateIfAbsent ? O_CREAT : 0));
  if (fd < 0) {
    if (errno == ENOENT) return Error{"the event \"" + std::string(name) + "\" does not exist"};
    return SystemError("cannot open " + path.value().string());
  }
  Origin origin = Origin::AlreadyExisted;
  if (Lock(fd, LOCK_EX | LOCK_NB) == 0) {
    if (presence == Presence::MustExist) {
      ::close(fd);
      return Error{"the event \"" + std::string(name) + "\" does not exist"};
    }
    const char state = initial == InitialState::Signaled ? '1' : '0';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, &state, 1, 0) != 1) {
      const Error error = SystemError("cannot start " + path.value().string());
      ::close(fd);
      return error;
    }
    origin = Origin::Created;
  } else if (errno != EWOULDBLOCK) {
    const Error error = SystemError("cannot lock " + path.value().string());
    ::close(fd);
    return error;
  }
  // Turning the exclusive lock into a shared one is not atomic, which is why
  // the guard is held until here.
  if (Lock(fd, LOCK_SH) != 0) {
    const Error error = SystemError("cannot lock " + path.value().string());
    ::close(fd);
    return error;
  }
  return NamedEvent(fd, std::move(path).value(), origin);
}

Result<NamedEvent> NamedEvent::CreateOrOpen(std::string_view name, InitialState initial) {
  return OpenByName(name, Presence::CreateIfAbsent, initial);
}

Result<NamedEvent> NamedEvent::Open(std::string_view name) {
  return OpenByName(name, Presence::MustExist, InitialState::NotSignaled);
}

NamedEvent::NamedEvent(NamedEvent&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), origin_(other.origin_) {}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    origin_ = other.origin_;
  }
  return *this;
}

NamedEvent::~NamedEvent() {
  if (fd_ >= 0) ::close(fd_);
}

bool NamedEvent::WriteState(char state) { return fd_ >= 0 && ::pwrite(fd_, &state, 1, 0) == 1; }

bool NamedEvent::Set() { return WriteState('1'); }

bool NamedEvent::Reset() { return WriteState('0'); }

bool NamedEvent::IsSet() const {
  char state = '0';
  return fd_ >= 0 && ::pread(fd_, &state, 1, 0) == 1 && state == '1';
}

WaitResult NamedEvent::Wait(std::chrono::milliseconds timeout) const {
  if (fd_ < 0) return WaitResult::Failed;
  using Clock = std::chrono::steady_clock;
  const bool forever = timeout == kWaitForever;
  const auto deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;

  // The watch is made before the first look, so a Set between the two is seen.
  int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify >= 0 && ::inotify_add_watch(notify, path_.c_str(), IN_MODIFY | IN_CLOSE_WRITE) < 0) {
    ::close(notify);
    notify = -1;
  }
  const auto finish = [&](WaitResult result) {
    if (notify >= 0) ::close(notify);
    return result;
  };
  while (true) {
    if (IsSet()) return finish(WaitResult::Signaled);
    const auto now = Clock::now();
    if (now >= deadline) return finish(WaitResult::TimedOut);
    auto slice = kRecheckInterval;
    if (!forever) slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    if (notify >= 0) {
      pollfd watch{notify, POLLIN, 0};
      if (::poll(&watch, 1, static_cast<int>(slice.count())) > 0) {
        char events[4096];
        while (::read(notify, events, sizeof events) > 0) {
        }
      }
    } else {
      std::this_thread::sleep_for(slice);
    }
  }
}

}  // namespace vokar::named
