#include "Icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace vokar::keyboard {

StateIcon StateIconOf(bool echo, bool on) {
  if (echo) return on ? StateIcon::EchoOn : StateIcon::EchoOff;
  return on ? StateIcon::WholeWordsOn : StateIcon::WholeWordsOff;
}

QPixmap DrawStateIcon(StateIcon which, int size) {
  const bool on = which == StateIcon::WholeWordsOn || which == StateIcon::EchoOn;
  const bool echo = which == StateIcon::EchoOn || which == StateIcon::EchoOff;
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(size / 32.0, size / 32.0);

  // The key cap: a darker rim below, the face above.
  const QColor rim = on ? QColor(25, 60, 130) : QColor(95, 95, 95);
  const QColor face = on ? QColor(60, 120, 210) : QColor(170, 170, 170);
  p.setPen(Qt::NoPen);
  p.setBrush(rim);
  p.drawRoundedRect(QRectF(1, 2, 30, 29), 6, 6);
  p.setBrush(face);
  p.drawRoundedRect(QRectF(3, 2.5, 26, 24), 5, 5);

  p.setPen(Qt::white);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setStyleStrategy(QFont::PreferAntialias);
  if (echo) {
    // One letter and the sound it makes.
    font.setPixelSize(17);
    p.setFont(font);
    p.drawText(QRectF(3, 3, 16, 23), Qt::AlignCenter, QStringLiteral("A"));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(on ? QColor(150, 255, 150) : QColor(235, 235, 235), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(13, 9, 9, 11), -55 * 16, 110 * 16);
    p.drawArc(QRectF(13, 5, 15, 19), -55 * 16, 110 * 16);
  } else {
    // A word on the key, underlined as it is read.
    font.setPixelSize(11);
    p.setFont(font);
    p.drawText(QRectF(3, 4, 26, 16), Qt::AlignCenter, QStringLiteral("abc"));
    p.setPen(QPen(on ? QColor(150, 255, 150) : QColor(235, 235, 235), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 21), QPointF(24, 21));
  }

  if (!on) {
    // Switched off: struck through in red.
    p.setPen(QPen(QColor(200, 30, 30), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 27), QPointF(27, 5));
  }
  return pixmap;
}

QIcon MakeStateIcon(StateIcon which) {
  QIcon icon;
  for (const int size : {16, 32, 48}) icon.addPixmap(DrawStateIcon(which, size));
  return icon;
}

}  // namespace vokar::keyboard
