// Draws the server's start-up logo into an 8-bit bitmap and makes its sound,
// a short two-note chime, as a WAV file: the build's own "logo95.bmp" and
// "logo.wav".
//   vokar_make_logo BITMAP WAVE
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "Dib.h"
#include "Icons.h"

namespace {

bool WriteFile(const char* path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<std::uint8_t> DrawLogo() {
  constexpr int kWidth = 360, kHeight = 120;
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Flat colours: the bitmap keeps them exactly in its 256-colour table.
  p.fillRect(image.rect(), QColor(30, 64, 150));
  p.fillRect(QRect(0, kHeight - 6, kWidth, 6), QColor(120, 200, 120));

  // A speaker with three waves on the left.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(vokar::server::SpeakerPath(QRectF(26, 28, 38, 64)));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(150, 235, 150), 5, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const int r = 14 + i * 12;
    p.drawArc(QRectF(60 - r, 60 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
  }

  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(52);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(120, 8, 230, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vokar"));
  QFont line(QStringLiteral("DejaVu Sans"));
  line.setPixelSize(17);
  p.setFont(line);
  p.setPen(QColor(225, 235, 255));
  p.drawText(QRect(122, 72, 230, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Moduł do syntezy mowy"));
  line.setPixelSize(12);
  p.setFont(line);
  p.drawText(QRect(122, 94, 230, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("wersja 1.1.95"));
  p.end();

  const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither | Qt::PreferDither);
  std::vector<std::uint32_t> palette;
  for (const QRgb colour : indexed.colorTable()) palette.push_back(colour & 0xFFFFFF);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) indices[static_cast<std::size_t>(y) * kWidth + x] = indexed.pixelIndex(x, y);
  return vokar::server::WriteDib8(kWidth, kHeight, palette, indices);
}

std::vector<std::uint8_t> MakeChime() {
  constexpr std::uint32_t kRate = 22050;
  constexpr double kSeconds = 1.3;
  const auto count = static_cast<std::size_t>(kRate * kSeconds);
  std::vector<std::uint8_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    // G5 and then C6, each a bell that fades.
    double v = 0.45 * std::sin(2 * M_PI * 784.0 * t) * std::exp(-4.0 * t);
    if (t > 0.25) v += 0.45 * std::sin(2 * M_PI * 1046.5 * (t - 0.25)) * std::exp(-3.5 * (t - 0.25));
    const double attack = std::min(1.0, t / 0.005);
    samples[i] = static_cast<std::uint8_t>(std::lround(128.0 + 110.0 * attack * v));
  }
  std::vector<std::uint8_t> wav;
  auto put = [&](std::uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) wav.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
  };
  auto tag = [&](const char* text) { wav.insert(wav.end(), text, text + 4); };
  tag("RIFF");
  put(static_cast<std::uint32_t>(36 + count), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);      // PCM
  put(1, 2);      // mono
  put(kRate, 4);  // samples per second
  put(kRate, 4);  // bytes per second
  put(1, 2);      // block align
  put(8, 2);      // bits per sample
  tag("data");
  put(static_cast<std::uint32_t>(count), 4);
  wav.insert(wav.end(), samples.begin(), samples.end());
  return wav;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vokar_make_logo BITMAP WAVE\n");
    return 2;
  }
  QGuiApplication application(argc, argv);
  if (!WriteFile(argv[1], DrawLogo()) || !WriteFile(argv[2], MakeChime())) {
    std::fprintf(stderr, "vokar_make_logo: cannot write the logo files\n");
    return 1;
  }
  return 0;
}
