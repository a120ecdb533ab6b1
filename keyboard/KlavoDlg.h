// The talking keyboard's window (dialog 102, "Klavo"): the on/off button,
// the mode, the six sound check boxes, the six hot keys and their editor,
// the "Bufor:" display, the tray icon with its menu. It owns the echo engine,
// the speech client and the calls into the key watcher, in the order the
// program starts and ends them, and is the window other programs and the
// watcher reach on the desktop bus.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

#include "BusWindow.h"
#include "Controls.h"
#include "HotKeyList.h"
#include "Icons.h"
#include "KlavoEngine.h"
#include "Settings.h"
#include "SpeechClient.h"
#include "SystemMenu.h"
#include "TrayIcon.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;

namespace vokar::clipboard {
class CClipboard;
}

namespace vokar::keyboard {

class CKlavoApp;

class CKlavoDlg final : public QDialog, public IKlavoHost {
 public:
  explicit CKlavoDlg(CKlavoApp& app);
  ~CKlavoDlg() override;

  // The window's start, in its order: the bus window, icons and tray, the
  // settings into the controls and the watcher's mode, the typing buffer,
  // the speech client, the hot keys, the watcher started and the saved
  // on/off state restored with its sound, the timer, the window shown.
  // False when the program cannot run (no desktop bus, no buffer); when the
  // speech client cannot connect the window closes itself at once.
  bool Initialise(std::string& error);
  // The end, in its order: the timer, the settings, the tray, the speech
  // client, the hot keys, the watcher; then the buffer's own settings. Runs
  // once; the destructor runs it when nobody did.
  void Destroy();

  // Commands, as buttons, hot keys, the tray menu and other programs give
  // them.
  void StartStop();
  void SwitchEcho();
  void SelectMode(bool echo);
  void ClearBuffer();
  void LoadBuffer();
  void LastWord();
  void LastSentence();
  void ShowAbout();
  void ShowHelp();
  void PostQuit();
  // Brings the window forward, as a second start asks.
  void BringForward();
  // The tray icon's clicks: left opens its menu, right brings the window up.
  void OnTrayClick(bool leftButton);
  void OnServerDisconnected();
  void OnTimer();

  // True when the speech client could not connect: the window is not shown
  // and the program ends at once.
  bool startFailed() const { return startFailed_; }

  // The window's state.
  bool on() const { return on_; }
  bool echo() const;
  QWidget* Control(int id) const;
  QSystemTrayIcon* tray() const;
  QMenu* trayMenu() const;
  StateIcon CurrentIcon() const { return StateIconOf(echo(), on_); }
  CKlavoEngine& engine() { return engine_; }
  app::CBusWindow* bus() const { return bus_.get(); }
  hotkey::CHotKeyList* hotKeys() const { return hotKeyList_.get(); }

  // IKlavoHost
  int Speak(const std::string& text, Interrupt interrupt) override;
  void BreakSpeech() override;
  bool EchoMode() const override { return echo(); }
  bool SoundOn(Sound sound) const override;
  bool DelayedTalk() const override { return delayedTalk_ != 0; }
  void RefreshDisplay() override;

 protected:
  bool event(QEvent* event) override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void RegisterCommands();
  void RegisterMessages();
  void LoadSettings();
  void SaveSettings();
  void SetUpTray();
  void UpdateIcon();
  void TellWhatTheWatcherHears();
  void ShowMessage(const std::string& utf8Text);

  CKlavoApp& app_;
  app::CSettings& settings_;
  CKlavoEngine engine_;
  CSpeechClient client_;
  std::unique_ptr<app::CBusWindow> bus_;
  hotkey::ProfileHotKeySettings hotKeySettings_;
  std::unique_ptr<hotkey::CHotKeyList> hotKeyList_;
  QTimer timer_;

  app::CControls controls_;
  QPushButton* startStop_ = nullptr;
  QRadioButton* wholeWords_ = nullptr;
  QRadioButton* echo_ = nullptr;
  std::map<Sound, QCheckBox*> sounds_;
  QListWidget* hotKeyListBox_ = nullptr;
  hotkey::CHotKeyEdit* hotKeyEdit_ = nullptr;
  QPushButton* hotKeyApply_ = nullptr;
  QLineEdit* display_ = nullptr;
  QLabel* stateLabel_ = nullptr;

  std::map<StateIcon, QIcon> icons_;
  app::CTrayIcon* tray_ = nullptr;

  bool on_ = true;
  int delayedTalk_ = 1;
  bool initialised_ = false;
  bool startFailed_ = false;
  bool watcherStarted_ = false;
  bool destroyed_ = false;
};

}  // namespace vokar::keyboard
