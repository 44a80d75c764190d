// Our own BMP / DIB decoder: BMP files and the DIB images inside icons. 1, 2, 4, 8, 16, 24
// and 32 bits per pixel, palettes, bit fields and (for icons) the AND mask. Compressed
// variants (RLE, embedded JPEG/PNG) are not decoded. Every read is checked against the
// buffer; dimensions are checked against the caller's limits before anything is allocated.
#include <algorithm>
#include <bit>
#include <cstring>

#include "imaging/raster.h"

namespace imaging::detail {
namespace {

std::uint32_t rd32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::uint16_t rd16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;
  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = (std::uint64_t{m} >> shift);  // contiguous masks assumed; others still bounded
  }
  std::uint8_t get(std::uint32_t v) const {
    if (!mask) return 0;
    std::uint64_t c = (std::uint64_t{v & mask}) >> shift;
    return static_cast<std::uint8_t>((c * 255 + max / 2) / max);
  }
};

constexpr std::uint32_t kBI_RGB = 0, kBI_BITFIELDS = 3, kBI_ALPHABITFIELDS = 6;

// dib: the DIB from its BITMAPINFOHEADER (or BITMAPCOREHEADER) on. pixel_offset: where the
// pixel bits start within dib, or -1 to take them right after the colour table. icon: the
// height counts the XOR and AND bitmaps together and the AND mask follows the XOR bits.
bool decode_dib(const std::uint8_t* dib, std::size_t size, std::int64_t pixel_offset, bool icon,
                const DecodeLimits& limits, Raster& out) {
  if (size < 12) return false;
  std::uint32_t hs = rd32(dib);
  if (hs < 12 || hs > size) return false;
  std::int64_t width = 0, height = 0;
  unsigned bpp = 0;
  std::uint32_t compression = kBI_RGB, colors_used = 0;
  std::size_t palette_entry = 4;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  bool have_masks = false;
  std::size_t pos = hs;
  if (hs == 12) {  // BITMAPCOREHEADER
    width = rd16(dib + 4);
    height = static_cast<std::int16_t>(rd16(dib + 6));
    bpp = rd16(dib + 10);
    palette_entry = 3;
  } else {
    if (hs < 16) return false;
    width = static_cast<std::int32_t>(rd32(dib + 4));
    height = static_cast<std::int32_t>(rd32(dib + 8));
    bpp = rd16(dib + 14);
    if (hs >= 20) compression = rd32(dib + 16);
    if (hs >= 36) colors_used = rd32(dib + 32);
    if (hs == 64 && compression != kBI_RGB) return false;  // OS/2 2.x Huffman and RLE24
    if (compression == kBI_BITFIELDS || compression == kBI_ALPHABITFIELDS) {
      unsigned n = compression == kBI_ALPHABITFIELDS ? 4 : 3;
      if (hs >= 52) {
        for (unsigned i = 0; i < 3; ++i) masks[i] = rd32(dib + 40 + 4 * i);
        if (hs >= 56) masks[3] = rd32(dib + 52);
      } else {
        if (hs != 40 || size - pos < 4 * n) return false;
        for (unsigned i = 0; i < n; ++i) masks[i] = rd32(dib + pos + 4 * i);
        pos += 4 * n;
      }
      have_masks = true;
    } else if (compression != kBI_RGB) {
      return false;
    } else if (hs >= 56 && (bpp == 16 || bpp == 32)) {
      // V4/V5 headers carry an alpha mask even for BI_RGB; only the alpha one is used then.
      masks[3] = rd32(dib + 52);
    }
  }
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return false;
  if (have_masks && bpp != 16 && bpp != 32) return false;

  bool top_down = false;
  if (icon) {
    if (height <= 0) return false;
    height /= 2;
  } else if (height < 0) {
    top_down = true;
    height = -height;
  }
  if (!limits.allows(width, height)) return false;
  const int w = static_cast<int>(width), h = static_cast<int>(height);

  // Colour table.
  std::uint8_t palette[256][3] = {};
  unsigned palette_count = 0;
  if (bpp <= 8) {
    unsigned max_colors = 1u << bpp;
    std::uint64_t listed = colors_used ? colors_used : max_colors;
    // Entries actually stored (colors_used may be larger than the depth allows).
    std::uint64_t stored = hs == 12 ? max_colors : listed;
    palette_count = static_cast<unsigned>(std::min<std::uint64_t>(listed, max_colors));
    std::uint64_t table = stored * palette_entry;
    if (pixel_offset < 0 && table > size - pos) return false;
    for (unsigned i = 0; i < palette_count; ++i) {
      std::size_t at = pos + i * palette_entry;
      if (at + 3 > size) {
        palette_count = i;
        break;
      }
      palette[i][0] = dib[at + 2];  // R
      palette[i][1] = dib[at + 1];  // G
      palette[i][2] = dib[at + 0];  // B
    }
    if (table <= size - pos) pos += static_cast<std::size_t>(table);
  }
  if (pixel_offset >= 0) {
    if (static_cast<std::uint64_t>(pixel_offset) >= size) return false;
    pos = static_cast<std::size_t>(pixel_offset);
  }

  const std::uint64_t stride = ((static_cast<std::uint64_t>(w) * bpp + 31) / 32) * 4;
  const std::uint64_t xor_bytes = stride * static_cast<std::uint64_t>(h);
  if (xor_bytes > size - pos) return false;
  const std::uint8_t* bits = dib + pos;
  const std::uint64_t mask_stride = ((static_cast<std::uint64_t>(w) + 31) / 32) * 4;
  const std::uint8_t* and_mask = nullptr;
  if (icon && mask_stride * static_cast<std::uint64_t>(h) <= size - pos - xor_bytes)
    and_mask = bits + xor_bytes;

  if (!out.allocate(w, h, limits)) return false;

  if (bpp == 16 && !have_masks) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (bpp == 32 && !have_masks) {
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
    if (icon || masks[3] == 0) masks[3] = 0xFF000000;  // decided below whether it counts
  }
  const Channel cr(masks[0]), cg(masks[1]), cb(masks[2]), ca(masks[3]);

  bool any_alpha = false;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = bits + stride * static_cast<std::uint64_t>(top_down ? y : h - 1 - y);
    std::uint8_t* dst = out.row(y);
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = dst + x * 4;
      if (bpp <= 8) {
        unsigned bitpos = static_cast<unsigned>(x) * bpp;
        unsigned byte = src[bitpos / 8];
        unsigned idx = (byte >> (8 - bpp - bitpos % 8)) & ((1u << bpp) - 1);
        if (idx < palette_count) {
          p[0] = palette[idx][0];
          p[1] = palette[idx][1];
          p[2] = palette[idx][2];
        }
        p[3] = 255;
      } else if (bpp == 24) {
        p[0] = src[x * 3 + 2];
        p[1] = src[x * 3 + 1];
        p[2] = src[x * 3 + 0];
        p[3] = 255;
      } else {
        std::uint32_t v = bpp == 16 ? rd16(src + x * 2) : rd32(src + x * 4);
        p[0] = cr.get(v);
        p[1] = cg.get(v);
        p[2] = cb.get(v);
        p[3] = ca.mask ? ca.get(v) : 255;
        if (ca.mask && p[3]) any_alpha = true;
      }
    }
  }

  // Alpha: a 32-bit image whose alpha channel is all zero has none (files: opaque; icons: the
  // AND mask decides). Icons below 32 bits take their transparency from the AND mask.
  bool alpha_counts = (bpp == 32 || bpp == 16) && ca.mask && any_alpha;
  if (!alpha_counts) {
    for (int y = 0; y < h; ++y) {
      std::uint8_t* dst = out.row(y);
      const std::uint8_t* m =
          and_mask ? and_mask + mask_stride * static_cast<std::uint64_t>(h - 1 - y) : nullptr;
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = dst + x * 4;
        bool transparent = m && ((m[x / 8] >> (7 - x % 8)) & 1);
        if (transparent)
          std::memset(p, 0, 4);
        else
          p[3] = 255;
      }
    }
  }
  return true;
}

}  // namespace

bool decode_bmp(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (bytes.size() < 14 + 12 || b[0] != 'B' || b[1] != 'M') return false;
  std::uint32_t off_bits = rd32(b + 10);
  std::int64_t pixel_offset = -1;
  if (off_bits >= 14 + 12 && off_bits < bytes.size()) pixel_offset = off_bits - 14;
  return decode_dib(b + 14, bytes.size() - 14, pixel_offset, false, limits, out);
}

bool decode_icon_dib(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  return decode_dib(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), -1, true,
                    limits, out);
}

}  // namespace imaging::detail
