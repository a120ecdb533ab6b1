// espeak-ng as the yardstick: the library started once in synchronous mode
// with its Polish voice, then a UTF-8 text spoken into a buffer of 16-bit
// samples in memory. Without the library at build time it reports itself
// unavailable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::bench {

class EspeakRun {
 public:
  // Starts the library and selects the voice; false (with the reason in
  // Error) when either fails or the library was not built in. The library
  // keeps one global state, so a process opens it once.
  bool Open(const char* voice);
  const std::string& Error() const { return error_; }
  int SampleRate() const { return sampleRate_; }

  // Speaks the text and appends every sample to out; false when the
  // library refuses the text.
  bool Render(std::string_view utf8Text, std::vector<std::int16_t>& out);

 private:
  std::string error_;
  int sampleRate_ = 0;
};

}  // namespace vokar::bench
