#include "MessageBox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "MessageBoxSink.h"
#include "TestFolder.h"

namespace {

using namespace vokar::msgbox;

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every log-mode test runs in a child process of its own, since the scripted
// answers are taken in turn by all the messages of one process.
void InChild(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child process found a failure";
}

TEST(MessageLog, ScriptedAnswersInTurnAndTheLogRecords) {
  const vokar::test::TestFolder folder("msgbox");
  const auto log = folder / "log.txt";
  InChild([&] {
    ::setenv("VOKAR_MSGBOX_LOG", log.c_str(), 1);
    ::setenv("VOKAR_MSGBOX_ANSWER", "No, CANCEL,bogus,no,abort", 1);
    EXPECT_EQ(ShowMessageBox("Vokar", "Czy na pewno?", Icon::Question, Buttons::YesNo), Answer::No);
    EXPECT_EQ(ShowMessageBox("Vokar", "Zapisać?", Icon::Question, Buttons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(ShowMessageBox("Vokar", "a", Icon::Warning, Buttons::YesNo), Answer::Yes);  // unknown word
    EXPECT_EQ(ShowMessageBox("Vokar", "b", Icon::Stop, Buttons::Ok), Answer::Ok);  // "no" is not offered
    EXPECT_EQ(ShowMessageBox("", "c", Icon::None, Buttons::AbortRetryIgnore), Answer::Abort);
    // The list is used up: the defaults.
    EXPECT_EQ(ShowMessageBox("", "d", Icon::None, Buttons::AbortRetryIgnore), Answer::Ignore);
    EXPECT_EQ(ShowMessageBox("", "e", Icon::None, Buttons::OkCancel), Answer::Ok);
    EXPECT_EQ(ShowMessageBox("", "f", Icon::Information, Buttons::RetryCancel), Answer::Retry);
  });
  const std::string text = ReadText(log);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            "caption=Vokar\ticon=question\tbuttons=yes-no\tanswer=no\ttext=Czy na pewno?\n"
            "caption=Vokar\ticon=question\tbuttons=yes-no-cancel\tanswer=cancel\ttext=Zapisać?\n");
  const auto records = ReadMessageLog(log);
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[3].icon, "stop");
  EXPECT_EQ(records[3].answer, "ok");
  EXPECT_EQ(records[7].buttons, "retry-cancel");
  EXPECT_EQ(records[7].icon, "information");
}

TEST(MessageLog, WithoutAScriptTheFirstButtonAnswers) {
  const vokar::test::TestFolder folder("msgbox");
  const auto log = folder / "log.txt";
  InChild([&] {
    ::setenv("VOKAR_MSGBOX_LOG", log.c_str(), 1);
    ::unsetenv("VOKAR_MSGBOX_ANSWER");
    EXPECT_EQ(ShowMessageBox("Vokar", "x", Icon::Question, Buttons::YesNo, DefaultButton::Second), Answer::Yes);
    EXPECT_EQ(ShowMessageBox("Vokar", "x", Icon::Stop, Buttons::OkCancel), Answer::Ok);
  });
  EXPECT_EQ(ReadMessageLog(log).size(), 2u);
}

// A test program runs its tests one after another in one process, each with
// its own log and list: every test's list is taken from its first entry,
// whatever an earlier test left unused. The same list written again to the
// same log goes on in turn.
TEST(MessageLog, ANewListOrANewLogStartsTheTurnAgain) {
  const vokar::test::TestFolder folder("msgbox");
  InChild([&] {
    ::setenv("VOKAR_MSGBOX_LOG", (folder / "first.log").c_str(), 1);
    ::setenv("VOKAR_MSGBOX_ANSWER", "no,cancel,no", 1);
    EXPECT_EQ(ShowMessageBox("A", "1", Icon::Question, Buttons::YesNo), Answer::No);
    ::setenv("VOKAR_MSGBOX_ANSWER", "no,cancel,no", 1);
    EXPECT_EQ(ShowMessageBox("A", "2", Icon::Question, Buttons::YesNoCancel), Answer::Cancel);
    // The next test: its own log, the same list, taken from the start.
    ::setenv("VOKAR_MSGBOX_LOG", (folder / "second.log").c_str(), 1);
    EXPECT_EQ(ShowMessageBox("B", "1", Icon::Question, Buttons::YesNoCancel), Answer::No);
    EXPECT_EQ(ShowMessageBox("B", "2", Icon::Question, Buttons::YesNoCancel), Answer::Cancel);
    // Another list on the same log: from its start too.
    ::setenv("VOKAR_MSGBOX_ANSWER", "abort", 1);
    EXPECT_EQ(ShowMessageBox("B", "3", Icon::Stop, Buttons::AbortRetryIgnore), Answer::Abort);
    EXPECT_EQ(ShowMessageBox("B", "4", Icon::Stop, Buttons::AbortRetryIgnore), Answer::Ignore);
    // No list: the defaults, and a list given afterwards starts at its first entry.
    ::unsetenv("VOKAR_MSGBOX_ANSWER");
    EXPECT_EQ(ShowMessageBox("B", "5", Icon::Question, Buttons::YesNo), Answer::Yes);
    ::setenv("VOKAR_MSGBOX_ANSWER", "no", 1);
    EXPECT_EQ(ShowMessageBox("B", "6", Icon::Question, Buttons::YesNo), Answer::No);
  });
  EXPECT_EQ(ReadMessageLog(folder / "first.log").size(), 2u);
  EXPECT_EQ(ReadMessageLog(folder / "second.log").size(), 6u);
}

TEST(MessageLog, TextWithLineBreaksTabsAndBackslashesSurvives) {
  const LoggedMessage message{"Tytuł\tz tabem", "warning", "ok", "ok",
                              "Serwer: 'vokar.exe' ma nieodpowiednią wersję.\nWersja pożądana= 1.1 (minor= 95.3).\n"
                              "C:\\n\\katalog\r\n"};
  const std::string record = FormatLogRecord(message);
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1);  // one line per message
  const auto back = ParseLogRecord(record);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->caption, message.caption);
  EXPECT_EQ(back->text, message.text);
  EXPECT_FALSE(ParseLogRecord("not a record"));
  EXPECT_FALSE(ParseLogRecord("caption=a\ticon=b"));
  EXPECT_TRUE(ReadMessageLog("/nonexistent/log").empty());
}

TEST(MessageLog, SeveralProcessesLoggingAtOnceKeepWholeRecords) {
  const vokar::test::TestFolder folder("msgbox");
  const auto log = folder / "log.txt";
  std::vector<pid_t> children;
  for (int child = 0; child < 4; ++child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("VOKAR_MSGBOX_LOG", log.c_str(), 1);
      const std::string long_text(3000, static_cast<char>('a' + child));
      for (int i = 0; i < 50; ++i) ShowMessageBox("Proces " + std::to_string(child), long_text, Icon::None, Buttons::Ok);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) ::waitpid(pid, nullptr, 0);
  const auto records = ReadMessageLog(log);
  ASSERT_EQ(records.size(), 200u);
  for (const auto& record : records) {
    ASSERT_EQ(record.text.size(), 3000u);
    EXPECT_EQ(record.text, std::string(3000, static_cast<char>('a' + (record.caption.back() - '0'))));
  }
}

TEST(MessageLog, EngineSinkUsesTheProgramCaption) {
  const vokar::test::TestFolder folder("msgbox");
  const auto log = folder / "log.txt";
  InChild([&] {
    ::setenv("VOKAR_MSGBOX_LOG", log.c_str(), 1);
    MessageBoxSink sink;
    sink.ShowMessage("Błędny format pliku alofonów", vokar::MessageIcon::Stop);
    MessageBoxSink horalo("Horalo");
    horalo.ShowMessage("Uwaga", vokar::MessageIcon::Warning);
  });
  const auto records = ReadMessageLog(log);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].caption, "Vokar");
  EXPECT_EQ(records[0].icon, "stop");
  EXPECT_EQ(records[0].buttons, "ok");
  EXPECT_EQ(records[0].text, "Błędny format pliku alofonów");
  EXPECT_EQ(records[1].caption, "Horalo");
  EXPECT_EQ(records[1].icon, "warning");
}

TEST(NoDisplay, AProgramWithoutQtTellsStandardErrorAndGoesOn) {
  const vokar::test::TestFolder folder("msgbox");
  const auto err = folder / "stderr.txt";
  InChild([&] {
    for (const char* name : {"VOKAR_MSGBOX_LOG", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
    std::freopen(err.c_str(), "w", stderr);
    EXPECT_EQ(ShowMessageBox("Radko", "Błąd otwarcia pliku: rady.txt", Icon::Warning, Buttons::Ok), Answer::Ok);
    EXPECT_EQ(ShowMessageBox("Radko", "Pytanie", Icon::None, Buttons::AbortRetryIgnore), Answer::Ignore);
    std::fflush(stderr);
  });
  EXPECT_EQ(ReadText(err), "Radko: Błąd otwarcia pliku: rady.txt\nRadko: Pytanie\n");
}

class OnScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::unsetenv("VOKAR_MSGBOX_LOG");
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "msgbox_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
  }

  // Shows a box; when it is up, check() looks at it and press() picks the
  // button to click (or nullptr to close it with Escape).
  Answer ShowAndPress(Icon icon, Buttons buttons, DefaultButton defaultButton,
                      std::function<void(QMessageBox&)> check, QMessageBox::StandardButton press) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = true;
      check(*box);
      if (press == QMessageBox::NoButton) {
        box->reject();
      } else {
        box->button(press)->click();
      }
    });
    const Answer answer = ShowMessageBox("Vokar", "Czy na pewno chcesz usunąć cały pakiet Vokar ?", icon, buttons,
                                         defaultButton);
    EXPECT_TRUE(seen);
    return answer;
  }
};

TEST_F(OnScreen, ShowsCaptionTextIconAndButtons) {
  const Answer answer = ShowAndPress(
      Icon::Question, Buttons::YesNo, DefaultButton::Second,
      [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle().toStdString(), "Vokar");
        EXPECT_EQ(box.text().toStdString(), "Czy na pewno chcesz usunąć cały pakiet Vokar ?");
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
      },
      QMessageBox::No);
  EXPECT_EQ(answer, Answer::No);
}

TEST_F(OnScreen, EveryButtonSetAndItsAnswers) {
  struct Case {
    Buttons buttons;
    QMessageBox::StandardButtons expected;
    QMessageBox::StandardButton press;
    Answer answer;
  };
  const std::vector<Case> cases{
      {Buttons::Ok, QMessageBox::Ok, QMessageBox::Ok, Answer::Ok},
      {Buttons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, Answer::Cancel},
      {Buttons::YesNoCancel, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, Answer::Yes},
      {Buttons::AbortRetryIgnore, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry,
       Answer::Retry},
      {Buttons::RetryCancel, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry, Answer::Retry},
  };
  for (const auto& c : cases) {
    const Answer answer = ShowAndPress(
        Icon::Stop, c.buttons, DefaultButton::First,
        [&](QMessageBox& box) {
          EXPECT_EQ(box.standardButtons(), c.expected);
          EXPECT_EQ(box.icon(), QMessageBox::Critical);
        },
        c.press);
    EXPECT_EQ(answer, c.answer) << ButtonsName(c.buttons);
  }
}

// The test's Qt loads no translation (Qt's own texts stay English here), and
// yet every button of every box speaks Polish: a screen reader says "Tak",
// never "Yes", also where qt6-translations-l10n is not installed.
TEST_F(OnScreen, TheButtonsArePolishWithoutAQtTranslation) {
  ASSERT_EQ(QCoreApplication::translate("QPlatformTheme", "Yes").toStdString(), "Yes")
      << "this test needs a Qt that loads no Polish translation";
  struct Case {
    Buttons buttons;
    std::vector<std::pair<QMessageBox::StandardButton, std::string>> texts;
  };
  const std::vector<Case> cases{
      {Buttons::Ok, {{QMessageBox::Ok, "OK"}}},
      {Buttons::OkCancel, {{QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Anuluj"}}},
      {Buttons::YesNo, {{QMessageBox::Yes, "&Tak"}, {QMessageBox::No, "&Nie"}}},
      {Buttons::YesNoCancel, {{QMessageBox::Yes, "&Tak"}, {QMessageBox::No, "&Nie"}, {QMessageBox::Cancel, "Anuluj"}}},
      {Buttons::AbortRetryIgnore,
       {{QMessageBox::Abort, "&Przerwij"}, {QMessageBox::Retry, "&Ponów próbę"}, {QMessageBox::Ignore, "&Ignoruj"}}},
      {Buttons::RetryCancel, {{QMessageBox::Retry, "&Ponów próbę"}, {QMessageBox::Cancel, "Anuluj"}}},
  };
  for (const auto& c : cases) {
    // The answer still follows the button pressed: the last one of the box.
    const auto [last, lastText] = c.texts.back();
    ShowAndPress(
        Icon::Question, c.buttons, DefaultButton::First,
        [&](QMessageBox& box) {
          EXPECT_EQ(box.buttons().size(), static_cast<qsizetype>(c.texts.size())) << ButtonsName(c.buttons);
          for (const auto& [button, text] : c.texts) {
            ASSERT_NE(box.button(button), nullptr) << text;
            EXPECT_EQ(box.button(button)->text().toStdString(), text) << ButtonsName(c.buttons);
          }
        },
        last);
  }
  // The Yes/No box answers by the button, whatever its text.
  EXPECT_EQ(ShowAndPress(Icon::Question, Buttons::YesNo, DefaultButton::First, [](QMessageBox&) {},
                         QMessageBox::Yes),
            Answer::Yes);
}

TEST_F(OnScreen, ClosingWithoutAButtonMeansCancelWhereThereIsOne) {
  EXPECT_EQ(ShowAndPress(Icon::Warning, Buttons::YesNoCancel, DefaultButton::First, [](QMessageBox&) {},
                         QMessageBox::NoButton),
            Answer::Cancel);
  EXPECT_EQ(ShowAndPress(Icon::Information, Buttons::Ok, DefaultButton::First, [](QMessageBox&) {},
                         QMessageBox::NoButton),
            Answer::Ok);
}

// "show" in the script: the message is logged and the box is really shown,
// so that a test of a process knows a box is up; the user's button answers.
TEST_F(OnScreen, TheScriptsShowLogsTheBoxAndShowsIt) {
  const vokar::test::TestFolder folder("msgbox");
  ::setenv("VOKAR_MSGBOX_LOG", (folder / "log.txt").c_str(), 1);
  ::setenv("VOKAR_MSGBOX_ANSWER", "show", 1);
  const Answer answer = ShowAndPress(Icon::Question, Buttons::YesNo, DefaultButton::First, [](QMessageBox&) {},
                                     QMessageBox::No);
  ::unsetenv("VOKAR_MSGBOX_LOG");
  ::unsetenv("VOKAR_MSGBOX_ANSWER");
  EXPECT_EQ(answer, Answer::No);
  const auto logged = ReadMessageLog(folder / "log.txt");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].answer, "show");
  EXPECT_EQ(logged[0].buttons, "yes-no");
}

// A program that is ending shows no box: each is answered at once with the
// answer that leads nowhere, and one that is open when its loop is ended
// from outside answers the same, whatever its default.
TEST_F(OnScreen, WhileTheProgramEndsBoxesAnswerWithTheAnswerThatGoesNowhere) {
  EXPECT_EQ(EndingAnswer(Buttons::Ok), Answer::Ok);
  EXPECT_EQ(EndingAnswer(Buttons::OkCancel), Answer::Cancel);
  EXPECT_EQ(EndingAnswer(Buttons::YesNo), Answer::No);
  EXPECT_EQ(EndingAnswer(Buttons::YesNoCancel), Answer::Cancel);
  EXPECT_EQ(EndingAnswer(Buttons::AbortRetryIgnore), Answer::Ignore);
  EXPECT_EQ(EndingAnswer(Buttons::RetryCancel), Answer::Cancel);

  // Open when the end comes: closed from outside, the default Yes is not taken.
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = true;
    SetEnding(true);
    box->reject();
  });
  EXPECT_EQ(ShowMessageBox("Vokar", "Czy na pewno?", Icon::Question, Buttons::YesNo, DefaultButton::First), Answer::No);
  EXPECT_TRUE(seen);

  // After it: nothing is shown, the log still records the message.
  const vokar::test::TestFolder folder("msgbox");
  ::setenv("VOKAR_MSGBOX_LOG", (folder / "log.txt").c_str(), 1);
  ::setenv("VOKAR_MSGBOX_ANSWER", "yes", 1);
  EXPECT_EQ(ShowMessageBox("Vokar", "Zapisać?", Icon::Question, Buttons::YesNoCancel), Answer::Cancel);
  ::unsetenv("VOKAR_MSGBOX_LOG");
  ::unsetenv("VOKAR_MSGBOX_ANSWER");
  EXPECT_EQ(ShowMessageBox("Vokar", "Pytanie", Icon::None, Buttons::AbortRetryIgnore), Answer::Ignore);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  SetEnding(false);
  const auto logged = ReadMessageLog(folder / "log.txt");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].answer, "cancel");
}

}  // namespace
