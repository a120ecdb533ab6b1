#include "FileAccess.h"

#include <array>
#include <atomic>
#include <fstream>
#include <system_error>

namespace vokar {
namespace {

class CStandardFileAccess final : public IFileAccess {
 public:
  FileContent Read(const std::filesystem::path& path, std::size_t maxBytes) const override {
    FileContent content;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
      const bool missing = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
      content.status = missing ? FileStatus::NotFound : FileStatus::CannotOpen;
      return content;
    }
    if (!std::filesystem::is_regular_file(status)) return content;

    std::ifstream in(path, std::ios::binary);
    if (!in) {
      content.status = FileStatus::CannotOpen;
      return content;
    }
    std::array<char, 65536> buffer;
    while (content.bytes.size() < maxBytes && in) {
      const std::size_t want = std::min(buffer.size(), maxBytes - content.bytes.size());
      in.read(buffer.data(), static_cast<std::streamsize>(want));
      content.bytes.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
      content.status = FileStatus::ReadError;
      return content;
    }
    // One byte more says whether the file goes on past the bound.
    if (in && content.bytes.size() == maxBytes) {
      char extra;
      content.truncated = static_cast<bool>(in.read(&extra, 1));
      if (in.bad()) {
        content.status = FileStatus::ReadError;
        return content;
      }
    }
    content.status = FileStatus::Ok;
    return content;
  }
};

std::atomic<const IFileAccess*> installed{nullptr};

}  // namespace

const IFileAccess& StandardFileAccess() {
  static const CStandardFileAccess access;
  return access;
}

const IFileAccess& FileAccess() {
  const IFileAccess* access = installed.load(std::memory_order_acquire);
  return access != nullptr ? *access : StandardFileAccess();
}

void InstallFileAccess(const IFileAccess* access) { installed.store(access, std::memory_order_release); }

}  // namespace vokar
