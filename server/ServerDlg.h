// The server's main window: the dialog the user sees, the DDE server window
// other programs talk to, the owner of the tray icon and of the reading
// state, and the place where the engine reads its switches (the check boxes
// and the speed slider) while a job runs. Its commands run from the event
// queue; the reading job keeps that queue turning while it speaks, so pause,
// break, status and the buttons act during speech.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BusWindow.h"
#include "Controls.h"
#include "DdeServer.h"
#include "Icons.h"
#include "ReadingJob.h"
#include "RegularFile.h"
#include "SpeechSettings.h"
#include "SystemMenu.h"
#include "TrayIcon.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace vokar::server {

class CServerApp;
class CSpeedSlider;

class CServerDlg final : public QDialog,
                         public IReadingWindow,
                         public ISpeechSettings,
                         public IDdeHost {
 public:
  explicit CServerDlg(CServerApp& app);
  ~CServerDlg() override;

  // The window's initialisation, in its order: settings into the controls,
  // the timer, the dictionary, the voice, icons and tray, hot keys, drops,
  // the logo told start-up is over, the started event, the command-line file.
  // False when the bus endpoint cannot be made; a voice that cannot be loaded
  // issues the exit command instead, as the window has started.
  bool Initialise(std::string& error);
  // Writes the window's settings and releases what it holds, in the reverse
  // order of taking it. Runs once; the destructor runs it when nobody did.
  void Destroy();
  // Writes the window's settings once; also when the process is ended from
  // a library (the display went away), without touching the display.
  void SaveWindowSettingsOnce();

  // The window's controls by their dialog identifiers.
  QWidget* Control(int id) const;
  app::CCommandMap& commands() { return bus_->commands(); }
  void PostCommand(int id) { bus_->PostCommand(id); }
  desktop::WindowHandle busHandle() const { return bus_ ? bus_->handle() : desktop::WindowHandle{}; }
  CReadingJob& job() { return job_; }
  const std::deque<std::string>& fileQueue() const { return fileQueue_; }
  bool fileJob() const { return fileJob_; }
  QSystemTrayIcon* tray() const;
  QMenu* trayMenu() const;
  StateIcon CurrentIcon() const;
  const std::string& dictionaryPath() const { return dictPath_; }
  bool ExitPending() const { return exitPending_; }

  // The parts of the hot-key developer's work hook in here: capture from the
  // active application when no job runs (command 33011).
  std::function<void()> readFromActiveApp;

  // Commands, as buttons, menus, hot keys and other programs give them.
  void ReadOrPauseFromClipboard();
  void ReadOrPauseFromActiveApp();
  void BreakCommand();
  void ExitCommand();
  void TestSentence();
  void ShowInfo();
  void ShowHelp();
  void ChooseDictionary();
  // Loads the dictionary from a path as the chooser does on OK.
  void LoadDictionaryFrom(const std::string& path);
  void OnExitServer();
  void OnReadText();
  void OnReadNextFile();
  // Reads a file into the text buffer and queues the job, with the messages
  // of a file that cannot be opened or read; true when the job was queued.
  bool ReadFileIntoBuffer(const std::string& path);
  // The same without a message: the cause when the file cannot be read
  // (None when it was read; queued tells whether a job was queued).
  files::FileError LoadFileIntoBuffer(const std::string& path, bool& queued);
  // Queues a file as WM_SERVER_OPENFILE does.
  void QueueFile(std::string path);
  // The system menu of the original window, offered as the window's context
  // menu (the window manager owns the frame). Built afresh each time.
  std::unique_ptr<QMenu> BuildSystemMenu();
  // The tray icon's clicks: left shows its menu, right brings the window up.
  void OnTrayClick(bool leftButton);
  // The 500 ms timer's work.
  void OnTimer();
  void UpdateReadButtonEnabling();

  // IReadingWindow
  void PumpPendingMessages() override;
  void RefreshReadState() override;
  void EnterJob() override;
  void LeaveJob(bool aborted) override;
  int SpeedSlider() const override;
  void SetSpeedSlider(int position) override;
  bool QuitAfterReading() const override;
  void PostExit() override;

  // ISpeechSettings: the check boxes and the application's values.
  bool FluentSpeech() const override;
  bool ColloquialSpeech() const override;
  void SetColloquialSpeech(bool on) override;
  bool UseExpDict() const override;
  bool ConvertCaps() const override;
  int ConvertCapsLimit() const override { return convertCapsLimit_; }
  bool ConvertNumber() const override;
  bool ConvertDate() const override;
  LocalePunctuation Locale() const override;
  std::string WorkDir() const override;
  std::optional<int> SoundSetting(std::string_view name) const override;
  void WriteSoundSetting(std::string_view name, int value) override;
  // The prosody stage's switches, Sound\Intonation and Sound\KeepPitch: the
  // speed slider and the speed tags make the tempo while the pitch is kept.
  ProsodySettings Prosody() const override { return prosody_; }

  // IDdeHost
  bool JobRunning() const override { return job_.Busy(); }
  bool Stopped() const override { return job_.state.stopped; }
  void SetStopped(bool stopped) override { job_.state.stopped = stopped; }
  void StoreText(std::string_view text, TextOrigin origin) override;
  void PostReadText() override { PostCommand(33018); }
  void Break() override { BreakCommand(); }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildHotKeyGroup(QGroupBox* group);
  void InitHotKeys();
  void EndHotKeys();
  // Writes the hot keys' settings without letting the keys go.
  void SaveHotKeys();
  // The hot-key list, its settings and the copy from the active application
  // (ServerDlgHotKeys.cpp).
  struct HotKeys;
  std::shared_ptr<HotKeys> hotKeys_;
  void RegisterCommands();
  void RegisterMessages();
  void LoadWindowSettings();
  void SaveWindowSettings();
  void LoadDictionaryAtStart();
  // Shows whether the dictionary loaded: its name, or an empty path.
  void ShowDictionary(bool loaded);
  void SetUpTray();
  void AddSystemMenuItems(QMenu& menu);
  void ShowMessage(const std::string& utf8Text);
  // Tells the queued files that could not be read, one box at a time.
  void TellUnreadableFiles();
  std::int64_t OnOpenFileMessage(const desktop::Message& message);
  void OnShowMessage();
  void EndDialog();

  CServerApp& app_;
  std::unique_ptr<app::CBusWindow> bus_;
  CBusDdeReplies ddeReplies_;
  std::unique_ptr<CDdeServer> dde_;
  CReadingJob job_;
  QTimer timer_;

  app::CControls controls_;
  QPushButton* read_ = nullptr;
  QPushButton* break_ = nullptr;
  QPushButton* test_ = nullptr;
  QPushButton* info_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* exit_ = nullptr;
  CSpeedSlider* speed_ = nullptr;
  QLabel* speedLabel_ = nullptr;
  QListWidget* hotKeyList_ = nullptr;
  QLineEdit* hotKeyEdit_ = nullptr;
  QPushButton* hotKeyApply_ = nullptr;
  QCheckBox* useDict_ = nullptr;
  QLineEdit* dictName_ = nullptr;
  QPushButton* dictBrowse_ = nullptr;
  QCheckBox* convertNumber_ = nullptr;
  QCheckBox* convertDate_ = nullptr;
  QCheckBox* convertCaps_ = nullptr;
  QCheckBox* accentEveryWord_ = nullptr;
  QCheckBox* colloquial_ = nullptr;

  QIcon icons_[3];
  app::CSystemMenu* systemMenu_ = nullptr;
  app::CTrayIcon* tray_ = nullptr;

  std::string dictPath_;
  int convertCapsLimit_ = 5;
  ProsodySettings prosody_;
  std::deque<std::string> fileQueue_;
  bool fileJob_ = false;
  // Queued files that could not be read, waiting to be told in one box, and
  // whether that box is open now (new ones wait for it to close).
  std::vector<std::pair<std::string, files::FileError>> unreadable_;
  bool tellingUnreadable_ = false;
  bool exitPending_ = false;
  bool destroyed_ = false;
  bool settingsSaved_ = false;
};

}  // namespace vokar::server
