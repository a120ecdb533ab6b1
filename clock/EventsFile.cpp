#include "EventsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "Descriptors.h"
#include "RegularFile.h"

namespace vokar::clock {
namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassReference = 0x8001;
constexpr std::uint16_t kSchema = 1;
constexpr std::string_view kClassName = "EVENT_DSCR";
constexpr std::uint16_t kLongCount = 0xFFFF;
// The smallest object record: a tag, eight 16-bit fields, the confirmation
// time and an empty text's length.
constexpr std::size_t kMinRecordBytes = 2 + 8 * 2 + 4 + 2;

class Reader {
 public:
  Reader(std::string_view bytes, EventsReadError& error) : bytes_(bytes), error_(error) {}

  std::size_t offset() const { return offset_; }
  std::size_t left() const { return bytes_.size() - offset_; }

  bool U16(std::uint16_t& value, const char* what) {
    if (left() < 2) return Fail(what, "stream ends inside");
    value = static_cast<std::uint16_t>(Byte(0) | (Byte(1) << 8));
    offset_ += 2;
    return true;
  }
  bool U32(std::uint32_t& value, const char* what) {
    if (left() < 4) return Fail(what, "stream ends inside");
    value = static_cast<std::uint32_t>(Byte(0)) | (static_cast<std::uint32_t>(Byte(1)) << 8) |
            (static_cast<std::uint32_t>(Byte(2)) << 16) | (static_cast<std::uint32_t>(Byte(3)) << 24);
    offset_ += 4;
    return true;
  }
  bool Bytes(std::size_t n, std::string& out, const char* what) {
    if (left() < n) return Fail(what, "stream ends inside");
    out.assign(bytes_.substr(offset_, n));
    offset_ += n;
    return true;
  }
  // A 16-bit field that must lie in low..high.
  bool Field(int& value, int low, int high, const char* what) {
    const std::size_t at = offset_;
    std::uint16_t raw = 0;
    if (!U16(raw, what)) return false;
    if (raw < low || raw > high) return FailAt(at, what, "out of range");
    value = raw;
    return true;
  }
  // A failure at the current offset (a field that is not all there).
  bool Fail(const char* what, const char* why) { return FailAt(offset_, what, why); }
  // A failure of the field that starts at the offset.
  bool FailAt(std::size_t at, const char* what, const char* why) {
    error_.offset = at;
    error_.what = std::string(what) + ": " + why;
    return false;
  }

 private:
  unsigned Byte(std::size_t i) const { return static_cast<unsigned char>(bytes_[offset_ + i]); }

  std::string_view bytes_;
  EventsReadError& error_;
  std::size_t offset_ = 0;
};

bool ReadRecord(Reader& in, int listKind, bool first, EVENT_DSCR& event) {
  std::size_t at = in.offset();
  std::uint16_t tag = 0;
  if (!in.U16(tag, "class tag")) return false;
  if (first) {
    if (tag != kNewClassTag) return in.FailAt(at, "class tag", "the first record must describe its class");
    std::uint16_t schema = 0;
    std::uint16_t nameLength = 0;
    std::string name;
    at = in.offset();
    if (!in.U16(schema, "schema")) return false;
    if (schema != kSchema) return in.FailAt(at, "schema", "not 1");
    at = in.offset();
    if (!in.U16(nameLength, "class name length")) return false;
    if (nameLength != kClassName.size()) return in.FailAt(at, "class name length", "not the length of EVENT_DSCR");
    at = in.offset();
    if (!in.Bytes(nameLength, name, "class name")) return false;
    if (name != kClassName) return in.FailAt(at, "class name", "not EVENT_DSCR");
  } else if (tag != kClassReference) {
    return in.FailAt(at, "class tag", "not a reference to EVENT_DSCR");
  }
  at = in.offset();
  int kind = 0;
  if (!in.Field(kind, 0, kRepeatKinds - 1, "kind")) return false;
  if (kind != listKind) return in.FailAt(at, "kind", "not the kind of its list");
  event.kind = static_cast<RepeatKind>(kind);
  CClockTime& t = event.time;
  int important = 0;
  if (!in.Field(t.year, 0, 0xFFFF, "year") || !in.Field(t.month, 0, 11, "month") ||
      !in.Field(t.weekday, 0, 6, "weekday") || !in.Field(t.day, 1, 31, "day") || !in.Field(t.hour, 0, 23, "hour") ||
      !in.Field(t.minute, 0, 59, "minute") || !in.Field(important, 0, 0xFFFF, "important")) {
    return false;
  }
  t.second = 0;
  t.time = 0;
  event.important = important != 0;
  // Stored in 32 bits; unsigned, so that times after 2038 come back right.
  if (!in.U32(event.confirmed, "confirmed")) return false;
  at = in.offset();
  std::uint16_t length = 0;
  if (!in.U16(length, "text length")) return false;
  if (length > kMaxEventText) return in.FailAt(at, "text length", "longer than 2048 bytes");
  return in.Bytes(length, event.text, "text");
}

void PutU16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

}  // namespace

bool ParseEventsStream(std::string_view bytes, EventArrays& out, EventsReadError& error) {
  Reader in(bytes, error);
  bool first = true;
  for (int kind = 0; kind < kRepeatKinds; ++kind) {
    auto& list = out[static_cast<std::size_t>(kind)];
    list.clear();
    const std::size_t at = in.offset();
    std::uint16_t shortCount = 0;
    if (!in.U16(shortCount, "count")) return false;
    std::uint32_t count = shortCount;
    if (shortCount == kLongCount && !in.U32(count, "long count")) return false;
    // Every record takes at least kMinRecordBytes: a larger count is a lie,
    // and nothing is allocated for it.
    if (count > in.left() / kMinRecordBytes) return in.FailAt(at, "count", "more events than the stream can hold");
    for (std::uint32_t i = 0; i < count; ++i) {
      EVENT_DSCR event;
      if (!ReadRecord(in, kind, first, event)) return false;
      first = false;
      list.push_back(std::move(event));
    }
  }
  return true;
}

std::string SerializeEventsStream(const EventArrays& arrays) {
  std::string out;
  bool first = true;
  for (int kind = 0; kind < kRepeatKinds; ++kind) {
    const auto& list = arrays[static_cast<std::size_t>(kind)];
    if (list.size() >= kLongCount) {
      PutU16(out, kLongCount);
      PutU32(out, static_cast<std::uint32_t>(list.size()));
    } else {
      PutU16(out, static_cast<unsigned>(list.size()));
    }
    for (const EVENT_DSCR& event : list) {
      if (first) {
        PutU16(out, kNewClassTag);
        PutU16(out, kSchema);
        PutU16(out, static_cast<unsigned>(kClassName.size()));
        out += kClassName;
        first = false;
      } else {
        PutU16(out, kClassReference);
      }
      const CClockTime& t = event.time;
      for (const int field : {static_cast<int>(event.kind), t.year, t.month, t.weekday, t.day, t.hour, t.minute,
                              event.important ? 1 : 0}) {
        PutU16(out, static_cast<unsigned>(field));
      }
      PutU32(out, event.confirmed);
      // The editor never lets a text grow past kMaxEventText; cut defensively
      // so that a file is never written that readers refuse.
      const std::string_view text = std::string_view(event.text).substr(0, kMaxEventText);
      PutU16(out, static_cast<unsigned>(text.size()));
      out += text;
    }
  }
  return out;
}

EventArrays ToArrays(const CEventLists& lists) {
  EventArrays arrays;
  for (int kind = 0; kind < kRepeatKinds; ++kind) {
    for (const auto& event : lists.list(static_cast<RepeatKind>(kind))) {
      arrays[static_cast<std::size_t>(kind)].push_back(*event);
    }
  }
  return arrays;
}

std::string SerializeEventsStream(const CEventLists& lists) { return SerializeEventsStream(ToArrays(lists)); }

void FromArrays(EventArrays arrays, CEventLists& lists) {
  lists.Clear();
  // Each event goes to the end of its list in file order, so a file keeps
  // its order even when it was not sorted.
  for (auto& list : arrays) {
    for (auto& event : list) lists.Append(std::move(event));
  }
  lists.SetModified(false);
}

EventsLoad LoadEventsFile(const std::filesystem::path& path, EventArrays& out, EventsReadError* error) {
  EventsReadError ignored;
  EventsReadError& failure = error != nullptr ? *error : ignored;
  const auto read = files::ReadRegularFile(path, kMaxEventsFileBytes);
  if (read.error == files::FileError::NotFound) {
    std::error_code code;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, code))) {
      // Something is there that is not a regular file (a folder, a FIFO).
      return EventsLoad::CannotOpen;
    }
    EventArrays empty;
    if (!WriteEventsFile(path, SerializeEventsStream(empty))) return EventsLoad::CannotOpen;
    out = std::move(empty);
    return EventsLoad::Created;
  }
  if (!read.ok()) return EventsLoad::CannotOpen;
  if (read.truncated) {
    failure.offset = kMaxEventsFileBytes;
    failure.what = "file larger than an events file can be";
    return EventsLoad::ReadError;
  }
  EventArrays arrays;
  if (!ParseEventsStream(read.bytes, arrays, failure)) return EventsLoad::ReadError;
  out = std::move(arrays);
  return EventsLoad::Loaded;
}

bool WriteEventsFile(const std::filesystem::path& path, std::string_view stream, std::string* reason) {
  auto fail = [&](const std::string& why) {
    if (reason != nullptr) *reason = why;
    return false;
  };
  std::error_code code;
  std::filesystem::path target = path;
  // Follow a link so that the file it names is replaced, not the link.
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, code))) {
    const auto resolved = std::filesystem::weakly_canonical(path, code);
    if (code) return fail("cannot follow the link: " + code.message());
    target = resolved;
  }
  if (std::filesystem::exists(target, code) && !std::filesystem::is_regular_file(target, code)) {
    return fail("not a regular file");
  }
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return fail(std::string("cannot create a file beside it: ") + std::strerror(errno));
  // Keep the permissions of the file being replaced; a new one gets the
  // usual ones.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    ::fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (!files::WriteWhole(fd, stream)) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    ::unlink(temporary.c_str());
    return fail("cannot write: " + why);
  }
  const bool synced = ::fsync(fd) == 0;
  const std::string syncWhy = synced ? std::string() : std::strerror(errno);
  const bool closed = ::close(fd) == 0;
  if (!synced || !closed) {
    const std::string why = synced ? std::strerror(errno) : syncWhy;
    ::unlink(temporary.c_str());
    return fail("cannot flush: " + why);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temporary.c_str());
    return fail("cannot replace the file: " + why);
  }
  return true;
}

}  // namespace vokar::clock
