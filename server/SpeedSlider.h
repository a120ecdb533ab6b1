// The speed slider: vertical, -50 at the top and +50 at the bottom, a tick
// every 10; the speech speed in percent is the negated position. Home moves
// the thumb to the bottom (+50) and End to the top (-50), arrows and pages
// step by 1 and 5 the way the thumb looks.
#pragma once

#include <QSlider>

namespace vokar::server {

class CSpeedSlider final : public QSlider {
 public:
  explicit CSpeedSlider(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The label's text for a position: the speed as a signed number without a plus sign.
QString SpeedText(int position);

}  // namespace vokar::server
