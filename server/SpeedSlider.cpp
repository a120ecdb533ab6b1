#include "SpeedSlider.h"

#include <QKeyEvent>

namespace vokar::server {

CSpeedSlider::CSpeedSlider(QWidget* parent) : QSlider(Qt::Vertical, parent) {
  setRange(-50, 50);
  setSingleStep(1);
  setPageStep(5);
  setTickInterval(10);
  setTickPosition(QSlider::TicksRight);
  // The smallest position is at the top, and Up moves the thumb up.
  setInvertedAppearance(true);
  setInvertedControls(true);
}

void CSpeedSlider::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Home) {
    setValue(maximum());
    return;
  }
  if (event->key() == Qt::Key_End) {
    setValue(minimum());
    return;
  }
  QSlider::keyPressEvent(event);
}

QString SpeedText(int position) { return QString::number(-position); }

}  // namespace vokar::server
