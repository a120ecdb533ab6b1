// The clock's main window in the test's process: its buttons from the
// string table, Enter and the hot keys reading the hour and the date, the
// one-second tick sharing out the minute between chime, reminders and
// advice, and every page's settings written when it ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "ClockIds.h"
#include "ClockPage.h"
#include "ClockTestSupport.h"
#include "Controls.h"
#include "EventEditDlg.h"
#include "EventsFile.h"
#include "EventsListBox.h"
#include "EventsPage.h"
#include "HotKeyTable.h"
#include "MainFrame.h"
#include "Profile.h"
#include "TestBytes.h"
#include "TestSupport.h"

namespace {

using namespace vokar;
using namespace vokar::clock;
using namespace vokar::clock::test;
using vokar::test::ReadAll;
namespace fs = std::filesystem;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

registry::Profile Store() { return registry::Profile("Quillmark", "Horalo"); }

class MainFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearQuitRequest();
    ASSERT_TRUE(Store().WriteString("Clock", "AddSeconds", "No").ok());
    host_.now = Utc(2026, 12, 8, 10, 20, 5);
    frame_ = std::make_unique<CMainFrame>(host_);
    host_.owner = frame_.get();
    std::string error;
    ASSERT_TRUE(frame_->Create(error)) << error;
  }

  ClockWorld world_;
  vokar::testing::PrivateDesktop desktop_;
  TestHost host_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrame, SevenButtonsFromTheStringTableAndFourPages) {
  const char* captions[] = {"&Godzina", "&Data", "&Porada", "Komunika&ty...", "&Info...", "Pomo&c...", "&Koniec"};
  int previousTop = -1;
  for (int id = IDC_HOUR; id <= IDC_EXIT; ++id) {
    QPushButton* button = frame_->Button(id);
    ASSERT_NE(button, nullptr) << id;
    EXPECT_EQ(button->text(), QString::fromUtf8(captions[id - IDC_HOUR]));
    EXPECT_GT(button->y(), previousTop) << "the buttons stand in their order, top down";
    previousTop = button->y();
  }
  EXPECT_GT(frame_->Button(IDC_EXIT)->y() - frame_->Button(IDC_HELP)->y(),
            3 * (frame_->Button(IDC_HELP)->y() - frame_->Button(IDC_INFO)->y()));
  const char* pages[] = {"Czas", "Komunikaty", "Porady", "Klawisze skrótu"};
  ASSERT_EQ(frame_->pages().count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(frame_->pages().tabText(i), QString::fromUtf8(pages[i]));
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("Horalo"));
}

TEST_F(MainFrame, ThePageKeysTurnThePagesFromEveryControl) {
  frame_->show();
  QApplication::setActiveWindow(frame_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
  QTabWidget& pages = frame_->pages();
  const auto control = [this](int id) { return frame_->findChild<QWidget*>(app::ControlName(id)); };
  const auto press = [](QWidget* focus, QKeyCombination keys) {
    focus->setFocus();
    QTest::keyClick(focus, keys.key(), keys.keyboardModifiers());
  };

  // From the button column beside the sheet, which Qt's sheet never hears:
  // the focus stays on the button.
  QPushButton* exit = frame_->Button(IDC_EXIT);
  press(exit, Qt::CTRL | Qt::Key_Tab);
  EXPECT_EQ(pages.currentIndex(), 1);
  EXPECT_TRUE(exit->hasFocus());
  press(exit, Qt::CTRL | Qt::Key_PageDown);
  EXPECT_EQ(pages.currentIndex(), 2);
  press(exit, Qt::CTRL | Qt::Key_PageUp);
  EXPECT_EQ(pages.currentIndex(), 1);

  // On "Komunikaty" the frequency box keeps its value: Ctrl+PgDn turns the
  // page, and the focus goes to the first control of the next one.
  auto* kind = qobject_cast<QComboBox*>(control(IDC_EVENTS_KIND));
  ASSERT_NE(kind, nullptr);
  ASSERT_TRUE(kind->isVisible());
  const int shownKind = kind->currentIndex();
  press(kind, Qt::CTRL | Qt::Key_PageDown);
  EXPECT_EQ(pages.currentIndex(), 2);
  EXPECT_EQ(kind->currentIndex(), shownKind);
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  EXPECT_TRUE(pages.widget(2)->isAncestorOf(focus)) << "the focus is on the page shown";
  // Backwards, and round from the first page to the last.
  press(focus, Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab);
  EXPECT_EQ(pages.currentIndex(), 1);
  press(exit, Qt::CTRL | Qt::Key_PageUp);
  press(exit, Qt::CTRL | Qt::Key_PageUp);
  EXPECT_EQ(pages.currentIndex(), 3);
  press(exit, Qt::CTRL | Qt::Key_Tab);
  EXPECT_EQ(pages.currentIndex(), 0);

  // The row of tabs is still reached with Tab, the sheet around it is not.
  EXPECT_TRUE(pages.tabBar()->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(pages.focusPolicy(), Qt::NoFocus);

  // In the hot-key field the keys are a combination to set, not a page.
  pages.setCurrentIndex(3);
  QWidget* combination = control(IDC_HOTKEY_EDIT);
  ASSERT_NE(combination, nullptr);
  press(combination, Qt::CTRL | Qt::Key_PageDown);
  EXPECT_EQ(pages.currentIndex(), 3);
}

TEST_F(MainFrame, ButtonsEnterAndHotKeysReadOnDemandBreakingAReading) {
  frame_->Button(IDC_HOUR)->click();
  frame_->Button(IDC_DATE)->click();
  frame_->show();
  QTest::keyClick(frame_.get(), Qt::Key_Return);
  QCoreApplication::postEvent(frame_.get(), new hotkey::HotKeyEvent(ID_READ_DATE));
  QCoreApplication::postEvent(frame_.get(), new hotkey::HotKeyEvent(ID_READ_HOUR));
  QCoreApplication::processEvents();
  QTest::qWait(50);
  const std::vector<Spoken> expected{
      {"dwadzieścia minut po dziesiątej ", true},
      {"wtorek ósmy grudnia dwa tysiące dwudziestego szóstego roku", true},
      {"dwadzieścia minut po dziesiątej ", true},
      {"wtorek ósmy grudnia dwa tysiące dwudziestego szóstego roku", true},
      {"dwadzieścia minut po dziesiątej ", true},
  };
  EXPECT_EQ(host_.spoken, expected);
  // No advice file: "&Porada" says nothing.
  frame_->Button(IDC_ADVICE)->click();
  EXPECT_EQ(host_.spoken.size(), expected.size());
}

TEST_F(MainFrame, TheTickChimesChecksRemindersAndSpeaksThemInTheirSeconds) {
  EVENT_DSCR event;
  event.kind = RepeatKind::Hourly;
  event.time.minute = 0;
  event.time.day = 1;
  event.text = "Przerwa";
  frame_->eventsPage().lists().Insert(event);
  // From 10:59:58 to 11:00:20, once a second.
  for (std::int64_t t = Utc(2026, 12, 8, 10, 59, 58); t <= Utc(2026, 12, 8, 11, 0, 20); ++t) {
    host_.now = t;
    frame_->OnTick();
  }
  // The chime at 11:00:01 (without breaking), the reminder from 11:00:16
  // (breaking, once the server is idle).
  const std::vector<Spoken> expected{{"jedenasta ", false}, {"Przerwa", true}};
  EXPECT_EQ(host_.spoken, expected);
  EXPECT_TRUE(frame_->eventsPage().lists().pending().empty());
}

TEST_F(MainFrame, AChimeRefusedWhileTheServerReadsComesWhenItIsFreeWithinItsMinute) {
  // Hourly chimes (the default); the server refuses the first try.
  host_.results = {1};
  host_.status = 1;
  auto tick = [&](int minute, int second) {
    host_.now = Utc(2026, 12, 8, minute < 60 ? 10 : 11, minute % 60, second);
    frame_->OnTick();
  };
  tick(60, 1);
  ASSERT_EQ(host_.spoken.size(), 1u) << "tried at its tick";
  EXPECT_TRUE(frame_->clockPage().chimeWaiting());
  // While the server reads, it waits; it is not poked every second.
  for (int second = 2; second <= 40; ++second) tick(60, second);
  EXPECT_EQ(host_.spoken.size(), 1u);
  host_.status = 2;
  tick(60, 41);
  ASSERT_EQ(host_.spoken.size(), 2u);
  EXPECT_EQ(host_.spoken[1], (Spoken{"jedenasta ", false}));
  EXPECT_FALSE(frame_->clockPage().chimeWaiting());
  for (int second = 42; second <= 59; ++second) tick(60, second);
  EXPECT_EQ(host_.spoken.size(), 2u) << "said once";
}

TEST_F(MainFrame, AChimeThatCannotBeSaidInItsMinuteIsDroppedUnsaid) {
  host_.results = {1};
  host_.status = 1;
  for (int second = 1; second <= 59; ++second) {
    host_.now = Utc(2026, 12, 8, 11, 0, second);
    frame_->OnTick();
  }
  EXPECT_TRUE(frame_->clockPage().chimeWaiting());
  // 11:01: the server is free, but the chime of 11:00 would be wrong now.
  host_.status = 2;
  for (int second = 0; second <= 20; ++second) {
    host_.now = Utc(2026, 12, 8, 11, 1, second);
    frame_->OnTick();
  }
  EXPECT_EQ(host_.spoken.size(), 1u) << "only the refused try";
  EXPECT_FALSE(frame_->clockPage().chimeWaiting());
  // An error is told by the client and not tried again.
  host_.results = {-1};
  host_.now = Utc(2026, 12, 8, 12, 0, 1);
  frame_->OnTick();
  EXPECT_FALSE(frame_->clockPage().chimeWaiting());
}

TEST_F(MainFrame, EndingWritesEverySettingAndTheHotKeys) {
  frame_->Exit();
  EXPECT_TRUE(frame_->ending());
  for (const auto& [section, name] : std::vector<std::pair<const char*, const char*>>{
           {"Clock", "InitSoundForHours"}, {"Clock", "24_Hours"}, {"Clock", "Colloquial"},
           {"Clock", "WithoutMinutes"},    {"Clock", "AddSeconds"}, {"Clock", "Frequency"},
           {"Clock", "InitSound"},         {"Clock", "InitSoundName"}, {"Clock", "Prefix"},
           {"Events", "DocumentName"},     {"Events", "InitSound"}, {"Advice", "Frequency"},
           {"Advice", "Mode"},             {"Advice", "DocumentName"}, {"Advice", "Prefix"},
           {"HotKeys", "ReadHour"},        {"HotKeys", "ReadDate"}, {"HotKeys", "ReadAdvice"}}) {
    EXPECT_TRUE(Store().Has(section, name)) << section << "\\" << name;
  }
  EXPECT_EQ(Store().GetString("Clock", "AddSeconds", ""), "No");
  // After the end the tick does nothing.
  host_.now = Utc(2026, 12, 8, 11, 0, 1);
  frame_->OnTick();
  EXPECT_TRUE(host_.spoken.empty());
}

// A user's changes to the reminders are in the events file once the clock
// has ended, though the user never saved them: one reminder added through
// the dialog, another deleted.
TEST_F(MainFrame, RemindersChangedInTheWindowAreInTheEventsFileAfterTheEnd) {
  const fs::path file = WriteEvents(world_, "terminarz.evt", {Daily(8, 30, "Kawa"), Daily(9, 0, "Leki")});
  CEventsPage& page = frame_->eventsPage();
  ASSERT_TRUE(page.LoadFile(file.string()));
  page.SelectKind(static_cast<int>(RepeatKind::Daily));
  page.listBox().setCurrentRow(0);
  page.Delete();

  // "Dod&aj": the dialog is filled in as the user does and accepted.
  bool filled = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = dynamic_cast<CEventEditDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    static_cast<QLineEdit*>(dialog->Control(IDC_EDIT_TEXT))->setText(QStringLiteral("Herbata"));
    static_cast<QLineEdit*>(dialog->Control(IDC_EDIT_HOUR))->setText(QStringLiteral("17"));
    static_cast<QLineEdit*>(dialog->Control(IDC_EDIT_MINUTE))->setText(QStringLiteral("30"));
    filled = true;
    dialog->accept();
  });
  page.Add();
  ASSERT_TRUE(filled);
  EXPECT_EQ(ReadAll(file), SerializeEventsStream(EventArrays{{{}, {Daily(8, 30, "Kawa"), Daily(9, 0, "Leki")}}}))
      << "nothing is written before the end";

  frame_->Exit();
  EventArrays back;
  ASSERT_EQ(LoadEventsFile(file, back), EventsLoad::Loaded);
  ASSERT_EQ(back[1].size(), 2u);
  EXPECT_EQ(back[1][0].text, "Leki");
  EXPECT_EQ(back[1][1].text, "Herbata");
  EXPECT_EQ(back[1][1].time.hour, 17);
  EXPECT_EQ(back[1][1].time.minute, 30);
  for (const int kind : {0, 2, 3, 4, 5}) EXPECT_TRUE(back[static_cast<std::size_t>(kind)].empty()) << kind;
  EXPECT_TRUE(world_.Messages().empty());
}

// "Pomo&c..." with the page in the work folder but nothing to show it (no
// xdg-open on the PATH, the offscreen desktop opens nothing): a box with the
// page's path; with no page anywhere, a box with the places looked in.
TEST_F(MainFrame, HelpThatCannotBeShownIsSaidWithThePath) {
  world_.Set("PATH", world_.folder().path().string());
  world_.Set("VOKAR_DATA_DIR", (world_.folder() / "data").string());
  frame_->SetHelpFolder((world_.folder() / "work").string());
  frame_->Button(IDC_HELP)->click();
  QTest::qWait(50);
  const auto page = world_.folder().Write("work/horalo.html", "<html></html>");
  frame_->Button(IDC_HELP)->click();
  QTest::qWait(50);
  const auto messages = world_.LoggedMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].caption, "Horalo");
  EXPECT_EQ(messages[0].text, "Nie znaleziono pliku pomocy:\n" + (world_.folder() / "work" / "horalo.html").string() +
                                  "\n" + (world_.folder() / "data" / "help" / "horalo.html").string());
  EXPECT_EQ(messages[1].text.rfind("Nie można otworzyć pomocy", 0), 0u) << messages[1].text;
  EXPECT_TRUE(messages[1].text.ends_with("\n" + page.string())) << messages[1].text;
}

}  // namespace
