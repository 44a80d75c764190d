// Stretching a picture over an exact N x M canvas. The pixels are premultiplied and
// resampled by pixman's separable convolution (a linear reconstruction convolved with a box
// as wide as one target pixel), which shrinks without aliasing and enlarges smoothly. Very
// large reductions are first box-averaged by an integer factor so that the filter stays small.
#include <pixman.h>

#include <algorithm>
#include <cstring>

#include "imaging/raster.h"

namespace imaging::detail {
namespace {

using Pixels = std::unique_ptr<std::uint32_t[], FreeDeleter>;

std::uint32_t premultiply(const std::uint8_t* p) {
  unsigned a = p[3];
  auto mul = [a](unsigned c) { unsigned t = c * a + 128; return (t + (t >> 8)) >> 8; };
  return (a << 24) | (mul(p[0]) << 16) | (mul(p[1]) << 8) | mul(p[2]);
}

void unpremultiply(std::uint32_t v, std::uint8_t* p) {
  unsigned a = v >> 24;
  unsigned r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
  if (a == 0) {
    p[0] = p[1] = p[2] = p[3] = 0;
    return;
  }
  auto div = [a](unsigned c) {
    unsigned t = (c * 255 + a / 2) / a;
    return static_cast<std::uint8_t>(t > 255 ? 255 : t);
  };
  p[0] = div(r);
  p[1] = div(g);
  p[2] = div(b);
  p[3] = static_cast<std::uint8_t>(a);
}

// Averages kx x ky blocks of premultiplied pixels (the last block of a row or column takes
// what is left).
Pixels box_reduce(const std::uint32_t* src, int sw, int sh, int kx, int ky, int& nw, int& nh) {
  nw = (sw + kx - 1) / kx;
  nh = (sh + ky - 1) / ky;
  Pixels dst(static_cast<std::uint32_t*>(
      std::malloc(static_cast<std::size_t>(nw) * static_cast<std::size_t>(nh) * 4)));
  if (!dst) return dst;
  for (int y = 0; y < nh; ++y) {
    int y0 = y * ky, y1 = std::min(sh, y0 + ky);
    for (int x = 0; x < nw; ++x) {
      int x0 = x * kx, x1 = std::min(sw, x0 + kx);
      std::uint64_t s[4] = {0, 0, 0, 0};
      for (int yy = y0; yy < y1; ++yy) {
        const std::uint32_t* row = src + static_cast<std::size_t>(yy) * sw;
        for (int xx = x0; xx < x1; ++xx) {
          std::uint32_t v = row[xx];
          s[0] += v >> 24;
          s[1] += (v >> 16) & 0xFF;
          s[2] += (v >> 8) & 0xFF;
          s[3] += v & 0xFF;
        }
      }
      std::uint64_t n = static_cast<std::uint64_t>(x1 - x0) * static_cast<std::uint64_t>(y1 - y0);
      auto avg = [n](std::uint64_t t) { return static_cast<std::uint32_t>((t + n / 2) / n); };
      dst[static_cast<std::size_t>(y) * nw + x] =
          (avg(s[0]) << 24) | (avg(s[1]) << 16) | (avg(s[2]) << 8) | avg(s[3]);
    }
  }
  return dst;
}

}  // namespace

bool stretch(Raster source, int w, int h, Raster& out) {
  if (!out.allocate(w, h, kPictureLimits)) return false;
  if (source.empty() || source.width <= 0 || source.height <= 0) return true;  // transparent

  int sw = source.width, sh = source.height;
  // Premultiply in place: each RGBA pixel becomes one native-order a8r8g8b8 word.
  Pixels pixels(reinterpret_cast<std::uint32_t*>(source.px.release()));
  source = Raster{};
  {
    auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.get());
    std::size_t count = static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t v = premultiply(bytes + i * 4);
      std::memcpy(bytes + i * 4, &v, 4);
    }
  }

  int kx = sw / (2 * w), ky = sh / (2 * h);
  if (kx >= 2 || ky >= 2) {
    kx = std::max(kx, 1);
    ky = std::max(ky, 1);
    int nw = 0, nh = 0;
    Pixels reduced = box_reduce(pixels.get(), sw, sh, kx, ky, nw, nh);
    if (!reduced) return false;
    pixels = std::move(reduced);
    sw = nw;
    sh = nh;
  }

  Pixels target(static_cast<std::uint32_t*>(
      std::calloc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 4)));
  if (!target) return false;

  if (sw == w && sh == h) {
    std::memcpy(target.get(), pixels.get(), static_cast<std::size_t>(w) * h * 4);
  } else {
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, pixels.get(), sw * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, target.get(), w * 4);
    bool ok = src && dst;
    if (ok) {
      pixman_transform_t t;
      pixman_fixed_t fx = pixman_double_to_fixed(static_cast<double>(sw) / w);
      pixman_fixed_t fy = pixman_double_to_fixed(static_cast<double>(sh) / h);
      if (fx < 1) fx = 1;
      if (fy < 1) fy = 1;
      pixman_transform_init_scale(&t, fx, fy);
      pixman_image_set_transform(src, &t);
      pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
      // An axis that is not scaled is sampled point for point, so it stays sharp.
      pixman_kernel_t rx = sw == w ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LINEAR;
      pixman_kernel_t ry = sh == h ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LINEAR;
      pixman_kernel_t bx = sw == w ? PIXMAN_KERNEL_IMPULSE : PIXMAN_KERNEL_BOX;
      pixman_kernel_t by = sh == h ? PIXMAN_KERNEL_IMPULSE : PIXMAN_KERNEL_BOX;
      int n_params = 0;
      pixman_fixed_t* params = pixman_filter_create_separable_convolution(
          &n_params, fx, fy, rx, ry, bx, by, 4, 4);
      ok = params && pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params,
                                             n_params);
      std::free(params);
      if (ok) pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
    }
    if (src) pixman_image_unref(src);
    if (dst) pixman_image_unref(dst);
    if (!ok) return false;
  }

  std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  for (std::size_t i = 0; i < count; ++i) unpremultiply(target[i], out.px.get() + i * 4);
  return true;
}

}  // namespace imaging::detail
