// The uninstaller's window: a small captioned window without a close button,
// centred on the screen, with the status line in the middle (a label, which a
// screen reader reads) and a progress bar along the bottom, drawn at once
// whenever the script moves on.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include "Uninstaller.h"

namespace vokar::uninstall {

class CRemoveWindow final : public QWidget, public StatusView {
 public:
  CRemoveWindow();

  // Shows the window and waits (at most a second) until the display has
  // mapped it, so that the first status is drawn, not lost.
  void ShowAndWait();

  void SetStatus(int stringId, int position) override;
  QWidget* widget() override { return this; }

  QString status() const { return status_->text(); }
  int position() const { return progress_->value(); }

  // The window's icon: the suite's, as the uninstaller's menu entry shows it.
  static QIcon MakeIcon();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceControls();

  QLabel* status_;
  QProgressBar* progress_;
};

}  // namespace vokar::uninstall
