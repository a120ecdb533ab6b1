// A test program whose Qt application runs on a private X server: add
//   const auto* const kX = ::testing::AddGlobalTestEnvironment(new QtOnX(withWindowManager));
// and every test of the program finds DISPLAY and a QApplication on Qt's X11
// platform. The server (and openbox) end with the program.
#pragma once

#include <gtest/gtest.h>

// Qt before X11's headers, whose macros Qt's would trip over.
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <cstdlib>

#include "XSession.h"

namespace vokar::testing {

class QtOnX : public ::testing::Environment {
 public:
  explicit QtOnX(bool windowManager = false) : windowManager_(windowManager) {}

  void SetUp() override {
    session_ = new XSession(windowManager_);
    ASSERT_TRUE(session_->ok()) << "Xvfb (or openbox) did not start";
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "vokar_x_test";
    static char* argv[] = {name, nullptr};
    application_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete application_;
    application_ = nullptr;
    delete session_;
    session_ = nullptr;
  }

 private:
  bool windowManager_;
  XSession* session_ = nullptr;
  QApplication* application_ = nullptr;
};

// Shows the window and makes it the active one. A window manager may refuse
// a program's own request (focus stealing prevention), so when the window is
// not active at once it is activated as a pager would, with xdotool.
inline bool ShowActive(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (QTest::qWaitFor([&] { return window->isActiveWindow(); }, 300)) return true;
    RunProgram({"xdotool", "windowactivate", std::to_string(window->winId())});
  }
  return window->isActiveWindow();
}

}  // namespace vokar::testing
