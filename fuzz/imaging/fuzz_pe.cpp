// PE files: headers, sections, resource directories, icon groups and their images.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the group (by index, or by id when negative).
  int group = static_cast<std::int8_t>(data[0]) / 16;
  imaging::detail::MemorySource src(fuzzing::bytes(data + 1, size - 1));
  if (!imaging::detail::is_pe(src)) return 0;
  for (int want : {32, 48}) {
    imaging::detail::Raster r;
    if (imaging::detail::load_pe_icon(src, want, group, r)) fuzzing::finish(std::move(r), want);
  }
  return 0;
}
