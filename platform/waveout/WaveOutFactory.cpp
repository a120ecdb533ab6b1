#include "WaveOutFactory.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "AlsaWaveOut.h"

namespace vokar::waveout {
namespace {

constexpr int kMaxVirtualDevices = 16;

// A whole decimal number within [low, high], nothing else.
template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, Number low, Number high) {
  Number value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

bool ApplyOption(std::string_view option, WaveOutSetting& setting, std::string& error) {
  const auto equals = option.find('=');
  const auto key = option.substr(0, equals);
  const auto value = equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
  auto& options = setting.options;
  if (key == "fast" && equals == std::string_view::npos) {
    options.pacing = Pacing::Fast;
    return true;
  }
  if (key == "devices") {
    if (const auto n = ParseNumber<int>(value, 0, kMaxVirtualDevices)) {
      options.deviceCount = *n;
      return true;
    }
    error = "devices= takes a number from 0 to " + std::to_string(kMaxVirtualDevices);
    return false;
  }
  if (key == "busy") {
    if (const auto n = ParseNumber<int>(value, 0, std::numeric_limits<int>::max())) {
      options.busyOpens = *n;
      return true;
    }
    error = "busy= takes a count of opens";
    return false;
  }
  if (key == "maxrate") {
    if (const auto n = ParseNumber<std::uint32_t>(value, 1, std::numeric_limits<std::uint32_t>::max())) {
      options.maxRate = *n;
      return true;
    }
    error = "maxrate= takes a sample rate";
    return false;
  }
  error = "unknown option \"" + std::string(option) + "\"";
  return false;
}

}  // namespace

std::optional<WaveOutSetting> ParseWaveOutSetting(std::string_view text, std::string& error) {
  WaveOutSetting setting;
  const auto comma = text.find(',');
  const auto device = text.substr(0, comma);
  auto rest = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);

  if (device.empty() || device == "alsa") {
    if (!rest.empty() || comma != std::string_view::npos) {
      error = "the ALSA device takes no options";
      return std::nullopt;
    }
    return setting;
  }
  if (device == "null") {
    setting.kind = BackendKind::Virtual;
  } else if (device.starts_with("wav:")) {
    setting.kind = BackendKind::Virtual;
    setting.options.wavPath = std::string(device.substr(4));
    if (setting.options.wavPath.empty()) {
      error = "wav: needs a file name";
      return std::nullopt;
    }
  } else {
    error = "unknown device \"" + std::string(device) + "\" (alsa, null or wav:PATH)";
    return std::nullopt;
  }
  while (comma != std::string_view::npos) {
    const auto next = rest.find(',');
    if (!ApplyOption(rest.substr(0, next), setting, error)) return std::nullopt;
    if (next == std::string_view::npos) break;
    rest = rest.substr(next + 1);
  }
  return setting;
}

std::unique_ptr<WaveOutBase> CreateWaveOut(const WaveOutSetting& setting) {
  if (setting.kind == BackendKind::Alsa) return std::make_unique<AlsaWaveOut>();
  return std::make_unique<VirtualWaveOut>(setting.options);
}

std::unique_ptr<WaveOutBase> CreateWaveOut() {
  const char* value = std::getenv("VOKAR_WAVEOUT");
  std::string error;
  const auto setting = ParseWaveOutSetting(value ? value : "", error);
  if (!setting) {
    std::fprintf(stderr, "vokar: VOKAR_WAVEOUT=%s: %s; no sound device is used\n", value, error.c_str());
    VirtualWaveOutOptions none;
    none.deviceCount = 0;
    return std::make_unique<VirtualWaveOut>(none);
  }
  return CreateWaveOut(*setting);
}

}  // namespace vokar::waveout
