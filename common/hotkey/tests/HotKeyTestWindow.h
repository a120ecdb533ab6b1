// A window with the hot-key group of the server's main window (list, key
// edit, apply button) and one more button to take the focus, recording the
// hot-key events it receives; and a private settings store for each test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "HotKeyList.h"
#include "HotKeyTable.h"
#include "Profile.h"

namespace vokar::testing {

class HotKeyTestWindow : public QWidget {
 public:
  HotKeyTestWindow() {
    auto* layout = new QVBoxLayout(this);
    list = new QListWidget(this);
    edit = new hotkey::CHotKeyEdit(this);
    apply = new QPushButton("Wpr&owadź zmianę", this);
    other = new QPushButton("&Testuj", this);
    layout->addWidget(list);
    layout->addWidget(edit);
    layout->addWidget(apply);
    layout->addWidget(other);
    resize(320, 240);
  }

  std::vector<int> commands;  // the hot-key events received, in order
  QListWidget* list;
  hotkey::CHotKeyEdit* edit;
  QPushButton* apply;
  QPushButton* other;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == hotkey::HotKeyEvent::type()) {
      commands.push_back(static_cast<hotkey::HotKeyEvent*>(event)->command());
      return true;
    }
    return QWidget::event(event);
  }
};

// The server's three actions in slots 0-2.
inline std::vector<hotkey::HotKeyAction> ServerActions() {
  return {{"ReadOrPauseFromClipboard", QStringLiteral("Czytaj/Pauza ze schowka"), 33010},
          {"ReadOrPauseFromActiveApp", QStringLiteral("Czytaj/Pauza z aplikacji"), 33011},
          {"Break", QStringLiteral("Przerwij"), 33012}};
}

// A settings store of the test's own, removed afterwards.
class HotKeyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const char* base = std::getenv("VOKAR_TEST_TMP");
    dir_ = std::filesystem::path(base && *base ? base : std::filesystem::temp_directory_path().string()) /
           ("hotkey-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ::setenv("VOKAR_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    for (int slot = 0; slot < hotkey::kSlotCount; ++slot) hotkey::RemoveHotKey(slot);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  registry::Profile profile_{"Quillmark", "Vokar"};
  void Store(const char* name, const char* text) { ASSERT_TRUE(profile_.WriteString("HotKeys", name, text)); }
  std::string Stored(const char* name) { return profile_.GetString("HotKeys", name, "<missing>"); }

  std::filesystem::path dir_;
};

}  // namespace vokar::testing

// Readable QStrings in the messages of failed expectations.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE
