// The start-up bitmap reader on any bytes: an image whose size matches its
// pixels, or an error, never a crash.
#include <cstddef>
#include <cstdint>

#include "Dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vokar::server::DibError error;
  const auto image = vokar::server::ReadDib({data, size}, &error);
  if (image) {
    if (image->width < 1 || image->height < 1 || image->width > vokar::server::kMaxDibSide ||
        image->height > vokar::server::kMaxDibSide ||
        image->pixels.size() != static_cast<std::size_t>(image->width) * image->height)
      __builtin_trap();
  } else if (error.offset > size) {
    __builtin_trap();
  }
  return 0;
}
