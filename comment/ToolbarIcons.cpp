#include "ToolbarIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include "RemarkaIds.h"

namespace vokar::comment {
namespace {

const QColor kInk(0, 0, 0), kPaper(255, 255, 255), kShade(128, 128, 128), kFolder(224, 192, 64), kNavy(0, 0, 128),
    kGreen(0, 128, 0), kRed(192, 0, 0), kBlue(0, 64, 192), kBrown(160, 96, 32), kSilver(192, 192, 192);

void Page(QPainter& p, int x, int y, int w, int h) {
  p.setPen(kInk);
  p.setBrush(kPaper);
  p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + w - 4, y), QPoint(x + w, y + 4), QPoint(x + w, y + h),
                          QPoint(x, y + h)}));
  p.drawLine(x + w - 4, y, x + w - 4, y + 4);
  p.drawLine(x + w - 4, y + 4, x + w, y + 4);
}

void Speaker(QPainter& p) {
  p.setPen(kInk);
  p.setBrush(kInk);
  p.drawRect(1, 6, 3, 4);
  p.drawPolygon(QPolygon({QPoint(4, 6), QPoint(8, 2), QPoint(8, 13), QPoint(4, 10)}));
}

void Waves(QPainter& p, const QColor& color) {
  p.setPen(QPen(color, 1));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRect(6, 4, 6, 8), -60 * 16, 120 * 16);
  p.drawArc(QRect(6, 1, 9, 14), -60 * 16, 120 * 16);
}

void QuestionMark(QPainter& p, int x, int y, int size, const QColor& color) {
  QFont font;
  font.setPixelSize(size);
  font.setBold(true);
  p.setFont(font);
  p.setPen(color);
  p.drawText(QRect(x, y, size, size), Qt::AlignCenter, QStringLiteral("?"));
}

}  // namespace

QImage ToolbarImage(int command) {
  QImage image(kToolbarImageSize, kToolbarImageSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  switch (command) {
    case ID_FILE_NEW:
      Page(p, 3, 1, 10, 14);
      break;
    case ID_FILE_OPEN:
      p.setPen(kInk);
      p.setBrush(kFolder);
      p.drawPolygon(QPolygon({QPoint(1, 4), QPoint(5, 4), QPoint(6, 5), QPoint(13, 5), QPoint(13, 13), QPoint(1, 13)}));
      p.setBrush(QColor(248, 224, 112));
      p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(15, 8), QPoint(13, 13), QPoint(1, 13)}));
      break;
    case ID_FILE_SAVE:
      p.setPen(kInk);
      p.setBrush(kNavy);
      p.drawRect(1, 1, 13, 13);
      p.setBrush(kPaper);
      p.drawRect(3, 2, 9, 6);
      p.setBrush(kSilver);
      p.drawRect(4, 10, 7, 4);
      p.fillRect(8, 11, 2, 2, kNavy);
      break;
    case ID_EDIT_CUT:
      p.setPen(kInk);
      p.drawLine(5, 1, 9, 9);
      p.drawLine(10, 1, 6, 9);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(kNavy, 1));
      p.drawEllipse(QRect(2, 9, 4, 5));
      p.drawEllipse(QRect(9, 9, 4, 5));
      break;
    case ID_EDIT_COPY:
      Page(p, 1, 1, 8, 10);
      Page(p, 6, 5, 8, 10);
      break;
    case ID_EDIT_PASTE:
      p.setPen(kInk);
      p.setBrush(kBrown);
      p.drawRect(1, 2, 10, 13);
      p.setBrush(kSilver);
      p.drawRect(4, 1, 4, 2);
      Page(p, 6, 6, 8, 9);
      break;
    case ID_READ_COMMENT:
      Speaker(p);
      Waves(p, kBlue);
      break;
    case ID_PAUSE_SPEECH:
      p.fillRect(3, 2, 4, 12, kNavy);
      p.fillRect(9, 2, 4, 12, kNavy);
      break;
    case ID_CONTINUE_SPEECH:
      p.setPen(kInk);
      p.setBrush(kGreen);
      p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(13, 8), QPoint(3, 15)}));
      break;
    case ID_BREAK_SPEECH:
      p.setPen(kInk);
      p.setBrush(kRed);
      p.drawRect(2, 2, 11, 11);
      break;
    case ID_SYNTHESIS_PARAMETERS:
      p.setPen(kShade);
      for (const int y : {3, 8, 13}) p.drawLine(1, y, 14, y);
      p.setPen(kInk);
      p.setBrush(kSilver);
      p.drawRect(9, 1, 3, 4);
      p.drawRect(3, 6, 3, 4);
      p.drawRect(7, 11, 3, 4);
      break;
    case ID_TEST_SYNTHESIS:
      Speaker(p);
      p.setPen(QPen(kGreen, 2));
      p.drawLine(9, 9, 11, 12);
      p.drawLine(11, 12, 15, 4);
      break;
    case ID_HELP_INDEX:
      p.setPen(kInk);
      p.setBrush(QColor(255, 255, 160));
      p.drawEllipse(QRect(0, 0, 15, 15));
      QuestionMark(p, 0, 0, 15, kNavy);
      break;
    case ID_CONTEXT_HELP:
      p.setPen(kInk);
      p.setBrush(kPaper);
      p.drawPolygon(QPolygon({QPoint(1, 1), QPoint(1, 12), QPoint(4, 9), QPoint(6, 14), QPoint(8, 13), QPoint(6, 8),
                              QPoint(10, 8)}));
      QuestionMark(p, 7, 0, 10, kNavy);
      break;
    default:
      break;
  }
  p.end();
  return image;
}

}  // namespace vokar::comment
