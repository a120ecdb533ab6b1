#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "Widgets.h"

namespace vokar::server {
namespace {

void Draw(QPainter& p, int size, StateIcon which) {
  p.scale(size / 32.0, size / 32.0);

  // A rounded tile in the suite's blue.
  p.setPen(QPen(QColor(20, 45, 110), 1.2));
  p.setBrush(QColor(40, 90, 190));
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(SpeakerPath(QRectF(5, 6, 12, 20)));

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
}

}  // namespace

QPainterPath SpeakerPath(const QRectF& box) {
  // The box of the speaker's body (the rear 5/12 of its width, the middle
  // 0.4 of its height) and the cone widening to the whole height.
  const auto at = [&box](double x, double y) { return QPointF(box.x() + x * box.width(), box.y() + y * box.height()); };
  QPainterPath speaker;
  speaker.moveTo(at(0, 0.3));
  for (const QPointF& corner : {at(5.0 / 12, 0.3), at(1, 0), at(1, 1), at(5.0 / 12, 0.7), at(0, 0.7)})
    speaker.lineTo(corner);
  speaker.closeSubpath();
  return speaker;
}

QIcon MakeStateIcon(StateIcon which) {
  return app::DrawIcon({32, 16}, [which](QPainter& p, int size) { Draw(p, size, which); });
}

}  // namespace vokar::server
