// Makes the clock's sounds at build time, synthesised here as struck bells: a
// chime of three notes, "kuranty.wav", and a short double ring for
// reminders, "dzwonek.wav", 8-bit mono at 22050 Hz as the speech server
// plays them.
//   horalo_make_sounds FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 22050;

struct Strike {
  double at;         // seconds from the start
  double frequency;  // of the fundamental, Hz
  double level;      // 0..1
};

// A bell: a few inharmonic partials, each dying away at its own pace, with a
// soft strike so that it does not click.
std::vector<double> Bells(const std::vector<Strike>& strikes, double seconds) {
  std::vector<double> mix(static_cast<std::size_t>(seconds * kRate), 0.0);
  const struct {
    double ratio, level, decay;
  } partials[] = {{0.5, 0.35, 1.2}, {1.0, 1.0, 2.2}, {2.0, 0.45, 3.5}, {2.76, 0.3, 5.0}, {5.4, 0.12, 9.0}};
  for (const Strike& strike : strikes) {
    const auto first = static_cast<std::size_t>(strike.at * kRate);
    for (std::size_t i = first; i < mix.size(); ++i) {
      const double t = static_cast<double>(i - first) / kRate;
      const double attack = std::min(1.0, t / 0.004);
      double value = 0;
      for (const auto& p : partials) {
        value += p.level * std::exp(-p.decay * t) * std::sin(2 * std::numbers::pi * strike.frequency * p.ratio * t);
      }
      mix[i] += strike.level * attack * value;
    }
  }
  return mix;
}

bool WriteWave(const std::filesystem::path& file, const std::vector<double>& samples) {
  double peak = 1e-9;
  for (const double s : samples) peak = std::max(peak, std::abs(s));
  std::vector<std::uint8_t> data(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    // Brought to 90 % of full scale, with a short fade at the end.
    const double left = static_cast<double>(samples.size() - i) / kRate;
    const double fade = std::min(1.0, left / 0.05);
    data[i] = static_cast<std::uint8_t>(std::lround(128 + 114 * fade * samples[i] / peak));
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  auto put = [&out](std::uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) out.put(static_cast<char>((value >> (8 * b)) & 0xFF));
  };
  const auto size = static_cast<std::uint32_t>(data.size());
  out.write("RIFF", 4);
  put(36 + size, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);      // PCM
  put(1, 2);      // mono
  put(kRate, 4);  // samples per second
  put(kRate, 4);  // bytes per second
  put(1, 2);      // block
  put(8, 2);      // bits per sample
  out.write("data", 4);
  put(size, 4);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: horalo_make_sounds FOLDER\n");
    return 2;
  }
  const std::filesystem::path sounds = argv[1];
  std::filesystem::create_directories(sounds);
  // G, E and a long C below them: a falling major triad.
  const bool chime = WriteWave(sounds / "kuranty.wav", Bells({{0.0, 784, 0.8}, {0.45, 659, 0.8}, {0.9, 523, 1.0}}, 2.4));
  const bool ring = WriteWave(sounds / "dzwonek.wav", Bells({{0.0, 1318, 0.9}, {0.18, 1318, 0.7}}, 1.0));
  if (!chime || !ring) {
    std::fprintf(stderr, "horalo_make_sounds: cannot write the clock's sounds\n");
    return 1;
  }
  return 0;
}
