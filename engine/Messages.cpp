#include "Messages.h"

namespace vokar {

std::string_view MessageText(int code) {
  switch (code) {
    case kMsgDeviceOpen: return "Błąd otwarcia urządzenia dźwiękowego";
    case kMsgPrepare: return "Błąd przygotowania danych do odtwarzania";
    case kMsgWrite: return "Błąd zapisu danych dźwiękowych do urządzenia dźwiękowego";
    case kMsgWaveRead: return "Błąd odczytu pliku z falą dzwiekową";
    case kMsgBadSoundFile: return "Błędny format pliku z danymi dźwiękowymi";
    case kMsgBadWaveFormat: return "Błędny format fali dźwiękowej";
    case kMsgDeviceBusy: return "Urządzenie dźwiękowe jest zajęte";
    case kMsgNoMemory: return "Błąd alokacji pamięci dla danych dźwiękowych";
    case kMsgBadAllophoneFile: return "Błędny format pliku alofonów";
    case kMsgFileOpen: return "Błąd otwarcia pliku: ";
    default: return {};
  }
}

std::string FileNotFoundMessage(std::string_view name) {
  std::string text = "Nie znaleziono pliku: ";
  text += name;
  text += '\n';
  return text;
}

}  // namespace vokar
