#include "HoraloApp.h"

#include <QTimer>

#include <chrono>
#include <cstdio>

#include "ClockIds.h"
#include "ClockStrings.h"
#include "ClockTime.h"
#include "EventsPage.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "ProgramStart.h"
#include "Schedule.h"

namespace vokar::clock {

CHoraloApp::CHoraloApp(app::CApplication& application)
    : application_(application),
      client_(SpeechClientProgram{kHoraloTitle, static_cast<std::uint32_t>(ID_APP_END)}),
      // The run-time's generator, seeded with the time of the start.
      random_(static_cast<std::minstd_rand::result_type>(CurrentTimeValue())) {}

CHoraloApp::~CHoraloApp() {
  frame_.reset();
  client_.Disconnect();
}

int CHoraloApp::Run() {
  frame_ = std::make_unique<CMainFrame>(*this);
  // The help file lies in the work folder.
  frame_->SetHelpFolder(app::ReadWorkDir(settings_));
  std::string error;
  if (!frame_->Create(error)) {
    msgbox::ShowMessageBox(kHoraloTitle, "Nie można utworzyć okna programu.\n" + error, msgbox::Icon::Stop,
                           msgbox::Buttons::Ok);
    frame_.reset();
    return 1;
  }
  frame_->bus().OnMessage(WM_CLIENT_DISCONNECTED, [this](desktop::Message&) -> std::int64_t {
    // Handled from the event loop, not inside the bus's own dispatch.
    QTimer::singleShot(0, frame_.get(), [this] {
      if (!frame_->ending()) client_.OnServerDisconnected();
    });
    return 0;
  });
  // A request to end from outside (a signal, the end of the session) takes
  // the road of "&Koniec".
  application_.SetMainWindow(frame_.get());
  application_.SetQuitRequestHandler([this] { frame_->bus().PostCommand(ID_APP_END); });
  frame_->show();
  QTimer::singleShot(1000, frame_.get(), [this] { ConnectToServer(); });
  const int code = application_.qt().exec();
  client_.Disconnect();
  return code;
}

void CHoraloApp::ConnectToServer() {
  if (frame_->ending()) return;
  if (!client_.Connect(frame_->bus().handle(), frame_.get())) {
    // The client has told the user why; the clock cannot work without it.
    frame_->Exit(1);
    return;
  }
  frame_->eventsPage().OnConnected();
}

int CHoraloApp::SpeakText(const std::string& cp1250Text, bool breakFirst) {
  if (cp1250Text.empty()) return kSpeakSent;
  return client_.Speak(cp1250Text + std::string(kResetTag), breakFirst ? BreakFirst::Yes : BreakFirst::No);
}

int CHoraloApp::QueryStatus() { return client_.QueryStatus(); }

bool CHoraloApp::Connected() const { return client_.IsConnected(); }

QWidget* CHoraloApp::mainWindow() { return frame_.get(); }

std::uint32_t CHoraloApp::Draw() {
  return std::uniform_int_distribution<std::uint32_t>(0, kRandomDrawMax)(random_);
}

std::int64_t CHoraloApp::Now() const { return CurrentTimeValue(); }

}  // namespace vokar::clock
