// The speed slider: vertical, +50 % at the top and -50 % at the bottom, a
// tick every 10 %. The window's settings and the reading job know it by its
// position, the negated speed (-50 at the top); the slider itself holds the
// speed, so that the value a screen reader reads is the number its label
// shows. Up and Page Up make speech faster and move the thumb up, Home moves
// it to the bottom (-50 %) and End to the top (+50 %).
#pragma once

#include <QSlider>

namespace vokar::server {

class CSpeedSlider final : public QSlider {
 public:
  explicit CSpeedSlider(QWidget* parent = nullptr);

  // The position: -50 at the top, +50 at the bottom; the speed negated.
  int position() const { return -value(); }
  // Clamped to -50..+50.
  void setPosition(int position);
};

// The label's text for a position: the speed as a signed number without a plus sign.
QString SpeedText(int position);

}  // namespace vokar::server
