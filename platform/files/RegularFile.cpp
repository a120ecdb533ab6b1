#include "RegularFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vokar::files {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

FileRead Failed(FileError error) {
  FileRead result;
  result.error = error;
  return result;
}

}  // namespace

FileError ErrorFromErrno(int errorNumber) {
  switch (errorNumber) {
    case 0:
      return FileError::None;
    case ENOENT:
      return FileError::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return FileError::BadPath;
    case EMFILE:
    case ENFILE:
      return FileError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
      return FileError::AccessDenied;
    case EBADF:
      return FileError::InvalidHandle;
    case ESPIPE:
      return FileError::BadSeek;
    case EIO:
      return FileError::HardwareError;
    case ETXTBSY:
      return FileError::SharingViolation;
    case EAGAIN:
      // A regular file answers EAGAIN to a non-blocking read only while another
      // process holds a mandatory lock on it.
      return FileError::LockViolation;
    default:
      return FileError::Other;
  }
}

const char* FileErrorName(FileError error) {
  switch (error) {
    case FileError::None: return "no error";
    case FileError::NotFound: return "not found";
    case FileError::BadPath: return "bad path";
    case FileError::TooManyOpenFiles: return "too many open files";
    case FileError::AccessDenied: return "access denied";
    case FileError::InvalidHandle: return "invalid handle";
    case FileError::BadSeek: return "bad seek";
    case FileError::HardwareError: return "hardware error";
    case FileError::SharingViolation: return "sharing violation";
    case FileError::LockViolation: return "lock violation";
    case FileError::EndOfFile: return "end of file";
    case FileError::Other: return "other error";
  }
  return "other error";
}

FileRead ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
  const std::string& name = path.native();
  // The system takes at most PATH_MAX bytes with the terminating NUL; a longer
  // name, or one with a NUL inside, would name another file if it were cut.
  if (name.size() >= PATH_MAX || name.find('\0') != std::string::npos) return Failed(FileError::BadPath);
  if (name.empty()) return Failed(FileError::NotFound);

  // Look before opening: opening a FIFO or a device can block or act on the device.
  struct stat before {};
  if (::stat(name.c_str(), &before) != 0) return Failed(ErrorFromErrno(errno));
  if (!S_ISREG(before.st_mode)) return Failed(FileError::NotFound);

  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Failed(ErrorFromErrno(errno));
  const Descriptor file(fd);

  // The name may have been replaced between the look and the open.
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0) return Failed(ErrorFromErrno(errno));
  if (!S_ISREG(opened.st_mode)) return Failed(FileError::NotFound);

  FileRead result;
  const auto size = static_cast<std::size_t>(opened.st_size > 0 ? opened.st_size : 0);
  result.bytes.resize(size < maxBytes ? size : maxBytes);
  std::size_t filled = 0;
  // Read up to maxBytes, then one byte more to learn whether the file goes on;
  // the file may have grown or shrunk since fstat.
  for (;;) {
    if (filled == result.bytes.size()) {
      if (filled >= maxBytes) {
        char extra;
        ssize_t got;
        do {
          got = ::read(file.get(), &extra, 1);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
          result.error = ErrorFromErrno(errno);
          return result;
        }
        result.truncated = got > 0;
        break;
      }
      const std::size_t grow = result.bytes.size() < 4096 ? 4096 : result.bytes.size();
      result.bytes.resize(filled + (maxBytes - filled < grow ? maxBytes - filled : grow));
    }
    const ssize_t got = ::read(file.get(), result.bytes.data() + filled, result.bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      // What was read before the failure is kept: a reader of lines may use it.
      result.error = ErrorFromErrno(errno);
      result.bytes.resize(filled);
      return result;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  result.bytes.resize(filled);
  return result;
}

}  // namespace vokar::files
