// Small pieces every window of the suite needs: bringing a window forward,
// centring it, the file dialogs' filters written as the platform wrote them,
// icons drawn in code at several sizes, and the names a screen reader says.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <functional>
#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QWidget;

namespace vokar::app {

// Restores a minimised window, shows it, raises it and gives it the focus:
// what the tray's right button and a second start of a program ask.
void BringForward(QWidget* window);

// The "..." button beside a file's field: narrow, never the default button,
// its tip and screen-reader name saying what it chooses ("Wybierz plik
// dźwiękowy").
QPushButton* BrowseButton(const QString& what, QWidget* parent);

// A file's field: its label (whose mnemonic leads to the path), the path,
// read-only, and the "..." button that chooses the file, the path and the
// button in a row of their own (the label apart, so that a grid aligns it).
struct FileField {
  QLabel* label;
  QLineEdit* path;
  QPushButton* browse;
  QHBoxLayout* row;
};
FileField MakeFileField(const QString& caption, const QString& what, QWidget* parent);

// The widgets one below the other in the group, in the order given (which
// need not be the order they were made in, and so of the Tab key).
void StackIn(QWidget* group, std::initializer_list<QWidget*> widgets);

// Places the window in the middle of the primary screen's free area.
void CentreOnScreen(QWidget* window);

// A filter of the platform's open-file dialogs ("Słownik (*.exp) |*.exp|
// Wszystkie pliki (*.*) |*.*||") as Qt's file dialog takes it
// ("Słownik (*.exp);;Wszystkie pliki (*)"): descriptions without their own
// pattern, and "*.*" as every file, since Linux names need no dot.
QString QtFileFilter(const QString& platformFilter);

// One of the suite's icons (packaging/icons: "quillmark-sievo"), as the
// program's menu entry shows it, at 16, 32 and 48 pixels; null for a name the
// suite has no icon of.
QIcon SuiteIcon(const QString& name);

// An icon drawn by draw(painter, size) at each size; the painter is set for
// antialiasing on a transparent square of that size.
QIcon DrawIcon(std::initializer_list<int> sizes, const std::function<void(QPainter&, int)>& draw);
QPixmap DrawPixmap(int size, const std::function<void(QPainter&, int)>& draw);

// The name a screen reader says for a control: its caption without the
// mnemonic's "&", without a trailing colon or ellipsis and blanks. Every
// control the kit makes is named so; programs may call it for theirs.
QString ScreenReaderName(const QString& caption);
void SetScreenReaderName(QWidget* widget, const QString& caption);

// Joins a label to the control it labels: the label's mnemonic moves the
// focus there, and the control's screen-reader name is the label's caption.
// Qt's lists and other item views take no name from a buddy label ("lista"
// is all a screen reader says of them), so every labelled list is joined so.
void SetBuddy(QLabel* label, QWidget* control);

// A window made of a plain QWidget (not a dialog or main window) has the role
// "filler" in Qt's accessibility bridge, so a screen reader does not say it
// is a window; from this call on every such window has the role of a window.
// The application object calls it at the start of every program.
void GiveWindowsTheirRole();

}  // namespace vokar::app
