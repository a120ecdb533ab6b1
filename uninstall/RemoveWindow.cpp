#include "RemoveWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "RemoveStrings.h"

namespace vokar::uninstall {
namespace {

// The window's outer size; the client area is what the frame leaves of it.
constexpr int kWidth = 360;
constexpr int kHeight = 110;
constexpr int kCaption = 18;
constexpr int kBorder = 3;
// Width and arrow height of a vertical scroll bar: the margins of the bar.
constexpr int kScrollWidth = 16;
constexpr int kScrollHeight = 16;

QString Load(int id) { return QString::fromUtf8(LoadString(id).data(), static_cast<int>(LoadString(id).size())); }

}  // namespace

CRemoveWindow::CRemoveWindow() : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setWindowTitle(Load(IDS_TITLE));
  setWindowIcon(MakeIcon());
  setFixedSize(kWidth - 2 * kBorder, kHeight - kCaption - 2 * kBorder);
  setCursor(Qt::WaitCursor);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);

  // The Swiss family without a face name: the desktop's sans-serif face.
  font_.setFamily(QStringLiteral("Sans Serif"));
  font_.setStyleHint(QFont::SansSerif);
  font_.setPixelSize(13);
  font_.setWeight(QFont::Light);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  PlaceProgressBar();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kWidth / 2, kHeight / 2));
  }
}

void CRemoveWindow::ShowAndWait() {
  show();
  QElapsedTimer waited;
  waited.start();
  while ((windowHandle() == nullptr || !windowHandle()->isExposed()) && waited.elapsed() < 1000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();
}

void CRemoveWindow::SetStatus(int stringId, int position) {
  status_ = Load(stringId);
  progress_->setValue(position);
  repaint();
  progress_->repaint();
  QApplication::processEvents();
}

void CRemoveWindow::PlaceProgressBar() {
  progress_->setGeometry(kScrollWidth, height() - 2 * kScrollHeight, width() - 2 * kScrollWidth, kScrollHeight);
}

void CRemoveWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceProgressBar();
}

void CRemoveWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font_);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(0, 0, width(), height() - 2 * kScrollHeight), Qt::AlignCenter, status_);
}

void CRemoveWindow::closeEvent(QCloseEvent* event) {
  // The script runs to its end; the window has no close item.
  event->ignore();
}

QIcon CRemoveWindow::MakeIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xb3, 0x26, 0x1e));
    painter.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(12, 12, 24, 4), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(20, 8.5, 8, 4), 1.5, 1.5);
    QPainterPath can;
    can.moveTo(14.5, 18);
    can.lineTo(33.5, 18);
    can.lineTo(31.5, 39);
    can.lineTo(16.5, 39);
    can.closeSubpath();
    painter.drawPath(can);
    painter.setPen(QPen(QColor(0xb3, 0x26, 0x1e), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(20, 22), QPointF(21, 35));
    painter.drawLine(QPointF(24, 22), QPointF(24, 35));
    painter.drawLine(QPointF(28, 22), QPointF(27, 35));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vokar::uninstall
