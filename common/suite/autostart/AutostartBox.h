// The check box where the user chooses whether Horalo, Vokar and Radko start
// at login. Off until the user ticks it: it shows whether the suite's
// start-up entries are there, and a click runs `vkinstall --autostart` or
// `--no-autostart` beside the program. A window places it with one line.
#pragma once

#include <QCheckBox>

namespace vokar::suite {

class CAutostartBox final : public QCheckBox {
 public:
  explicit CAutostartBox(QWidget* parent);

  // Shows the state of the start-up folder again.
  void Refresh();
};

}  // namespace vokar::suite
