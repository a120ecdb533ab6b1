// The controls of a window by the identifiers its original dialog gave them.
// Each control carries its number in its object name ("control200"), so that
// tests and tools find it as on the original desktop, and a window finds its
// own by number.
#pragma once

#include <QString>
#include <QWidget>

#include <map>

namespace vokar::app {

// The object name of a control with this identifier, and of a dialog.
QString ControlName(int id);
QString DialogName(int id);

class CControls {
 public:
  // Names the control and keeps it under its number; the control itself.
  template <class Widget>
  Widget* Add(int id, Widget* widget) {
    Keep(id, widget);
    return widget;
  }
  // The control of that number, or nothing.
  QWidget* Find(int id) const;
  const std::map<int, QWidget*>& all() const { return controls_; }

 private:
  void Keep(int id, QWidget* widget);
  std::map<int, QWidget*> controls_;
};

}  // namespace vokar::app
