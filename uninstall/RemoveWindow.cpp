#include "RemoveWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "RemoveStrings.h"
#include "Widgets.h"

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
  QFont font;
  font.setFamily(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(13);
  font.setWeight(QFont::Light);

  status_ = new QLabel(this);
  status_->setFont(font);
  status_->setAlignment(Qt::AlignCenter);
  status_->setWordWrap(true);
  // The statuses are plain text, never markup.
  status_->setTextFormat(Qt::PlainText);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(QStringLiteral("Postęp usuwania"));
  PlaceControls();

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
  status_->setText(Load(stringId));
  progress_->setValue(position);
  status_->repaint();
  progress_->repaint();
  QApplication::processEvents();
}

void CRemoveWindow::PlaceControls() {
  status_->setGeometry(0, 0, width(), height() - 2 * kScrollHeight);
  progress_->setGeometry(kScrollWidth, height() - 2 * kScrollHeight, width() - 2 * kScrollWidth, kScrollHeight);
}

void CRemoveWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceControls();
}

void CRemoveWindow::closeEvent(QCloseEvent* event) {
  // The script runs to its end; the window has no close item.
  event->ignore();
}

QIcon CRemoveWindow::MakeIcon() { return app::SuiteIcon(QStringLiteral("quillmark-vkremove")); }

}  // namespace vokar::uninstall
