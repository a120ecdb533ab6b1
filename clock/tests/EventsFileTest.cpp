// The events file: hand-written streams (in hex) read and written back byte
// for byte, every kind of damaged stream refused at its place, the long count,
// the 2048-byte text limit, unsigned confirmation times, and files replaced
// without ever losing the old one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "EventsFile.h"
#include "TestBytes.h"
#include "TestFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::clock;
using vokar::test::TestFolder;

using vokar::test::Hex;
using vokar::test::ReadAll;

// The class description of the first record.
const std::string kClass = "FFFF 0100 0A00 4556454E545F44534352";

// One daily event "Kawa" at 08:30 (2024, October, Wednesday the 2nd), and one
// very important monthly one on the 31st at 23:59, confirmed on 2040-01-01
// 00:00 UTC, with the text "Pij wodę" in code page 1250.
const std::string kTwoEvents = Hex(
    "0000"
    "0100" + kClass + "0100 E807 0900 0200 0200 0800 1E00 0000 00000000 0400 4B617761"
    "0000"
    "0100 0180 0300 E807 0900 0200 1F00 1700 3B00 0100 807EAA83 0800 50696A20776F64EA"
    "0000"
    "0000");

TEST(EventsFile, AHandWrittenFileIsReadAndWrittenBackByteForByte) {
  EventArrays arrays;
  EventsReadError error;
  ASSERT_TRUE(ParseEventsStream(kTwoEvents, arrays, error)) << error.what << " at " << error.offset;
  ASSERT_EQ(arrays[1].size(), 1u);
  ASSERT_EQ(arrays[3].size(), 1u);
  for (const int empty : {0, 2, 4, 5}) EXPECT_TRUE(arrays[empty].empty());
  const EVENT_DSCR& daily = arrays[1][0];
  EXPECT_EQ(daily.kind, RepeatKind::Daily);
  EXPECT_EQ(daily.time.year, 2024);
  EXPECT_EQ(daily.time.month, 9);
  EXPECT_EQ(daily.time.weekday, 2);
  EXPECT_EQ(daily.time.day, 2);
  EXPECT_EQ(daily.time.hour, 8);
  EXPECT_EQ(daily.time.minute, 30);
  EXPECT_FALSE(daily.important);
  EXPECT_EQ(daily.confirmed, 0u);
  EXPECT_EQ(daily.text, "Kawa");
  const EVENT_DSCR& monthly = arrays[3][0];
  EXPECT_EQ(monthly.kind, RepeatKind::Monthly);
  EXPECT_EQ(monthly.time.day, 31);
  EXPECT_EQ(monthly.time.hour, 23);
  EXPECT_EQ(monthly.time.minute, 59);
  EXPECT_TRUE(monthly.important);
  // Past 2038: the 32 bits are unsigned.
  EXPECT_EQ(monthly.confirmed, 2208988800u);
  EXPECT_EQ(monthly.text, "Pij wod\xEA");
  EXPECT_EQ(SerializeEventsStream(arrays), kTwoEvents);

  // And through a file and the lists of the page.
  TestFolder folder("events");
  const fs::path file = folder.Write("terminarz.evt", kTwoEvents);
  EventArrays loaded;
  ASSERT_EQ(LoadEventsFile(file, loaded), EventsLoad::Loaded);
  CEventLists lists;
  FromArrays(loaded, lists);
  EXPECT_FALSE(lists.modified());
  EXPECT_EQ(lists.TotalSize(), 2);
  ASSERT_TRUE(WriteEventsFile(file, SerializeEventsStream(lists)));
  EXPECT_EQ(ReadAll(file), kTwoEvents);
}

TEST(EventsFile, AFileKeepsItsOrderEvenWhenNotSorted) {
  // Two hourly events, minute 50 before minute 10: read in file order.
  const std::string stream = Hex("0200" + kClass + "0000 E807 0000 0000 0100 0000 3200 0000 00000000 0100 61" +
                                 "0180 0000 E807 0000 0000 0100 0000 0A00 0000 00000000 0100 62" +
                                 "0000 0000 0000 0000 0000");
  EventArrays arrays;
  EventsReadError error;
  ASSERT_TRUE(ParseEventsStream(stream, arrays, error)) << error.what;
  CEventLists lists;
  FromArrays(arrays, lists);
  EXPECT_EQ(lists.At(RepeatKind::Hourly, 0)->text, "a");
  EXPECT_EQ(lists.At(RepeatKind::Hourly, 1)->text, "b");
  EXPECT_EQ(SerializeEventsStream(lists), stream);
}

struct Hostile {
  const char* name;
  std::string bytes;
  std::size_t offset;  // where the reader must stop
};

// A record after the class description, with fields given in hex.
std::string Record(const std::string& fields) { return "0180" + fields; }
const std::string kGoodFields = "0000 E807 0000 0000 0100 0000 0000 0000 00000000 0000";

TEST(EventsFile, DamagedStreamsAreRefusedWhereTheyGoWrong) {
  const std::string first = "0100" + kClass;  // list 0 with one event, up to its kind
  const Hostile cases[] = {
      {"empty", Hex(""), 0},
      {"eleven bytes", Hex("0000 0000 0000 0000 0000 00"), 10},
      {"a count with no record", Hex("0100 0000 0000 0000 0000 0000"), 0},
      {"a reference before any class", Hex("0100" + Record(kGoodFields) + "0000 0000 0000 0000 0000"), 2},
      {"schema 2", Hex("0100 FFFF 0200 0A00 4556454E545F44534352" + kGoodFields + "0000 0000 0000 0000 0000"), 4},
      {"name length 9", Hex("0100 FFFF 0100 0900 4556454E545F445343" + kGoodFields + "0000 0000 0000 0000 0000"), 6},
      {"another class name",
       Hex("0100 FFFF 0100 0A00 4556454E545F44534358" + kGoodFields + "0000 0000 0000 0000 0000"), 8},
      {"kind 6", Hex(first + "0600 E807 0000 0000 0100 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 18},
      {"kind 65535",
       Hex(first + "FFFF E807 0000 0000 0100 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 18},
      {"a daily event in the hourly list",
       Hex(first + "0100 E807 0000 0000 0100 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 18},
      {"month 12", Hex(first + "0000 E807 0C00 0000 0100 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 22},
      {"weekday 7", Hex(first + "0000 E807 0000 0700 0100 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 24},
      {"day 0", Hex(first + "0000 E807 0000 0000 0000 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 26},
      {"day 32", Hex(first + "0000 E807 0000 0000 2000 0000 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 26},
      {"hour 24", Hex(first + "0000 E807 0000 0000 0100 1800 0000 0000 00000000 0000 0000 0000 0000 0000 0000"), 28},
      {"minute 60", Hex(first + "0000 E807 0000 0000 0100 0000 3C00 0000 00000000 0000 0000 0000 0000 0000 0000"), 30},
      {"a text cut short", Hex(first + "0000 E807 0000 0000 0100 0000 0000 0000 00000000 0500 41424344"), 40},
      {"a second class description",
       Hex("0200" + kClass + kGoodFields + kClass + kGoodFields + "0000 0000 0000 0000 0000"), 40},
      {"a count of 65534 with nothing behind it", Hex("FEFF 0000 0000 0000 0000 0000"), 0},
      {"a long count of four thousand million", Hex("FFFF FFFFFFFF 0000 0000 0000 0000 0000"), 0},
      {"a long count cut short", Hex("FFFF FFFF"), 2},
      {"five lists only", Hex("0000 0000 0000 0000 0000"), 10},
  };
  for (const auto& c : cases) {
    EventArrays arrays;
    EventsReadError error;
    EXPECT_FALSE(ParseEventsStream(c.bytes, arrays, error)) << c.name;
    EXPECT_EQ(error.offset, c.offset) << c.name << ": " << error.what;
  }
}

TEST(EventsFile, TextsUpTo2048BytesAndNoLonger) {
  auto withText = [](std::size_t length) {
    std::string stream = Hex("0100" + kClass + "0000 E807 0000 0000 0100 0000 0000 0000 00000000");
    stream.push_back(static_cast<char>(length & 0xFF));
    stream.push_back(static_cast<char>(length >> 8));
    stream += std::string(length, 'x');
    // A well-formed rest: the five other lists, empty.
    stream += Hex("0000 0000 0000 0000 0000");
    return stream;
  };
  EventArrays arrays;
  EventsReadError error;
  ASSERT_TRUE(ParseEventsStream(withText(2048), arrays, error)) << error.what;
  EXPECT_EQ(arrays[0][0].text.size(), 2048u);
  EXPECT_EQ(SerializeEventsStream(arrays), withText(2048));
  EXPECT_FALSE(ParseEventsStream(withText(2049), arrays, error));
  EXPECT_EQ(error.offset, 38u);
  // The writer never makes a file readers refuse.
  EventArrays tooLong;
  tooLong[0].emplace_back();
  tooLong[0][0].time.day = 1;
  tooLong[0][0].text = std::string(3000, 'y');
  const std::string written = SerializeEventsStream(tooLong);
  ASSERT_TRUE(ParseEventsStream(written, arrays, error)) << error.what;
  ASSERT_EQ(arrays[0].size(), 1u);
  EXPECT_EQ(arrays[0][0].text, std::string(2048, 'y'));
}

TEST(EventsFile, CountsFrom65535OnTakeTheLongForm) {
  for (const std::size_t count : {std::size_t{65534}, std::size_t{65535}}) {
    EventArrays arrays;
    EVENT_DSCR event;
    event.time.day = 1;
    arrays[0].assign(count, event);
    const std::string stream = SerializeEventsStream(arrays);
    const std::string head = count == 65535 ? Hex("FFFF FFFF0000") : Hex("FEFF");
    EXPECT_EQ(stream.substr(0, head.size()), head) << count;
    EventArrays back;
    EventsReadError error;
    ASSERT_TRUE(ParseEventsStream(stream, back, error)) << count << ": " << error.what;
    EXPECT_EQ(back[0].size(), count);
  }
  // The long form is read for a small count too.
  const std::string small = Hex("FFFF 01000000" + kClass + kGoodFields + "0000 0000 0000 0000 0000");
  EventArrays back;
  EventsReadError error;
  ASSERT_TRUE(ParseEventsStream(small, back, error)) << error.what;
  EXPECT_EQ(back[0].size(), 1u);
}

TEST(EventsFile, AMissingFileIsCreatedWithSixEmptyLists) {
  TestFolder folder("events");
  const fs::path file = folder / "nowy.evt";
  EventArrays arrays;
  arrays[2].emplace_back();
  EXPECT_EQ(LoadEventsFile(file, arrays), EventsLoad::Created);
  for (const auto& list : arrays) EXPECT_TRUE(list.empty());
  EXPECT_EQ(ReadAll(file), std::string(12, '\0'));
  EXPECT_EQ(LoadEventsFile(file, arrays), EventsLoad::Loaded);

  // What cannot be opened leaves the arrays alone.
  arrays[2].emplace_back();
  fs::create_directory(folder / "folder.evt");
  EXPECT_EQ(LoadEventsFile(folder / "folder.evt", arrays), EventsLoad::CannotOpen);
  EXPECT_EQ(LoadEventsFile(folder / "no" / "such" / "folder.evt", arrays), EventsLoad::CannotOpen);
  EXPECT_EQ(arrays[2].size(), 1u);
  const fs::path damaged = folder.Write("damaged.evt", Hex("0100 0000"));
  EventsReadError error;
  EXPECT_EQ(LoadEventsFile(damaged, arrays, &error), EventsLoad::ReadError);
  EXPECT_EQ(arrays[2].size(), 1u);
  EXPECT_EQ(ReadAll(damaged), Hex("0100 0000"));
}

TEST(EventsFile, AFailedWriteKeepsTheOldFileAndLeavesNothingBeside) {
  TestFolder folder("events");
  const fs::path file = folder.Write("terminarz.evt", kTwoEvents);
  // A file-size limit below the new stream's size makes the write fail
  // halfway, as a full disk would (root is not spared by it).
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = old;
  tight.rlim_cur = 40;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  std::string reason;
  const bool written = WriteEventsFile(file, std::string(100, 'x'), &reason);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(ReadAll(file), kTwoEvents);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) ++files;
  EXPECT_EQ(files, 1u);

  // A folder in the file's place is never replaced.
  fs::create_directory(folder / "folder.evt");
  EXPECT_FALSE(WriteEventsFile(folder / "folder.evt", kTwoEvents));
  EXPECT_TRUE(fs::is_directory(folder / "folder.evt"));
}

TEST(EventsFile, ALinkIsFollowedAndStaysALink) {
  TestFolder folder("events");
  const fs::path target = folder.Write("prawdziwy.evt", std::string(12, '\0'));
  fs::create_symlink(target, folder / "link.evt");
  ASSERT_TRUE(WriteEventsFile(folder / "link.evt", kTwoEvents));
  EXPECT_TRUE(fs::is_symlink(folder / "link.evt"));
  EXPECT_EQ(ReadAll(target), kTwoEvents);
}

}  // namespace
