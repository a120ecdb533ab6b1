// The application object of remarka: the speech client, the text handed to
// it, the settings (font, show command of new comment windows, recent files),
// the comments and the requests of later starts. It starts the program in the
// order the program always started, runs it, and writes the settings at exit.
#pragma once

#include <QObject>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "FontSettings.h"
#include "MessageBox.h"
#include "NamedObjects.h"
#include "ProgramStart.h"
#include "RecentFiles.h"
#include "RemarkaIds.h"
#include "Settings.h"
#include "SpeechClient.h"

namespace vokar::comment {

class CMainFrame;
class CCommentFrame;

// The single-instance semaphore of remarka.
inline constexpr const char* kInstanceSemaphore = "RemarkaInstance";

// How long a later start tries to hand its request to the running program.
inline constexpr int kHandOverWaitMs = 15000;

// --register and --unregister: the comment type for this user; the exit status.
int RunRegistration(bool unregister);
// --write-icons FOLDER; the exit status.
int RunWriteIcons(const std::string& folder);

// Set to 1 in the environment of a program started minimised (as a client
// starts the server); read once and removed.
using app::TakeShowMinimised;

// The full path of a file named on the command line.
std::filesystem::path FullPath(const std::string& file);

class CRemarkaApp : public QObject {
 public:
  explicit CRemarkaApp(app::CApplication& application);
  ~CRemarkaApp() override;

  // The whole run of the program with its command line; the exit status.
  int Run(const CommandLine& line);

  // The start alone, in the program's order: true when the program goes on
  // to its event loop, false when it is done (exitCode says how it ended).
  bool Start(const CommandLine& line);
  int exitCode() const { return exitCode_; }
  // Settings written and the server left, once; also done at destruction.
  void Exit();

  // Comments.
  CCommentFrame* NewComment();
  // Opens the file in a comment window, or brings up the window that shows it
  // already; nothing (after the message) when the file cannot be read.
  CCommentFrame* OpenComment(const std::filesystem::path& file);
  bool SaveComment(CCommentFrame& frame);
  bool SaveCommentAs(CCommentFrame& frame);
  // Saves under that name; false (after a message) when it was not saved.
  bool SaveCommentTo(CCommentFrame& frame, const std::filesystem::path& file);
  // Asks to save a modified comment; false when the user keeps it open.
  bool CanCloseComment(CCommentFrame& frame);
  bool CanCloseAll();
  CCommentFrame* FindComment(const std::filesystem::path& file) const;
  std::vector<CCommentFrame*> Comments() const;

  // The commands of the V&okar menu.
  void ReadComment();
  void PauseSpeech();
  void ContinueSpeech();
  void BreakSpeech();
  void ShowSynthesisParameters();
  void TestSynthesis();
  void ChooseFont();
  // The font chosen for a comment: it becomes the font of comments opened later.
  void ApplyFont(CCommentFrame& frame, const QFont& font);
  // The first view of the comment in the file reads it aloud; no window is shown.
  void ReadFileAloud(const std::filesystem::path& file);

  // What the active view puts here for the read command (ID_GET_TEXT_TO_READ).
  void SetTextToRead(std::optional<std::string> text) { textToRead_ = std::move(text); }
  const std::optional<std::string>& textToRead() const { return textToRead_; }

  // A comment window was shown normal (1) or maximised (3).
  void RecordShowCmd(int showCmd) { showCmd_ = showCmd; }
  int showCmd() const { return showCmd_; }
  const FontSettings& font() const { return font_; }

  CRecentFiles& recentFiles() { return recent_; }
  const app::CSettings& settings() const { return settings_; }
  CMainFrame* frame() const { return frame_.get(); }
  CSpeechClient& client() { return client_; }

  // A request of a later start (or of the program itself): queued and handled
  // from the event loop in the order they came. False when the program is
  // ending and takes no more.
  bool TakeRequest(Verb verb, const std::filesystem::path& file);

  // Shows a message box over the main window (when it is shown).
  msgbox::Answer Message(const std::string& utf8Text, msgbox::Icon icon,
                         msgbox::Buttons buttons = msgbox::Buttons::Ok,
                         msgbox::DefaultButton defaultButton = msgbox::DefaultButton::First);

  // The exit command's end: the main window has closed.
  void Finish();

 private:
  enum class Instance { First, HandedOver, Failed };
  Instance TakeSingleInstance(const CommandLine& line);
  bool HandOver(Verb verb, const std::string& path);
  void ProcessRequests();
  // The main window comes up (the first time minimised when asked), or back
  // from minimised, and to the front.
  void ShowFrame(bool minimised = false);
  void ShowComment(CCommentFrame* frame);
  CCommentFrame* CreateCommentFrame();
  void OpenRecentFile(std::size_t index);
  QWidget* MessageOwner() const;

  struct Request {
    Verb verb;
    std::filesystem::path file;
  };

  app::CApplication& application_;
  app::CSettings settings_{"Remarka"};
  CSpeechClient client_;
  std::optional<named::NamedSemaphore> instance_;
  std::unique_ptr<CMainFrame> frame_;
  std::optional<std::string> textToRead_;
  FontSettings font_, savedFont_;
  int showCmd_ = kShowMaximized, savedShowCmd_ = kShowMaximized;
  CRecentFiles recent_{kRecentFileCount};
  bool embedding_ = false;
  bool frameShown_ = false;
  bool maximiseAtShow_ = false;
  bool started_ = false;
  bool processing_ = false;
  bool ending_ = false;
  bool exited_ = false;
  int untitledCount_ = 0;
  int exitCode_ = 0;
  std::deque<Request> requests_;

  friend class CMainFrame;
};

}  // namespace vokar::comment
