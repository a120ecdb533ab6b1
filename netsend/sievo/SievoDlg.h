// The sender's one window, dialog 102 "Sievo": the target computer (typed or
// browsed), the text source (the clipboard or the message below), Send and
// Break each as one conversation with that computer's share, the about box,
// help and the end. Its settings are read when it opens and written when it
// goes, whichever way it was closed. The buttons are commands of its
// desktop-bus window "Sievo", so another program may press them too.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BusWindow.h"
#include "NetSpeechClient.h"
#include "Settings.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vokar::clipboard {
class CClipboard;
}

namespace vokar::netsend {

// The editor of the message: multi-line, Enter starts a new line, and it
// takes at most kMaxMessage characters.
class CMessageEdit;

class CSievoDlg final : public QDialog {
 public:
  // workDir: the folder of the help page.
  CSievoDlg(app::CSettings& settings, std::string workDir, NetSpeechOptions clientOptions,
            QWidget* parent = nullptr);
  ~CSievoDlg() override;

  // Makes the bus window and connects the client; false when the dialog
  // must end at once (result 2).
  bool Initialise(std::string& error);

  // The settings are written and the client disconnected: called once when
  // the window goes, whichever way it was closed.
  void Destroy();

  app::CCommandMap& commands() { return bus_->commands(); }
  NetSpeechClient& client() { return client_; }
  desktop::WindowHandle busHandle() const { return bus_ ? bus_->handle() : desktop::WindowHandle{}; }

  // What the buttons run.
  void OnSend();
  void OnBreak();
  void OnBrowse();
  void ShowInfo();
  void ShowHelp();

  // The browse dialog the Browse button calls; the tests put their own in.
  using BrowseFunction = std::function<int(QWidget*, char*, int)>;
  void SetBrowseFunction(BrowseFunction browse) { browse_ = std::move(browse); }

  // The text Send would take now (code page 1250), per the source chosen.
  std::string TextToSend() const;
  std::string ComputerName() const;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  // The computer a Send or Break goes to; nothing while an operation runs,
  // or when no computer is named (the user is told).
  std::optional<std::string> TargetComputer();
  // True when an operation runs (its conversation waits): a button pressed
  // meanwhile is not taken.
  bool Running() const { return running_; }

  app::CSettings& settings_;
  std::string workDir_;
  NetSpeechClient client_;
  std::unique_ptr<app::CBusWindow> bus_;
  std::unique_ptr<clipboard::CClipboard> clipboard_;
  BrowseFunction browse_;
  QLineEdit* computer_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QRadioButton* fromClipboard_ = nullptr;
  QRadioButton* fromMessage_ = nullptr;
  CMessageEdit* message_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* break_ = nullptr;
  QPushButton* info_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* exit_ = nullptr;
  bool running_ = false;
  bool destroyed_ = false;
};

}  // namespace vokar::netsend
