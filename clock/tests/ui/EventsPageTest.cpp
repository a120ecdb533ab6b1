// The events page: damaged files refused without changing anything, files
// made when missing, failed writes, the very important events announced every
// minute until confirmed (missed ones at start-up too) and the confirmation
// kept in the file, the queue spoken only when the server is idle and kept
// when a Speak fails, and deleting rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ClockIds.h"
#include "Cp1250.h"
#include "ClockTestSupport.h"
#include "EventsFile.h"
#include "EventsListBox.h"
#include "EventsPage.h"
#include "ImportantEventsDlg.h"
#include "Profile.h"
#include "TestBytes.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using namespace vokar::clock;
using namespace vokar::clock::test;
using vokar::test::Hex;
using vokar::test::ReadAll;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

registry::Profile Store() { return registry::Profile("Quillmark", "Horalo"); }

TEST(EventsPage, EveryDamagedFileIsRefusedAndChangesNothing) {
  const std::string kClass = "FFFF 0100 0A00 4556454E545F44534352";
  const std::string first = "0100" + kClass;
  const std::string rest = "0000 0000 0000 0000 0000";
  const std::string hostile[] = {
      Hex(""),
      Hex("0000 0000 0000 0000 0000"),
      Hex("0100 FFFF 0200 0A00 4556454E545F44534352 0000 E807 0000 0000 0100 0000 0000 0000 00000000 0000" + rest),
      Hex(first + "0600 E807 0000 0000 0100 0000 0000 0000 00000000 0000" + rest),
      Hex(first + "0000 E807 0C00 0000 0100 0000 0000 0000 00000000 0000" + rest),
      Hex(first + "0000 E807 0000 0700 0100 0000 0000 0000 00000000 0000" + rest),
      Hex(first + "0000 E807 0000 0000 2000 0000 0000 0000 00000000 0000" + rest),
      Hex(first + "0000 E807 0000 0000 0100 0000 0000 0000 00000000 0108") + std::string(2049, 'x') + Hex(rest),
      Hex("FFFF FFFFFFFF" + rest),
      Hex("0180 0000"),
  };
  for (std::size_t i = 0; i < std::size(hostile); ++i) {
    ClockWorld world;
    const fs::path good = WriteEvents(world, "dobry.evt", {Daily(8, 30, "Kawa")});
    const std::string goodBytes = ReadAll(good);
    ASSERT_TRUE(Store().WriteString("Events", "DocumentName", good.string()).ok());
    TestHost host;
    host.now = Utc(2026, 12, 8, 7, 0);
    CEventsPage page(host);
    page.LoadSettings();
    ASSERT_EQ(page.lists().TotalSize(), 1);
    const fs::path bad = world.folder().Write("zly.evt", hostile[i]);
    EXPECT_FALSE(page.LoadFile(bad.string())) << i;
    EXPECT_EQ(world.Messages(), std::vector<std::string>{"Błąd odczytu z pliku."}) << i;
    EXPECT_EQ(page.path(), good.string()) << i;
    ASSERT_EQ(page.lists().TotalSize(), 1) << i;
    EXPECT_EQ(page.lists().At(RepeatKind::Daily, 0)->text, "Kawa");
    EXPECT_EQ(page.listBox().count(), 0) << "the shown kind is still the hourly one";
    EXPECT_EQ(ReadAll(bad), hostile[i]) << i;
    page.SaveSettings();
    EXPECT_EQ(ReadAll(good), goodBytes);
    EXPECT_EQ(Store().GetString("Events", "DocumentName", ""), good.string());
  }
}

TEST(EventsPage, ADamagedFileAtStartUpIsForgottenButNeverWrittenOver) {
  ClockWorld world;
  const std::string damaged = Hex("0100 0180");
  const fs::path file = world.folder().Write("terminarz.evt", damaged);
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  TestHost host;
  host.now = Utc(2026, 12, 8, 7, 0);
  CEventsPage page(host);
  page.LoadSettings();
  EXPECT_EQ(world.Messages(), std::vector<std::string>{"Błąd odczytu z pliku."});
  EXPECT_EQ(page.path(), "");
  page.SaveSettings();
  EXPECT_EQ(Store().GetString("Events", "DocumentName", "?"), "");
  EXPECT_EQ(ReadAll(file), damaged);
}

TEST(EventsPage, AMissingFileIsMadeAndAFolderCannotBeOpened) {
  ClockWorld world;
  TestHost host;
  CEventsPage page(host);
  const fs::path fresh = world.folder() / "nowy.evt";
  ASSERT_TRUE(page.LoadFile(fresh.string()));
  EXPECT_EQ(ReadAll(fresh), std::string(12, '\0'));
  EXPECT_EQ(page.path(), fresh.string());
  fs::create_directory(world.folder() / "katalog.evt");
  EXPECT_FALSE(page.LoadFile((world.folder() / "katalog.evt").string()));
  EXPECT_EQ(world.Messages(), std::vector<std::string>{"Błąd otwarcia pliku: " + (world.folder() / "katalog.evt").string()});
  EXPECT_EQ(page.path(), fresh.string());
}

TEST(EventsPage, AFailedSaveTellsTheUserAndKeepsTheListModified) {
  ClockWorld world;
  TestHost host;
  CEventsPage page(host);
  fs::create_directory(world.folder() / "sub");
  const fs::path file = world.folder() / "sub" / "terminarz.evt";
  ASSERT_TRUE(page.LoadFile(file.string()));
  page.lists().Insert(Daily(9, 0, "Leki"));
  page.lists().SetModified(true);
  // The file's folder is taken away: nothing can be written beside it.
  fs::remove_all(world.folder() / "sub");
  EXPECT_FALSE(page.SaveIfModified());
  fs::create_directory(world.folder() / "sub");
  EXPECT_TRUE(page.lists().modified());
  EXPECT_EQ(world.Messages(), std::vector<std::string>{"Błąd zapisu do pliku."});
  EXPECT_TRUE(page.SaveIfModified());
  EXPECT_FALSE(page.lists().modified());
  EventArrays back;
  ASSERT_EQ(LoadEventsFile(file, back), EventsLoad::Loaded);
  ASSERT_EQ(back[1].size(), 1u);
  EXPECT_EQ(back[1][0].text, "Leki");
}

TEST(EventsPage, AVeryImportantEventIsAnnouncedEveryMinuteUntilConfirmed) {
  ClockWorld world;
  // A daily event at 09:00 last confirmed the day before; the clock starts
  // at 10:00 (it was not running at 09:00).
  const std::uint32_t dayBefore = static_cast<std::uint32_t>(Utc(2026, 12, 7, 12, 0));
  const fs::path file = WriteEvents(world, "terminarz.evt", {Daily(9, 0, "Leki", true, dayBefore)});
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  ASSERT_TRUE(Store().WriteString("Events", "InitSoundName", "dzwonek.wav").ok());
  TestHost host;
  host.connected = false;
  host.now = Utc(2026, 12, 8, 10, 0, 2);
  CEventsPage page(host);
  page.LoadSettings();
  CImportantEventsDlg& dialog = page.importantDialog();
  EXPECT_TRUE(dialog.shown());
  EXPECT_EQ(dialog.count(), 1);
  // Not connected yet: the sound waits for the connection.
  EXPECT_TRUE(host.spoken.empty());
  host.connected = true;
  page.OnConnected();
  const Spoken sound{"\\Wav=\"dzwonek.wav\"\\", true};
  EXPECT_EQ(host.spoken, std::vector<Spoken>{sound});
  // While it is shown, editing is closed.
  EXPECT_FALSE(page.Control(IDC_EVENT_MODIFY)->isEnabled());
  EXPECT_FALSE(page.Control(IDC_EVENTS_BROWSE)->isEnabled());

  auto check = [&](int hour, int minute) {
    host.now = Utc(2026, 12, 8, hour, minute, 16);
    CClockTime now = CClockTime::FromTime(host.now);
    CClockTime minuteStart = now;
    minuteStart.second = 0;
    page.MinuteCheck({minuteStart}, now);
  };
  check(10, 1);
  EXPECT_EQ(host.spoken.size(), 2u);
  // "&Anuluj" hides it; the next minute brings it back with the sound.
  static_cast<QPushButton*>(dialog.Control(IDCANCEL))->click();
  EXPECT_FALSE(dialog.shown());
  EXPECT_TRUE(page.Control(IDC_EVENTS_BROWSE)->isEnabled());
  check(10, 2);
  EXPECT_TRUE(dialog.shown());
  EXPECT_EQ(host.spoken.size(), 3u);
  // "&Czytaj" reads the selected one.
  static_cast<QPushButton*>(dialog.Control(IDC_IMPORTANT_READ))->click();
  EXPECT_EQ(host.spoken.back(), (Spoken{"\\Wav=\"dzwonek.wav\"\\Leki", true}));
  // "Potwierdź" hides it and keeps the confirmation in the file at once.
  host.now = Utc(2026, 12, 8, 10, 2, 40);
  static_cast<QPushButton*>(dialog.Control(IDOK))->click();
  EXPECT_FALSE(dialog.shown());
  EXPECT_EQ(dialog.count(), 0);
  EventArrays back;
  ASSERT_EQ(LoadEventsFile(file, back), EventsLoad::Loaded);
  EXPECT_EQ(back[1][0].confirmed, static_cast<std::uint32_t>(host.now));
  // Everything else of the file is as it was.
  EventArrays expected;
  expected[1].push_back(Daily(9, 0, "Leki", true, static_cast<std::uint32_t>(host.now)));
  EXPECT_EQ(ReadAll(file), SerializeEventsStream(expected));
  const std::size_t before = host.spoken.size();
  check(10, 3);
  check(10, 4);
  EXPECT_FALSE(dialog.shown());
  EXPECT_EQ(host.spoken.size(), before);
  // The next day's 09:00 brings it back (due now: its text, not the sound).
  check(9, 0);
  host.now = Utc(2026, 12, 9, 9, 0, 16);
  page.MinuteCheck({[&] {
                     CClockTime t = CClockTime::FromTime(host.now);
                     t.second = 0;
                     return t;
                   }()},
                   CClockTime::FromTime(host.now));
  EXPECT_TRUE(dialog.shown());
  EXPECT_EQ(host.spoken.size(), before);
  EXPECT_EQ(page.lists().pending().back(), "Leki");
}

TEST(EventsPage, QueuedTextsWaitForAnIdleServerAndAreKeptWhenSpeakingFails) {
  ClockWorld world;
  TestHost host;
  host.now = Utc(2026, 12, 8, 11, 0, 17);
  CEventsPage page(host);
  page.lists().pending() = {"pierwszy", "drugi"};
  host.status = 1;  // reading
  page.SpeakingTick();
  page.SpeakingTick();
  EXPECT_TRUE(host.spoken.empty());
  EXPECT_EQ(host.statusQueries, 2);
  host.status = 3;  // paused while reading still counts as reading
  page.SpeakingTick();
  EXPECT_TRUE(host.spoken.empty());
  host.status = 2;  // idle
  page.SpeakingTick();
  EXPECT_EQ(host.spoken, (std::vector<Spoken>{{"pierwszy", true}}));
  EXPECT_EQ(page.lists().pending().size(), 1u);
  // The server refused it as busy: kept, tried the next second.
  host.results = {1};
  host.now += 1;
  page.SpeakingTick();
  EXPECT_EQ(page.lists().pending().size(), 1u);
  // An error: kept, and tried again only after ten seconds.
  host.results = {-1};
  host.now += 1;
  page.SpeakingTick();
  EXPECT_EQ(page.lists().pending().size(), 1u);
  const std::size_t tries = host.spoken.size();
  host.now += 9;
  page.SpeakingTick();
  EXPECT_EQ(host.spoken.size(), tries);
  host.now += 1;
  page.SpeakingTick();
  EXPECT_EQ(host.spoken.size(), tries + 1);
  EXPECT_TRUE(page.lists().pending().empty());
  EXPECT_EQ(host.spoken.back(), (Spoken{"drugi", true}));
  // Nothing queued: the server is not even asked.
  const int queries = host.statusQueries;
  page.SpeakingTick();
  EXPECT_EQ(host.statusQueries, queries);
}

TEST(EventsPage, DeletingKeepsTheRowOrTakesTheLastAndRowsAreDrawn) {
  ClockWorld world;
  TestHost host;
  CEventsPage page(host);
  ASSERT_TRUE(page.LoadFile((world.folder() / "terminarz.evt").string()));
  for (const auto& e : {Daily(7, 0, "a"), Daily(8, 0, "b", true), Daily(9, 0, "c")}) page.lists().Insert(e);
  page.SelectKind(1);
  auto& list = page.listBox();
  ASSERT_EQ(list.count(), 3);
  EXPECT_FALSE(page.Control(IDC_EVENT_DELETE)->isEnabled());
  list.setCurrentRow(1);
  EXPECT_TRUE(page.Control(IDC_EVENT_DELETE)->isEnabled());

  // The row of the very important event carries the dark red "!".
  page.resize(600, 500);
  page.show();
  QApplication::processEvents();
  const QImage image = list.viewport()->grab().toImage();
  const QRect row = list.visualItemRect(list.item(1));
  ASSERT_FALSE(row.isEmpty());
  bool red = false;
  for (int x = row.left(); x < row.left() + 12 && !red; ++x) {
    for (int y = row.top(); y <= row.bottom() && !red; ++y) {
      const QColor c = image.pixelColor(x, y);
      red = c.red() > 150 && c.green() < 60 && c.blue() < 60;
    }
  }
  EXPECT_TRUE(red);

  page.Delete();
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(list.SelectedEvent()->text, "c");
  page.Delete();
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(list.SelectedEvent()->text, "a");
  page.Delete();
  EXPECT_EQ(list.currentRow(), -1);
  EXPECT_TRUE(page.lists().modified());
  EXPECT_FALSE(page.Control(IDC_EVENT_DELETE)->isEnabled());
}

TEST(EventsPage, TheListHasThePagesWidthAndShowsEveryRowWhole) {
  ClockWorld world;
  TestHost host;
  CEventsPage page(host);
  ASSERT_TRUE(page.LoadFile((world.folder() / "terminarz.evt").string()));
  // 32 characters of each text are shown, then "...".
  const std::string longText = cp1250::FromUtf8("Zadzwonić do Marii w sprawie jutrzejszego spotkania u lekarza");
  page.lists().Insert(Daily(18, 45, longText));
  EVENT_DSCR onDate = Daily(18, 0, cp1250::FromUtf8("Wigilia u rodziców: zabrać prezenty, opłatek i sernik"));
  onDate.kind = RepeatKind::OnDate;
  onDate.time.year = 2027;
  onDate.time.day = 24;
  page.lists().Insert(onDate);
  // The page as small as it may be.
  page.resize(page.minimumSizeHint());
  page.show();
  QApplication::processEvents();
  auto& list = page.listBox();
  // The list goes as far right as the row of its buttons, as far left as
  // the label above it.
  const QWidget* modify = page.Control(IDC_EVENT_MODIFY);
  EXPECT_GE(list.geometry().right(), modify->geometry().right() - 1);
  EXPECT_GT(list.width(), 2 * modify->width());
  for (const int kind : {1, 5}) {
    page.SelectKind(kind);
    QApplication::processEvents();
    ASSERT_EQ(list.count(), 1) << kind;
    EXPECT_LE(list.RowWidth(*list.EventAt(0)), list.viewport()->width()) << kind;
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible()) << kind;
  }
}

// Texts of the widest letters, and of a sign wider than any letter, each
// longer than the 32 characters a row shows: at the smallest page the whole
// row is in the list, from the "!" at its left to the closing quote at its
// right, with no horizontal scroll bar.
TEST(EventsPage, RowsOfTheWidestLettersAreShownWholeAtTheSmallestPage) {
  ClockWorld world;
  TestHost host;
  CEventsPage page(host);
  ASSERT_TRUE(page.LoadFile((world.folder() / "terminarz.evt").string()));
  struct Row {
    int kind;
    std::string cp1250Text;
    QString shown;  // what the row shows of it, worked out here
  };
  const QString dots = QStringLiteral("...\"");
  const Row rows[] = {
      {1, std::string(40, 'W'), "\"" + QString(32, QLatin1Char('W')) + dots},
      {2, std::string(40, 'M'), "\"" + QString(32, QLatin1Char('M')) + dots},
      {3, std::string(40, '\x8C'), "\"" + QString(32, QChar(0x015A)) + dots},  // Ś
      {4, std::string(32, '\xA3'), "\"" + QString(32, QChar(0x0141)) + "\""},  // Ł, 32 of them: no dots
      {5, std::string(40, '@'), "\"" + QString(32, QLatin1Char('@')) + dots},
  };
  for (const Row& row : rows) {
    EVENT_DSCR event = Daily(23, 55, row.cp1250Text, true);
    event.kind = static_cast<RepeatKind>(row.kind);
    event.time.year = 2027;
    event.time.month = 11;
    event.time.day = 23;
    event.time.weekday = 4;
    page.lists().Insert(event);
  }
  page.show();
  auto& list = page.listBox();
  const QFontMetrics metrics(list.font());
  for (const Row& row : rows) {
    page.SelectKind(row.kind);
    // The page as small as it may be with this list.
    page.resize(page.minimumSizeHint());
    QApplication::processEvents();
    ASSERT_EQ(list.count(), 1) << row.kind;
    EXPECT_EQ(list.item(0)->text().section(' ', -1), row.shown) << row.kind;
    const QRect item = list.visualItemRect(list.item(0));
    EXPECT_EQ(item.left(), 0) << row.kind << ": the row's left is scrolled out";
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0) << row.kind;
    const int textRight = list.textColumnLeft() + metrics.horizontalAdvance(row.shown);
    EXPECT_LE(textRight, list.viewport()->width()) << row.kind << ": the row's right is cut";
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible()) << row.kind;
  }
  // Letters never need more than the widest: of the letters' rows the list
  // is as wide as of a short one, and only the signs widened it.
  page.SelectKind(1);
  const int forLetters = list.minimumWidth();
  page.lists().Insert(Daily(7, 0, "a"));
  page.SelectKind(1);
  EXPECT_EQ(list.minimumWidth(), forLetters);
  page.SelectKind(5);
  EXPECT_GT(list.minimumWidth(), forLetters);
}

}  // namespace
