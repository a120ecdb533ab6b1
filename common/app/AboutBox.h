// The about box of a program ("&Info..." and the system menu's about item):
// its picture, its lines of text and an OK button, modal over the window
// that opened it, which gets its focus back when the box closes.
#pragma once

#include <QDialog>

#include "Program.h"

namespace vokar::app {

class CAboutDlg final : public QDialog {
 public:
  CAboutDlg(const ProgramInfo& program, QWidget* parent);
};

// Shows the box and waits until it is closed; the control that had the focus
// before has it again afterwards.
void ShowAboutBox(const ProgramInfo& program, QWidget* parent);

}  // namespace vokar::app
