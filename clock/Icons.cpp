#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace vokar::clock {

QPixmap DrawClockIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QPointF centre(s / 2, s / 2);
  const double radius = s * 0.46;

  // The case: a warm brass ring around a light face.
  QRadialGradient brass(centre, radius, QPointF(s * 0.35, s * 0.3));
  brass.setColorAt(0, QColor(250, 214, 120));
  brass.setColorAt(1, QColor(176, 118, 28));
  p.setPen(QPen(QColor(96, 60, 10), std::max(1.0, s / 32)));
  p.setBrush(brass);
  p.drawEllipse(centre, radius, radius);
  const double face = radius * 0.8;
  QRadialGradient paper(centre, face, QPointF(s * 0.42, s * 0.38));
  paper.setColorAt(0, QColor(255, 255, 250));
  paper.setColorAt(1, QColor(226, 230, 236));
  p.setPen(Qt::NoPen);
  p.setBrush(paper);
  p.drawEllipse(centre, face, face);

  // Hour marks: the four quarters stronger.
  for (int hour = 0; hour < 12; ++hour) {
    const double angle = hour * std::numbers::pi / 6;
    const bool quarter = hour % 3 == 0;
    if (size < 24 && !quarter) continue;
    const double outer = face * 0.92;
    const double inner = face * (quarter ? 0.7 : 0.8);
    p.setPen(QPen(QColor(40, 40, 60), std::max(1.0, s / (quarter ? 16 : 28)), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(centre.x() + inner * std::sin(angle), centre.y() - inner * std::cos(angle)),
               QPointF(centre.x() + outer * std::sin(angle), centre.y() - outer * std::cos(angle)));
  }

  // Ten past ten, the hands of every clock picture.
  auto hand = [&](double angle, double length, double width, const QColor& colour) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, QPointF(centre.x() + length * std::sin(angle), centre.y() - length * std::cos(angle)));
  };
  hand((10 + 10.0 / 60) * std::numbers::pi / 6, face * 0.5, std::max(1.5, s / 12), QColor(30, 30, 50));
  hand(2 * std::numbers::pi * 10 / 60, face * 0.78, std::max(1.0, s / 18), QColor(30, 30, 50));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(190, 30, 30));
  p.drawEllipse(centre, s / 18 + 0.5, s / 18 + 0.5);
  return pixmap;
}

QIcon ClockIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawClockIcon(size));
  return icon;
}

}  // namespace vokar::clock
