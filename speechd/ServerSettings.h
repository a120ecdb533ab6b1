// What the module takes over from the user's Vokar speech server, so that a
// screen reader speaks as the server does: the conversions, the exception
// dictionary, the pause lengths, the prosody stage's switches (Intonation,
// KeepPitch), the sound device and its busy timeout, from
// the server's settings store (HKEY_CURRENT_USER\Software\Quillmark\Vokar),
// and the locale punctuation from intl.ini. The store is only read, and only
// when it exists: the module never makes one.
#pragma once

#include <optional>
#include <string>

#include "SpeechSettings.h"

namespace vokar::speechd {

struct ServerSettings {
  CSpeechSettingsValues speech;      // the server's defaults where the store says nothing
  std::optional<std::string> dictionary;  // the dictionary in use, when one is
  int waveDevice = 0;                 // 0 the default device, k the k-th
  int deviceTimeout = 5;              // seconds, 0-60
};

// The settings of the store, or the server's defaults without a store (or
// with readStore false). The locale punctuation is read either way.
ServerSettings ReadServerSettings(bool readStore);

}  // namespace vokar::speechd
