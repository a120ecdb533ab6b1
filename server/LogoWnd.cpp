#include "LogoWnd.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "Dib.h"
#include "RegularFile.h"
#include "WaveFile.h"

namespace vokar::server {
namespace {

// Larger files are no logo of ours.
constexpr std::size_t kMaxBitmapBytes = 64u << 20;
constexpr std::size_t kMaxSoundBytes = 16u << 20;
constexpr int kLogoMs = 8000;
constexpr QSize kEmptyContent(300, 110);

QImage LoadBitmap(const std::filesystem::path& path) {
  const auto read = files::ReadRegularFile(path, kMaxBitmapBytes);
  if (!read.ok() || read.truncated) return {};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(read.bytes.data());
  const auto dib = ReadDib({bytes, read.bytes.size()});
  if (!dib) return {};
  QImage image(dib->width, dib->height, QImage::Format_RGB32);
  for (int y = 0; y < dib->height; ++y) {
    auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    std::copy_n(dib->pixels.data() + static_cast<std::size_t>(y) * dib->width, dib->width, line);
  }
  return image;
}

}  // namespace

CLogoWnd::CLogoWnd(const std::filesystem::path& bitmap, const std::filesystem::path& sound, IWaveOut& waveOut,
                   int device)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(LoadBitmap(bitmap)),
      playback_(waveOut),
      device_(device) {
  hasBitmap_ = !image_.isNull();
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(QStringLiteral("Vokar"));
  QPalette background = palette();
  background.setColor(QPalette::Window, Qt::darkGray);
  setPalette(background);
  setAutoFillBackground(true);
  setFixedSize(ContentSize() + QSize(6, 6));

  const auto read = files::ReadRegularFile(sound, kMaxSoundBytes);
  if (read.ok() && !read.truncated) {
    auto wave = ReadWave({reinterpret_cast<const std::uint8_t*>(read.bytes.data()), read.bytes.size()});
    if (wave) {
      sound_ = std::move(wave.Value());
      sound_.loaded = true;
    }
  }
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { CloseLogo(); });
}

CLogoWnd::~CLogoWnd() { sound_.Stop(); }

QSize CLogoWnd::ContentSize() const { return image_.isNull() ? kEmptyContent : image_.size(); }

void CLogoWnd::Start() {
  open_ = true;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  // A sound that cannot be opened or started counts as finished.
  if (sound_.loaded && sound_.PlayBuffer(playback_, device_, 0) != 0) sound_.Stop();
  timer_.start(kLogoMs);
}

bool CLogoWnd::SoundPlaying() const { return sound_.Playing() && !playback_.done; }

void CLogoWnd::StartupOver() {
  startupOver_ = true;
  if (!SoundPlaying()) CloseLogo();
}

void CLogoWnd::OnDeviceNotice() {
  if (!open_) return;
  if (!SoundPlaying()) {
    sound_.Stop();
    if (startupOver_) CloseLogo();
  }
}

void CLogoWnd::CloseLogo() {
  if (!open_) return;
  open_ = false;
  timer_.stop();
  sound_.Stop();
  hide();
  image_ = QImage();
}

void CLogoWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect outer = rect();
  const QColor lines[] = {Qt::white, palette().color(QPalette::Dark), palette().color(QPalette::ButtonText)};
  for (int i = 0; i < 3; ++i) {
    painter.setPen(lines[i]);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outer.adjusted(i, i, -i - 1, -i - 1));
  }
  if (!image_.isNull()) painter.drawImage(QPoint(3, 3), image_);
}

}  // namespace vokar::server
