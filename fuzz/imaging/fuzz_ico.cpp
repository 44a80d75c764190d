// ICO files: directory, choice of image, PNG and DIB entries.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  imaging::detail::MemorySource src(fuzzing::bytes(data, size));
  for (int want : {32, 48}) {
    imaging::detail::Raster r;
    if (imaging::detail::load_ico_icon(src, want, r)) fuzzing::finish(std::move(r), want);
  }
  return 0;
}
