// Decoding of jpeg pictures (first frame for GIF), then scaling to an icon.
#include "fuzz_common.h"
#include "imaging/imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imaging::detail::Raster r;
  if (imaging::detail::decode_jpeg(fuzzing::bytes(data, size), fuzzing::kFuzzLimits, r))
    fuzzing::finish(std::move(r), 40);
  imaging::read_image_size_from_bytes(fuzzing::bytes(data, size));
  return 0;
}
