// The editor inside the test's own process: remarka's application object
// started as the program starts it (offscreen), on a private desktop, settings
// store and desktop folders, talking to the DDE test server that its speech
// client starts through App Paths. The server's log shows what was sent.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AppPaths.h"
#include "Application.h"
#include "ClientTestSupport.h"
#include "CommandLine.h"
#include "MainFrame.h"
#include "Profile.h"
#include "RemarkaApp.h"
#include "RemarkaDoc.h"

// X11's headers define macros (None, Status) that other headers trip over: last.
#include "XSession.h"

namespace vokar::comment::support {

class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("PATH", world_.bin().string() + ":/usr/bin:/bin");
    if (onX11_) {
      // The program on a private X server, as in a desktop session.
      x_ = std::make_unique<testing::XSession>();
      ASSERT_TRUE(x_->ok());
      world_.Unset("QT_QPA_PLATFORM");
    } else {
      world_.Set("QT_QPA_PLATFORM", "offscreen");
    }
    world_.Set("XDG_DATA_HOME", (world_.folder() / "data").string());
    world_.Set("XDG_CONFIG_HOME", (world_.folder() / "xdg-config").string());
    world_.Set("HOME", (world_.folder() / "home").string());
    world_.Set("PATH", world_.bin().string() + ":/usr/bin:/bin");
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 100");
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
    application_ = std::make_unique<app::CApplication>(argc_, argv_, "Remarka");
    remarka_ = std::make_unique<CRemarkaApp>(*application_);
  }
  void TearDown() override {
    remarka_.reset();
    application_.reset();
    x_.reset();
  }

  bool Start(const std::vector<std::string>& arguments = {}) { return remarka_->Start(ParseCommandLine(arguments)); }

  CMainFrame& frame() { return *remarka_->frame(); }

  // A comment file in the test's folder.
  std::filesystem::path Comment(const std::string& name, const std::string& cp1250Text) {
    std::string bytes;
    const auto size = static_cast<std::uint32_t>(cp1250Text.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    return Write(name, bytes + cp1250Text);
  }
  std::filesystem::path Write(const std::string& name, const std::string& bytes) {
    const auto file = world_.folder() / "work" / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  static std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // What the server was asked, without its start lines and the status
  // queries of the test itself (remarka never asks for the status).
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& line : testing::ClientWorld::Lines(serverLog_)) {
      if (!line.starts_with("start ") && line != "execute status") requests.push_back(line);
    }
    return requests;
  }
  // The requests after the first `from` of them.
  std::vector<std::string> RequestsFrom(std::size_t from) const {
    const auto all = Requests();
    return from < all.size() ? std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end())
                             : std::vector<std::string>{};
  }
  bool ServerIdle() { return testing::WaitFor([&] { return remarka_->client().QueryStatus() == 2; }); }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  registry::Profile Settings() const { return registry::Profile("Quillmark", "Remarka"); }

  bool onX11_ = false;
  testing::ClientWorld world_;
  std::unique_ptr<testing::XSession> x_;
  std::filesystem::path serverLog_ = world_.folder() / "server.log";
  int argc_ = 1;
  char name_[8] = "remarka";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<app::CApplication> application_;
  std::unique_ptr<CRemarkaApp> remarka_;
};

}  // namespace vokar::comment::support
