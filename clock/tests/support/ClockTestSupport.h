// What the tests of the clock's windows share: a Qt application on the
// offscreen platform, a world of their own for each test (a folder with the
// settings store, the message log and the config folder, all removed at the
// end) and a host that stands where the program stands for the pages: it
// keeps what the pages hand over to be spoken, answers the server's status
// as the test sets it and gives the time the test chooses.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ClockHost.h"
#include "Cp1250.h"
#include "Events.h"
#include "EventsFile.h"
#include "MessageBox.h"
#include "Settings.h"
#include "ScopedEnvironment.h"
#include "TestFolder.h"

namespace vokar::clock::test {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "clock_ui_test";
    static char* argv[] = {name, nullptr};
    application_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete application_;
    application_ = nullptr;
  }

 private:
  QApplication* application_ = nullptr;
};

// A test that ends the clock's window asks the application to quit, and Qt
// then ends at once every event loop started afterwards (a modal dialog's
// among them) until the application's own loop has run. A test run after it
// in the same process starts with the request cleared.
inline void ClearQuitRequest() {
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();
}

// The test's own folder with its settings store, config folder and message
// log, in UTC; the environment is given back at the end.
class ClockWorld {
 public:
  ClockWorld() {
    std::filesystem::create_directories(folder_ / "registry");
    std::filesystem::create_directories(folder_ / "config");
    Set("VOKAR_REGISTRY_DIR", (folder_ / "registry").string());
    Set("VOKAR_CONFIG_DIR", (folder_ / "config").string());
    Set("VOKAR_MSGBOX_LOG", (folder_ / "messages.log").string());
    Set("TZ", "UTC");
  }
  ClockWorld(const ClockWorld&) = delete;
  ClockWorld& operator=(const ClockWorld&) = delete;

  void Set(const std::string& name, const std::string& value) { environment_.Set(name, value); }

  const vokar::test::TestFolder& folder() const { return folder_; }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& message : msgbox::ReadMessageLog(folder_ / "messages.log")) texts.push_back(message.text);
    return texts;
  }
  std::vector<msgbox::LoggedMessage> LoggedMessages() const {
    return msgbox::ReadMessageLog(folder_ / "messages.log");
  }

 private:
  vokar::test::TestFolder folder_{"clock"};
  vokar::test::ScopedEnvironment environment_;
};

struct Spoken {
  std::string utf8;  // the text handed over, in UTF-8 for readable checks
  bool breakFirst;
  friend bool operator==(const Spoken&, const Spoken&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Spoken& s) {
  return out << "{\"" << s.utf8 << "\", " << (s.breakFirst ? "break" : "no break") << "}";
}

class TestHost final : public IClockHost {
 public:
  int SpeakText(const std::string& cp1250Text, bool breakFirst) override {
    if (cp1250Text.empty()) return 0;
    spoken.push_back({cp1250::ToUtf8(cp1250Text), breakFirst});
    if (results.empty()) return 0;
    const int result = results.front();
    results.pop_front();
    return result;
  }
  int QueryStatus() override {
    ++statusQueries;
    return status;
  }
  bool Connected() const override { return connected; }
  const app::CSettings& settings() const override { return settings_; }
  QWidget* mainWindow() override { return owner; }
  std::uint32_t Draw() override { return draw; }
  std::int64_t Now() const override { return now; }

  std::vector<Spoken> spoken;
  std::deque<int> results;  // what SpeakText answers, in turn; 0 when used up
  int status = 2;           // idle
  int statusQueries = 0;
  bool connected = true;
  std::uint32_t draw = 16384;
  std::int64_t now = 0;
  QWidget* owner = nullptr;

 private:
  app::CSettings settings_{"Horalo"};
};

// A daily event (its date fields as the dialog leaves them).
inline EVENT_DSCR Daily(int hour, int minute, std::string text, bool important = false,
                        std::uint32_t confirmed = 0) {
  EVENT_DSCR e;
  e.kind = RepeatKind::Daily;
  e.time.year = 2026;
  e.time.month = 11;
  e.time.day = 1;
  e.time.hour = hour;
  e.time.minute = minute;
  e.text = std::move(text);
  e.important = important;
  e.confirmed = confirmed;
  return e;
}

// An events file of the world's folder holding the events.
inline std::filesystem::path WriteEvents(const ClockWorld& world, const std::string& name,
                                         const std::vector<EVENT_DSCR>& events) {
  EventArrays arrays;
  for (const auto& e : events) arrays[static_cast<std::size_t>(e.kind)].push_back(e);
  return world.folder().Write(name, SerializeEventsStream(arrays));
}

// A time value of a UTC date and time.
inline std::int64_t Utc(int year, int month, int day, int hour, int minute, int second = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return static_cast<std::int64_t>(::timegm(&t));
}

}  // namespace vokar::clock::test
