// BMP files and icon DIBs (the first byte chooses), then scaling to an icon.
#include "fuzz_common.h"
#include "imaging/imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view b = fuzzing::bytes(data + 1, size - 1);
  imaging::detail::Raster r;
  bool ok = (data[0] & 1) ? imaging::detail::decode_icon_dib(b, imaging::detail::kIconLimits, r)
                          : imaging::detail::decode_bmp(b, fuzzing::kFuzzLimits, r);
  if (ok) fuzzing::finish(std::move(r), 32);
  imaging::read_image_size_from_bytes(b);
  return 0;
}
