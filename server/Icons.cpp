#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vokar::server {
namespace {

QPixmap Draw(StateIcon which, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  // A rounded tile in the suite's blue.
  p.setPen(QPen(QColor(20, 45, 110), 1.2));
  p.setBrush(QColor(40, 90, 190));
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

  // The speaker.
  QPainterPath speaker;
  speaker.moveTo(5, 12);
  speaker.lineTo(10, 12);
  speaker.lineTo(17, 6);
  speaker.lineTo(17, 26);
  speaker.lineTo(10, 20);
  speaker.lineTo(5, 20);
  speaker.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(speaker);

  switch (which) {
    case StateIcon::Idle:
      break;
    case StateIcon::Playing: {
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(120, 240, 120), 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawArc(QRectF(14, 11, 8, 10), -60 * 16, 120 * 16);
      p.drawArc(QRectF(13, 7, 14, 18), -60 * 16, 120 * 16);
      break;
    }
    case StateIcon::Paused:
      p.setBrush(QColor(255, 190, 40));
      p.drawRect(QRectF(20, 10, 3.5, 12));
      p.drawRect(QRectF(25.5, 10, 3.5, 12));
      break;
  }
  return pixmap;
}

}  // namespace

QIcon MakeStateIcon(StateIcon which) {
  QIcon icon;
  icon.addPixmap(Draw(which, 32));
  icon.addPixmap(Draw(which, 16));
  return icon;
}

}  // namespace vokar::server
