#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include "AlfFile.h"

namespace vokar::alf {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void PutId(std::vector<std::uint8_t>& out, const char (&id)[5]) {
  out.insert(out.end(), id, id + 4);
}

void PatchU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

}  // namespace

Result<std::vector<std::uint8_t>> SerializeAlf(const AlfFile& file) {
  if (file.versionText.size() > kVersionTextMax) {
    return MakeError(ErrorKind::AlfFile, {}, 0,
                     "version text longer than " + std::to_string(kVersionTextMax) + " bytes");
  }
  std::vector<std::uint8_t> out;
  PutId(out, "RIFF");
  PutU32(out, 0);  // patched below
  PutId(out, "ALOF");

  PutId(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, file.format.formatTag);
  PutU16(out, file.format.channels);
  PutU32(out, file.format.samplesPerSec);
  PutU32(out, file.format.avgBytesPerSec);
  PutU16(out, file.format.blockAlign);
  PutU16(out, file.format.bitsPerSample);

  // The text is padded with NULs to an even length so that no pad byte
  // follows the chunk.
  std::string text = file.versionText;
  if (text.size() % 2 != 0) text.push_back('\0');
  PutId(out, "VER ");
  PutU32(out, static_cast<std::uint32_t>(8 + text.size()));
  for (std::uint16_t word : kVersionWords) PutU16(out, word);
  out.insert(out.end(), text.begin(), text.end());

  for (const AlfEntry& entry : file.entries) {
    if (entry.name.empty() || entry.name.size() > kNameBytes) {
      return MakeError(ErrorKind::AlfFile, {}, 0,
                       "entry " + std::to_string(entry.index) + ": name '" + entry.name +
                           "' must be 1 to 8 bytes");
    }
    if (entry.samples.size() > std::numeric_limits<std::uint32_t>::max() - 64 ||
        out.size() + entry.samples.size() > std::numeric_limits<std::uint32_t>::max() - 64) {
      return MakeError(ErrorKind::AlfFile, {}, 0, "the file would exceed 4 GB");
    }
    PutId(out, "data");
    PutU32(out, static_cast<std::uint32_t>(entry.samples.size()));
    out.insert(out.end(), entry.samples.begin(), entry.samples.end());
    if (entry.samples.size() % 2 != 0) out.push_back(0);

    PutId(out, "info");
    PutU32(out, kInfoBytes);
    char name[kNameBytes] = {};
    std::memcpy(name, entry.name.data(), entry.name.size());
    out.insert(out.end(), name, name + kNameBytes);
    PutU16(out, entry.index);
    PutU16(out, entry.classBits);
  }
  PatchU32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
  return out;
}

std::optional<AlfError> WriteFileAtomically(const std::filesystem::path& path,
                                            std::span<const std::uint8_t> bytes) {
  const std::filesystem::path temp = path.string() + ".tmp" + std::to_string(::getpid());
  const auto fail = [&](const std::string& what) {
    const std::string reason = what + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return MakeError(ErrorKind::Io, path.string(), 0, reason);
  };
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return MakeError(ErrorKind::Io, path.string(), 0,
                               std::string("cannot create: ") + std::strerror(errno));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return fail("cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    ::close(fd);
    return fail("cannot flush");
  }
  if (::close(fd) != 0) return fail("cannot close");
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot rename into place");
  return std::nullopt;
}

}  // namespace vokar::alf
