// Showing a message box, or logging it when the programs run under test.
#include "MessageBox.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Descriptors.h"

namespace vokar::msgbox {
namespace {

std::atomic<bool> ending{false};

std::vector<Answer> ButtonAnswers(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
  }
  return {Answer::Ok};
}

std::string Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

// Which entry of the list the next message takes. The turn belongs to one
// script: a list written to one log. A process that is handed another list or
// another log (a test program running test after test, each with a log of its
// own) starts again from the first entry, so that no test takes the answers
// another test left unused.
std::size_t NextEntry(const char* log, const char* script) {
  static std::mutex lock;
  static std::string turnLog, turnScript;
  static std::size_t next = 0;
  const std::lock_guard<std::mutex> guard(lock);
  const std::string_view scriptNow = script != nullptr ? script : "";
  if (turnLog != log || turnScript != scriptNow) {
    turnLog = log;
    turnScript = scriptNow;
    next = 0;
  }
  return next++;
}

// The scripted answer for the next message of the script in force; nothing
// for the entry "show" (the box is shown and the user answers).
std::optional<Answer> ScriptedAnswer(const char* log, Buttons buttons) {
  const char* script = std::getenv("VOKAR_MSGBOX_ANSWER");
  const std::size_t index = NextEntry(log, script);
  const Answer fallback = DefaultAnswer(buttons);
  if (!script || !*script) return fallback;
  std::string_view rest(script);
  for (std::size_t i = 0; i < index; ++i) {
    const auto comma = rest.find(',');
    if (comma == std::string_view::npos) return fallback;  // the list is used up
    rest.remove_prefix(comma + 1);
  }
  const std::string entry = Trim(rest.substr(0, rest.find(',')));
  if (entry == "show" || entry == "SHOW" || entry == "Show") return std::nullopt;
  const auto answer = AnswerFromName(entry);
  const auto offered = ButtonAnswers(buttons);
  if (!answer || std::find(offered.begin(), offered.end(), *answer) == offered.end()) {
    std::fprintf(stderr, "VOKAR_MSGBOX_ANSWER: \"%s\" is not a button of a %s box; answering %s\n", entry.c_str(),
                 std::string(ButtonsName(buttons)).c_str(), std::string(AnswerName(fallback)).c_str());
    return fallback;
  }
  return *answer;
}

// One write per record with O_APPEND, so that records of several processes
// logging at once never mix.
void AppendRecord(const char* file, const std::string& record) {
  const int fd = ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "VOKAR_MSGBOX_LOG: cannot open %s\n", file);
    return;
  }
  files::WriteWhole(fd, record);
  ::close(fd);
}

QMessageBox::Icon QtIcon(Icon icon) {
  switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Stop: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton QtButton(Answer answer) {
  switch (answer) {
    case Answer::Ok: return QMessageBox::Ok;
    case Answer::Cancel: return QMessageBox::Cancel;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    case Answer::Abort: return QMessageBox::Abort;
    case Answer::Retry: return QMessageBox::Retry;
    case Answer::Ignore: return QMessageBox::Ignore;
  }
  return QMessageBox::Ok;
}

// The buttons speak Polish whether or not a Polish translation of Qt is
// installed (qt6-translations-l10n is only recommended): the texts are set
// here, with the keys the platform's Polish boxes give them.
QString PolishText(Answer answer) {
  switch (answer) {
    case Answer::Ok: return QStringLiteral("OK");
    case Answer::Cancel: return QStringLiteral("Anuluj");
    case Answer::Yes: return QStringLiteral("&Tak");
    case Answer::No: return QStringLiteral("&Nie");
    case Answer::Abort: return QStringLiteral("&Przerwij");
    case Answer::Retry: return QString::fromUtf8("&Ponów próbę");
    case Answer::Ignore: return QStringLiteral("&Ignoruj");
  }
  return QStringLiteral("OK");
}

// True when Qt can be expected to find a screen: an X or Wayland display, or
// a platform chosen by name (offscreen in tests).
bool DisplayExpected() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

Answer ShowOnScreen(std::string_view caption, std::string_view utf8Text, Icon icon, Buttons buttons,
                    DefaultButton defaultButton, QWidget* parent) {
  // A command-line program has no application object yet; a box needs one.
  std::unique_ptr<QApplication> ownApp;
  if (!QCoreApplication::instance() && !DisplayExpected()) {
    // A program started where there is no screen (a terminal over ssh, a
    // cron job) would be ended by Qt for want of a display: the message goes
    // to standard error instead, and the program goes on.
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(utf8Text.size()), utf8Text.data());
    return DefaultAnswer(buttons);
  }
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "vokar";
    static char* argv[] = {name, nullptr};
    ownApp = std::make_unique<QApplication>(argc, argv);
  } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    // A program without widgets can show no box; it tells standard error.
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(utf8Text.size()), utf8Text.data());
    return DefaultAnswer(buttons);
  }

  const auto answers = ButtonAnswers(buttons);
  QMessageBox::StandardButtons qtButtons;
  for (const Answer answer : answers) qtButtons |= QtButton(answer);
  QMessageBox box(QtIcon(icon), QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                  QString::fromUtf8(utf8Text.data(), static_cast<qsizetype>(utf8Text.size())), qtButtons, parent);
  box.setTextFormat(Qt::PlainText);
  for (const Answer answer : answers) box.button(QtButton(answer))->setText(PolishText(answer));
  const auto defaultIndex = static_cast<std::size_t>(defaultButton);
  box.setDefaultButton(QtButton(answers[defaultIndex < answers.size() ? defaultIndex : 0]));
  box.exec();
  // Closed because the program ends: whatever the box offered, the answer
  // goes nowhere.
  if (Ending()) return EndingAnswer(buttons);
  const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
  for (const Answer answer : answers) {
    if (QtButton(answer) == clicked) return answer;
  }
  // Closed without a button (Escape or the window's close box): Cancel where
  // the box has it, as the platform did, else its default.
  for (const Answer answer : answers) {
    if (answer == Answer::Cancel) return answer;
  }
  return answers.size() == 1 ? answers[0] : DefaultAnswer(buttons);
}

}  // namespace

Answer ShowMessageBox(std::string_view caption, std::string_view utf8Text, Icon icon, Buttons buttons,
                      DefaultButton defaultButton, QWidget* parent) {
  const char* log = std::getenv("VOKAR_MSGBOX_LOG");
  const bool logged = log != nullptr && *log != '\0';
  std::optional<Answer> answer;
  if (Ending()) {
    answer = EndingAnswer(buttons);
  } else if (logged) {
    answer = ScriptedAnswer(log, buttons);
  }
  if (logged) {
    AppendRecord(log, FormatLogRecord({std::string(caption), std::string(IconName(icon)),
                                       std::string(ButtonsName(buttons)),
                                       answer ? std::string(AnswerName(*answer)) : std::string("show"),
                                       std::string(utf8Text)}));
  }
  if (answer) return *answer;
  return ShowOnScreen(caption, utf8Text, icon, buttons, defaultButton, parent);
}

void SetEnding(bool value) { ending = value; }

bool Ending() { return ending; }

Answer EndingAnswer(Buttons buttons) {
  const auto offered = ButtonAnswers(buttons);
  for (const Answer wanted : {Answer::Cancel, Answer::No, Answer::Ignore}) {
    if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) return wanted;
  }
  return offered.front();
}

}  // namespace vokar::msgbox
