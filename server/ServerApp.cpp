#include "ServerApp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include "DataDirs.h"
#include "Desktop.h"
#include "DeviceChoice.h"
#include "HandOver.h"
#include "Intl.h"
#include "MessageBox.h"
#include "NamedFile.h"
#include "PlatformFileAccess.h"
#include "ServerIds.h"
#include "ServerStrings.h"
#include "WaveOutFactory.h"

namespace vokar::server {
namespace {

msgbox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop: return msgbox::Icon::Stop;
    case MessageIcon::Warning: return msgbox::Icon::Warning;
    case MessageIcon::Information: return msgbox::Icon::Information;
    case MessageIcon::None: return msgbox::Icon::None;
  }
  return msgbox::Icon::None;
}

}  // namespace

void CServerMessageSink::ShowMessage(std::string_view utf8Text, MessageIcon icon) { app_.ShowMessage(utf8Text, icon); }

CServerApp::CServerApp(app::CApplication& application) : application(application) {
  // Wave inserts, the dictionary and the voice are read by the one rule for
  // files named from outside: regular files only, never blocking.
  files::InstallPlatformFileAccess();
  // The name of the application and the locale punctuation come first.
  ReadLocale();
}

CServerApp::~CServerApp() {
  // The exit step refers to this object: it runs now, while it is alive.
  application.RunExitSteps();
  if (dialog) dialog->Destroy();
  Exit();
  dialog.reset();
  logo.reset();
  noticeNotifier_.reset();
  playback.reset();
  waveOut.reset();
}

void CServerApp::ReadLocale() {
  const intl::IntlValues values = intl::ReadIntl();
  locale = {values.decimal, values.thousand, values.date, values.shortDate};
}

void CServerApp::WatchLocale() {
  // The locale punctuation is read again whenever intl.ini changes: the file
  // is watched, and its folder too, since editors replace files and a file
  // may be made after the server started.
  localeWatcher_ = std::make_unique<QFileSystemWatcher>();
  const auto folder = intl::ConfigDir();
  const auto file = folder / "intl.ini";
  auto rewatch = [this, folder, file] {
    if (std::filesystem::exists(folder) && !localeWatcher_->directories().contains(QString::fromStdString(folder)))
      localeWatcher_->addPath(QString::fromStdString(folder.string()));
    if (std::filesystem::exists(file) && !localeWatcher_->files().contains(QString::fromStdString(file)))
      localeWatcher_->addPath(QString::fromStdString(file.string()));
  };
  rewatch();
  auto changed = [this, rewatch](const QString&) {
    rewatch();
    ReadLocale();
  };
  QObject::connect(localeWatcher_.get(), &QFileSystemWatcher::fileChanged, localeWatcher_.get(), changed);
  QObject::connect(localeWatcher_.get(), &QFileSystemWatcher::directoryChanged, localeWatcher_.get(), changed);
}

CServerApp::StartResult CServerApp::Start(const std::vector<std::string>& arguments) {
  startMinimised = app::TakeShowMinimised();
  if (instance_.Take(kInstanceSemaphore, kServerTitle) != app::CInstanceLock::Result::First) {
    commandLine = ParseCommandLine(arguments);
    const auto result = HandOverToRunningServer(commandLine, std::chrono::milliseconds(kHandOverWaitMs));
    if (result == HandOverResult::NoWindow) {
      // The running server never showed its window: say so rather than lose
      // the file silently.
      std::string text = Strings().Utf8(IDS_NO_WINDOW_OF_RUNNING_SERVER);
      if (!commandLine.file.empty())
        text += "\n" + Strings().Utf8(IDS_FILE_NOT_HANDED_OVER) + "\n" + app::DisplayName(FullPath(commandLine.file));
      msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), text, msgbox::Icon::Stop, msgbox::Buttons::Ok);
    }
    return StartResult::HandedOver;
  }

  // The wave device.
  waveOut = waveout::CreateWaveOut();
  const auto chosen = ChooseWaveDevice(settings.ReadInt("Sound", "WaveDevice", 0), waveOut->DeviceCount());
  if (!chosen) {
    msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), Strings().Utf8(IDS_NO_WAVE_DEVICE), msgbox::Icon::Stop,
                           msgbox::Buttons::Ok);
    return StartResult::End;
  }
  device = *chosen;
  deviceCaps = waveOut->Caps(device);
  playback = std::make_unique<WavePlayback>(*waveOut);
  noticeNotifier_ = std::make_unique<QSocketNotifier>(waveOut->NoticeFd(), QSocketNotifier::Read);
  QObject::connect(noticeNotifier_.get(), &QSocketNotifier::activated, noticeNotifier_.get(),
                   [this] { OnDeviceNotice(); });

  // The DDE service is the executable's own name.
  service = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
  if (service.empty()) service = "vokar";

  workDir = app::ReadWorkDir(settings);

  commandLine = ParseCommandLine(arguments);
  startMinimised = startMinimised || commandLine.startMinimised;

  const bool showLogo = commandLine.logo == LogoSwitch::On ||
                        (commandLine.logo == LogoSwitch::NotGiven && settings.ReadInt("Global", "InitLogo", 1) != 0);
  if (showLogo) {
    logo = std::make_unique<CLogoWnd>(FindDataFile(Strings().Utf8(IDS_LOGO_BITMAP)),
                                      FindDataFile(Strings().Utf8(IDS_LOGO_SOUND)), *waveOut, device);
    logo->Start();
  }

  switches = app::ReadDesktopSwitches(settings);

  clipboard = std::make_unique<clipboard::CClipboard>();
  WatchLocale();
  return StartResult::Run;
}

std::filesystem::path CServerApp::FindDataFile(std::string_view name) const {
  const std::filesystem::path inWorkDir = std::filesystem::path(workDir) / name;
  std::error_code error;
  if (std::filesystem::is_regular_file(inWorkDir, error)) return inWorkDir;
  for (const auto& folder : paths::DataDirs()) {
    if (std::filesystem::is_regular_file(folder / name, error)) return folder / name;
  }
  return inWorkDir;
}

bool CServerApp::CreateMainWindow() {
  dialog = std::make_unique<CServerDlg>(*this);
  std::string error;
  if (!dialog->Initialise(error)) {
    CloseLogo();
    msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), Strings().Utf8(IDS_NO_DESKTOP) + "\n" + error,
                           msgbox::Icon::Stop, msgbox::Buttons::Ok);
    dialog.reset();
    return false;
  }
  return true;
}

int CServerApp::Run(const std::vector<std::string>& arguments) {
  switch (Start(arguments)) {
    case StartResult::HandedOver: return 0;
    case StartResult::End: return 1;
    case StartResult::Run: break;
  }
  application.AddExitStep([this] { SaveSettings(); });
  // A request to end from outside takes the road of the exit button.
  application.SetQuitRequestHandler([this] {
    if (dialog) dialog->ExitCommand();
  });
  const bool started = CreateMainWindow();
  return application.RunMainDialog(dialog.get(), started, [this] {
    if (dialog) dialog->Destroy();
    Exit();
  });
}

void CServerApp::Exit() {
  if (exited_ || !waveOut) return;
  exited_ = true;
  CloseLogo();
  SaveSettings();
  instance_.Release();
}

void CServerApp::SaveSettings() {
  if (dialog) dialog->SaveWindowSettingsOnce();
  if (globalSaved_ || !waveOut) return;
  globalSaved_ = true;
  settings.WriteIntIfAbsent("Global", "InitLogo", 1);
  app::WriteDesktopSwitches(settings, switches, workDir);
}

void CServerApp::CloseLogo() {
  if (logo) logo->CloseLogo();
}

void CServerApp::ShowMessage(std::string_view utf8Text, MessageIcon icon) {
  CloseLogo();
  msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), utf8Text, BoxIcon(icon), msgbox::Buttons::Ok,
                         msgbox::DefaultButton::First, dialog.get());
}

void CServerApp::OnDeviceNotice() {
  waveOut->DeliverNotices();
  if (logo) logo->OnDeviceNotice();
}

}  // namespace vokar::server
