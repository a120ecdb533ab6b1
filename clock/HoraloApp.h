// CHoraloApp: the clock program. It owns the settings
// (HKEY_CURRENT_USER\Software\Quillmark\Horalo), the speech client, connected
// one second after start, and the main window; it speaks for the pages.
#pragma once

#include <memory>
#include <random>
#include <string>

#include "Application.h"
#include "ClockHost.h"
#include "Settings.h"
#include "SpeechClient.h"

namespace vokar::clock {

class CMainFrame;

inline constexpr const char* kHoraloTitle = "Horalo";

class CHoraloApp final : public IClockHost {
 public:
  explicit CHoraloApp(app::CApplication& application);
  ~CHoraloApp() override;

  // The whole life of the program; its exit code.
  int Run();

  int SpeakText(const std::string& cp1250Text, bool breakFirst) override;
  int QueryStatus() override;
  bool Connected() const override;
  const app::CSettings& settings() const override { return settings_; }
  QWidget* mainWindow() override;
  std::uint32_t Draw() override;
  std::int64_t Now() const override;

  CMainFrame* frame() { return frame_.get(); }
  CSpeechClient& client() { return client_; }

 private:
  void ConnectToServer();

  app::CApplication& application_;
  app::CSettings settings_{kHoraloTitle};
  CSpeechClient client_;
  std::unique_ptr<CMainFrame> frame_;
  std::minstd_rand random_;
};

}  // namespace vokar::clock
