// The server's application object: it makes sure one server runs per desktop
// (a second start hands its file over and ends), reads the command line and
// the saved settings, chooses the wave device, shows the start-up logo, holds
// the text buffer and the engine's data, runs the main window, and saves its
// settings at the end. It owns the settings layout of the whole server.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AllophoneDb.h"
#include "Application.h"
#include "Clipboard.h"
#include "CommandLine.h"
#include "ExceptionDict.h"
#include "LogoWnd.h"
#include "Messages.h"
#include "ProgramStart.h"
#include "ServerDlg.h"
#include "Settings.h"
#include "SpeechSettings.h"
#include "TextBuffer.h"
#include "WaveData.h"
#include "WaveOutBase.h"

class QSocketNotifier;
class QFileSystemWatcher;

namespace vokar::server {

// Engine messages shown as the server's message boxes, the logo closed first.
class CServerMessageSink final : public IMessageSink {
 public:
  explicit CServerMessageSink(CServerApp& app) : app_(app) {}
  void ShowMessage(std::string_view utf8Text, MessageIcon icon) override;

 private:
  CServerApp& app_;
};

class CServerApp {
 public:
  explicit CServerApp(app::CApplication& application);
  ~CServerApp();
  CServerApp(const CServerApp&) = delete;
  CServerApp& operator=(const CServerApp&) = delete;

  // The whole life of the server; the process's exit code.
  int Run(const std::vector<std::string>& arguments);

  enum class StartResult {
    Run,         // this is the server: the main window comes next
    HandedOver,  // another server runs and got the file (or was brought up)
    End,         // the server cannot run (no wave device, no desktop)
  };
  // Start-up up to the main window: single instance, settings, device,
  // command line, logo, buffer, priority.
  StartResult Start(const std::vector<std::string>& arguments);
  // Makes and initialises the main window; false when it cannot be made.
  bool CreateMainWindow();
  // The exit steps: the global settings written, the semaphore released.
  void Exit();
  // Every setting of the server written, once; the exit step that also runs
  // when a library ends the process.
  void SaveSettings();

  void CloseLogo();
  // A message box of the server (caption "Vokar"), the logo closed first.
  void ShowMessage(std::string_view utf8Text, MessageIcon icon);
  void ReadLocale();
  // The logo's files: the work folder's, else the ones installed with the
  // suite.
  std::filesystem::path FindDataFile(std::string_view name) const;

  app::CApplication& application;
  app::CSettings settings{"Vokar"};
  CServerMessageSink messages{*this};
  LocalePunctuation locale;
  std::string workDir;  // empty, or ending in '/'
  CommandLine commandLine;
  bool startMinimised = false;
  app::DesktopSwitches switches;
  std::string service;  // the DDE service: the executable's base name

  std::unique_ptr<waveout::WaveOutBase> waveOut;
  std::unique_ptr<WavePlayback> playback;
  int device = kWaveMapper;
  std::optional<WaveOutCaps> deviceCaps;

  CTextBuffer text;
  CAllophoneDb db;
  CExceptionDict dictionary;
  std::unique_ptr<clipboard::CClipboard> clipboard;
  std::unique_ptr<CLogoWnd> logo;
  std::unique_ptr<CServerDlg> dialog;

 private:
  void WatchLocale();
  void OnDeviceNotice();

  app::CInstanceLock instance_;
  std::unique_ptr<QSocketNotifier> noticeNotifier_;
  std::unique_ptr<QFileSystemWatcher> localeWatcher_;
  bool exited_ = false;
  bool globalSaved_ = false;
};

}  // namespace vokar::server
