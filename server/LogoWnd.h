// The start-up logo: the bitmap "logo95.bmp" of the work folder in a frame,
// centred on the screen above everything, while "logo.wav" plays. It closes
// after 8 seconds, before any message box, when the user starts reading, and
// at the end of start-up once its sound has finished.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

#include "WaveData.h"
#include "WaveOut.h"

namespace vokar::server {

class CLogoWnd final : public QWidget {
 public:
  // Without a readable bitmap the frame holds 300 x 110 pixels of background.
  CLogoWnd(const std::filesystem::path& bitmap, const std::filesystem::path& sound, IWaveOut& waveOut, int device);
  ~CLogoWnd() override;

  // Shows the window, starts the sound and the 8-second timer.
  void Start();
  // Start-up is over: close now if the sound has finished, else when it does.
  void StartupOver();
  // The wave device delivered its notices; the sound may have finished.
  void OnDeviceNotice();
  // Stops the sound and takes the window away; nothing when already closed.
  void CloseLogo();

  bool IsOpen() const { return open_; }
  // Whether the bitmap was read and shown (the image is freed on closing).
  bool HasBitmap() const { return hasBitmap_; }
  bool SoundPlaying() const;
  QSize ContentSize() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  WavePlayback playback_;
  CWaveInsert sound_;
  int device_;
  QTimer timer_;
  bool hasBitmap_ = false;
  bool open_ = false;
  bool startupOver_ = false;
};

}  // namespace vokar::server
