#include "ServerSettings.h"

#include <sys/stat.h>

#include <algorithm>

#include "AllophoneDb.h"
#include "Intl.h"
#include "Profile.h"

namespace vokar::speechd {
namespace {

bool StoreExists() {
  const auto hive = registry::RegistryDir() / (std::string(registry::RootName(registry::Root::CurrentUser)) + ".db");
  struct stat info {};
  return ::stat(hive.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

ServerSettings ReadServerSettings(bool readStore) {
  ServerSettings result;
  CSpeechSettingsValues& speech = result.speech;
  const intl::IntlValues intlValues = intl::ReadIntl();
  speech.locale = {intlValues.decimal, intlValues.thousand, intlValues.date, intlValues.shortDate};
  if (!readStore || !StoreExists()) return result;

  const registry::Profile store("Quillmark", "Vokar");
  speech.convertNumber = store.GetYesNo("Conversions", "ConvertNumber", true);
  speech.convertDate = store.GetYesNo("Conversions", "ConvertDate", true);
  speech.convertCaps = store.GetYesNo("Conversions", "ConvertCaps", true);
  speech.fluentSpeech = store.GetYesNo("Conversions", "FluentSpeech", true);
  speech.colloquialSpeech = store.GetYesNo("Conversions", "ColloquialSpeech", true);
  speech.convertCapsLimit = store.GetInt("Conversions", "ConvertCapsLimit", 5);
  speech.useExpDict = store.GetYesNo("Dictionary", "UseExpDict", true);
  std::string workDir = store.GetString("Global", "WorkDir", "");
  if (!workDir.empty() && workDir.back() != '/') workDir += '/';
  speech.workDir = workDir;
  for (const PauseEntry& pause : kPauseEntries) {
    if (store.Has("Sound", pause.setting))
      speech.sound[std::string(pause.setting)] = store.GetInt("Sound", pause.setting, pause.defaultHundredths);
  }
  if (speech.useExpDict) {
    const std::string path = store.GetString("Dictionary", "ExpDict", "");
    if (!path.empty()) result.dictionary = path;
  }
  speech.prosody.intonation = store.GetYesNo("Sound", "Intonation", true);
  speech.prosody.keepPitch = store.GetYesNo("Sound", "KeepPitch", true);
  result.waveDevice = std::max(0, store.GetInt("Sound", "WaveDevice", 0));
  result.deviceTimeout = std::clamp(store.GetInt("Sound", "DeviceTimeout", 5), 0, 60);
  return result;
}

}  // namespace vokar::speechd
