// Shared by the imaging fuzz targets: decode with bounded limits, then stretch and encode
// what was decoded, so the whole path from hostile bytes to an icon PNG is exercised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "imaging/raster.h"

namespace fuzzing {

// Smaller than the picture limits so that each run stays fast; the code paths are the same.
inline constexpr imaging::detail::DecodeLimits kFuzzLimits{4096, 1u << 21};

inline void finish(imaging::detail::Raster r, int size) {
  imaging::detail::Raster out;
  if (imaging::detail::stretch(std::move(r), size, size, out)) imaging::detail::encode_png(out);
}

inline std::string_view bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzzing
