// Message boxes of every program: one call that shows a Qt message box with a
// caption, a text (UTF-8), an icon and a set of buttons, and returns the button
// chosen. With VOKAR_MSGBOX_LOG=FILE nothing is shown: the message is appended
// to FILE and the answer comes from VOKAR_MSGBOX_ANSWER, so that tests of real
// processes see every message the programs show.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace vokar::msgbox {

enum class Icon { None, Stop, Warning, Information, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };
enum class Answer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };
enum class DefaultButton { First, Second, Third };

// Shows the message and returns the button the user chose. The box is modal
// and centred on parent when one is given. A program without a QApplication
// gets one for the time of the box; where there is no display at all (no
// DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM), such a program writes
// "caption: text" to standard error and gets the answer of log mode.
//
// In log mode (VOKAR_MSGBOX_LOG set) the answer is the next entry of the
// comma-separated list in VOKAR_MSGBOX_ANSWER (button names as AnswerName
// gives them, any case), taken in turn by each message of the process; the
// turn starts again at the first entry whenever the process is given another
// list or another log file (a test program runs each test with its own). When
// the list is used up, missing, or names a button the box does not have, the
// answer is OK, else Yes, else Ignore for Abort/Retry/Ignore and Retry for
// Retry/Cancel. The entry "show" logs the message and then shows the box on
// screen and waits for the user, as without the log: a test of a process can
// hold a box open and know it is open.
Answer ShowMessageBox(std::string_view caption, std::string_view utf8Text, Icon icon, Buttons buttons,
                      DefaultButton defaultButton = DefaultButton::First, QWidget* parent = nullptr);

// Names used in the log and in VOKAR_MSGBOX_ANSWER: "stop", "ok-cancel", "yes".
std::string_view IconName(Icon icon);
std::string_view ButtonsName(Buttons buttons);
std::string_view AnswerName(Answer answer);
std::optional<Answer> AnswerFromName(std::string_view name);

// The answer that log mode gives when nothing else is scripted.
Answer DefaultAnswer(Buttons buttons);

// A program that is ending (a signal, the end of the desktop session) shows
// no more boxes: from SetEnding(true) on, every box is answered at once with
// the answer that leads nowhere (logged as usual in log mode), and a box that
// is open when its loop is ended from outside gives that answer too.
void SetEnding(bool ending);
bool Ending();
// Cancel where the box has it, else No, else Ignore, else OK.
Answer EndingAnswer(Buttons buttons);

// One record of the log. A record is one line of tab-separated fields
//   caption=...<TAB>icon=...<TAB>buttons=...<TAB>answer=...<TAB>text=...
// in which backslash, tab, carriage return and line feed inside a field are
// written \\, \t, \r and \n.
struct LoggedMessage {
  std::string caption;
  std::string icon;
  std::string buttons;
  std::string answer;
  std::string text;
};

std::string FormatLogRecord(const LoggedMessage& message);
// Nothing for a line that is not a record.
std::optional<LoggedMessage> ParseLogRecord(std::string_view line);
// Every record of a log file; an empty list when the file is missing.
std::vector<LoggedMessage> ReadMessageLog(const std::filesystem::path& file);

}  // namespace vokar::msgbox
