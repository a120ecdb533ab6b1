#include "SpeedSlider.h"

#include <algorithm>

namespace vokar::server {

CSpeedSlider::CSpeedSlider(QWidget* parent) : QSlider(Qt::Vertical, parent) {
  // A vertical slider has its largest value at the top, Up and Page Up add,
  // Home goes to the smallest and End to the largest: as the speed wants.
  setRange(-50, 50);
  setSingleStep(1);
  setPageStep(5);
  setTickInterval(10);
  setTickPosition(QSlider::TicksRight);
}

void CSpeedSlider::setPosition(int position) { setValue(-std::clamp(position, -50, 50)); }

QString SpeedText(int position) { return QString::number(-position); }

}  // namespace vokar::server
