// Decoding, scaling, encoding and picture sizes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fixtures.h"
#include "imaging/imaging.h"
#include "imaging/raster.h"
#include "test_support.h"

using imaging::detail::DecodeLimits;
using imaging::detail::kPictureLimits;
using imaging::detail::Raster;

namespace {

[[maybe_unused]] auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new fixtures::StartedImaging);

Raster decode(const std::string& bytes) {
  Raster r;
  EXPECT_TRUE(imaging::detail::decode_picture(bytes, kPictureLimits, r));
  return r;
}

std::uint32_t argb(const Raster& r, int x, int y) {
  const std::uint8_t* p = r.row(y) + x * 4;
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) |
         p[2];
}
int alpha(const Raster& r, int x, int y) {
  return r.row(y)[x * 4 + 3];
}

// Is colour c within tol of the expected 0xRRGGBB?
bool near(std::uint32_t c, std::uint32_t rgb, int tol = 6) {
  for (int s = 0; s <= 16; s += 8) {
    int a = (c >> s) & 0xFF, b = (rgb >> s) & 0xFF;
    if (std::abs(a - b) > tol) return false;
  }
  return true;
}

using fixtures::TempDir;

}  // namespace

TEST(Scale, SqueezesNotLetterboxes) {
  // Left half red, right half blue, 64 x 32.
  std::string src =
      fixtures::png(64, 32, [](int x, int) { return x < 32 ? 0xFFFF0000u : 0xFF0000FFu; });
  std::string out = imaging::scale_image(src, 32, 32);
  Raster r = decode(out);
  ASSERT_EQ(r.width, 32);
  ASSERT_EQ(r.height, 32);
  // The picture fills the whole square: every pixel opaque, the top and bottom rows too.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(alpha(r, x, y), 255) << x << "," << y;
  EXPECT_TRUE(near(argb(r, 2, 0), 0xFF0000));
  EXPECT_TRUE(near(argb(r, 13, 31), 0xFF0000));
  EXPECT_TRUE(near(argb(r, 18, 16), 0x0000FF));
  EXPECT_TRUE(near(argb(r, 31, 31), 0x0000FF));
}

TEST(Scale, KeepsTransparencyAndIsRgba8) {
  // An opaque square inside a transparent margin of 8 px.
  std::string src = fixtures::png(48, 48, [](int x, int y) {
    return (x >= 8 && x < 40 && y >= 8 && y < 40) ? 0xFF20C040u : 0x00000000u;
  });
  std::string out = imaging::scale_image(src, 40, 40);
  ASSERT_GE(out.size(), 33u);
  EXPECT_EQ(out.substr(12, 4), "IHDR");
  EXPECT_EQ(out[24], 8);  // bit depth
  EXPECT_EQ(out[25], 6);  // RGBA
  Raster r = decode(out);
  ASSERT_EQ(r.width, 40);
  ASSERT_EQ(r.height, 40);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(alpha(r, i, i), 0);
    EXPECT_EQ(alpha(r, 39 - i, i), 0);
    EXPECT_EQ(alpha(r, i, 39), 0);
  }
  EXPECT_EQ(alpha(r, 20, 20), 255);
  EXPECT_TRUE(near(argb(r, 20, 20), 0x20C040, 2));
  // Colour at the soft edge is not darkened by the transparent black around it.
  for (int x = 0; x < 40; ++x) {
    if (alpha(r, x, 20) > 20) {
      EXPECT_TRUE(near(argb(r, x, 20), 0x20C040, 8)) << x;
    }
  }
}

TEST(Scale, GarbageAndEmptyGiveTransparent) {
  for (const std::string& in : {std::string(), std::string("not a picture at all"),
                                std::string("\x89PNG\r\n\x1a\n garbage", 17)}) {
    std::string out = imaging::scale_image(in, 40, 40);
    Raster r = decode(out);
    ASSERT_EQ(r.width, 40);
    ASSERT_EQ(r.height, 40);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_EQ(argb(r, x, y), 0u);
  }
}

TEST(Scale, SameSizeReencodes) {
  std::string src = fixtures::png(32, 32, [](int x, int y) {
    return (static_cast<std::uint32_t>(x * 8) << 24) | (static_cast<std::uint32_t>(y * 8) << 8) |
           0x40;
  });
  // A PNG that is not in our own encoding (extra chunk) stays a picture, not the same bytes.
  std::string out = imaging::scale_image(src, 32, 32);
  ASSERT_FALSE(out.empty());
  Raster a = decode(src), b = decode(out);
  ASSERT_EQ(b.width, 32);
  // Premultiplied resampling at the same size is exact except for rounding of low alphas.
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      ASSERT_EQ(alpha(a, x, y), alpha(b, x, y));
      if (alpha(a, x, y) >= 64) {
        ASSERT_TRUE(near(argb(a, x, y), argb(b, x, y), 3));
      }
    }
  }
}

TEST(Scale, EnlargesSmoothly) {
  std::string src = fixtures::png(2, 1, [](int x, int) { return x ? 0xFFFFFFFFu : 0xFF000000u; });
  Raster r = decode(imaging::scale_image(src, 32, 8));
  ASSERT_EQ(r.width, 32);
  // A ramp from black to white, monotonic, with intermediate greys.
  int prev = -1, greys = 0;
  for (int x = 0; x < 32; ++x) {
    int v = r.row(4)[x * 4];
    EXPECT_GE(v, prev);
    prev = v;
    if (v > 30 && v < 225) ++greys;
  }
  EXPECT_GE(greys, 4);
}

TEST(Scale, ShrinksWithoutAliasing) {
  // A one-pixel checkerboard shrinks to an even grey, not to a pattern.
  std::string src = fixtures::png(
      480, 480, [](int x, int y) { return ((x + y) % 2) ? 0xFFFFFFFFu : 0xFF000000u; });
  Raster r = decode(imaging::scale_image(src, 48, 48));
  for (int y = 2; y < 46; ++y)
    for (int x = 2; x < 46; ++x) ASSERT_NEAR(r.row(y)[x * 4], 128, 12);
  // Very large reductions go through the box pre-reduction.
  std::string big = fixtures::solid_png(3000, 200, 0xFF336699u);
  Raster s = decode(imaging::scale_image(big, 32, 32));
  EXPECT_TRUE(near(argb(s, 16, 16), 0x336699, 2));
  EXPECT_EQ(alpha(s, 0, 0), 255);
}

TEST(Scale, BadSizesAndNotStartedGiveEmpty) {
  std::string src = fixtures::solid_png(4, 4, 0xFF000000u);
  EXPECT_TRUE(imaging::scale_image(src, 0, 40).empty());
  EXPECT_TRUE(imaging::scale_image(src, 40, -1).empty());
  EXPECT_TRUE(imaging::scale_image(src, 20000, 20).empty());
  imaging::stop_imaging();
  EXPECT_TRUE(imaging::scale_image(src, 40, 40).empty());
  EXPECT_TRUE(imaging::extract_file_icon("", 32).empty());
  ASSERT_TRUE(imaging::start_imaging());
  EXPECT_FALSE(imaging::scale_image(src, 40, 40).empty());
}

TEST(Decode, HugeDimensionsRefusedBeforeAllocating) {
  // A PNG header claiming 20000 x 20000: refused by the limits, so scaling gives transparent.
  std::string src = fixtures::solid_png(1, 1, 0xFFFFFFFFu);
  auto set_be = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) src[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  set_be(16, 20000);
  set_be(20, 20000);
  Raster r;
  EXPECT_FALSE(imaging::detail::decode_png(src, kPictureLimits, r));
  DecodeLimits small{8, 64};
  std::string ok = fixtures::solid_png(9, 9, 0xFFFFFFFFu);
  EXPECT_FALSE(imaging::detail::decode_png(ok, small, r));
  Raster t = decode(imaging::scale_image(src, 32, 32));
  EXPECT_EQ(argb(t, 16, 16), 0u);
}

TEST(Decode, GifFirstFrameAndTransparency) {
  std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  fixtures::GifFrame f1{0, 0, 10, 6, [](int x, int) { return x < 5 ? 0 : 3; }, 3, false};
  fixtures::GifFrame f2{0, 0, 10, 6, [](int, int) { return 1; }, -1, false};
  std::string one = fixtures::gif_file(10, 6, colours, {f1});
  std::string several = fixtures::gif_file(10, 6, colours, {f1, f2, f2});
  for (const std::string& g : {one, several}) {
    Raster r = decode(g);
    ASSERT_EQ(r.width, 10);
    ASSERT_EQ(r.height, 6);
    EXPECT_EQ(argb(r, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(argb(r, 8, 1), 0u);  // transparent index
  }
  // A frame smaller than the screen at an offset; interlaced.
  fixtures::GifFrame f3{2, 1, 4, 9, [](int, int y) { return y % 3; }, -1, true};
  Raster r = decode(fixtures::gif_file(8, 12, colours, {f3}));
  ASSERT_EQ(r.width, 8);
  EXPECT_EQ(argb(r, 0, 0), 0u);
  EXPECT_EQ(argb(r, 2, 1), 0xFFFF0000u);
  EXPECT_EQ(argb(r, 3, 2), 0xFF00FF00u);
  EXPECT_EQ(argb(r, 5, 3), 0xFF0000FFu);
  EXPECT_EQ(argb(r, 6, 3), 0u);
  // Scaling a GIF gives a PNG of the first frame.
  Raster s = decode(imaging::scale_image(several, 20, 12));
  EXPECT_TRUE(near(argb(s, 2, 6), 0xFF0000));
  // Truncated: not decoded.
  Raster t;
  EXPECT_FALSE(imaging::detail::decode_gif(std::string_view(one).substr(0, one.size() / 2),
                                           kPictureLimits, t));
}

TEST(Decode, Jpeg) {
  std::string j =
      fixtures::jpeg_file(40, 20, [](int x, int) { return x < 20 ? 0xFFE02020u : 0xFF2020E0u; });
  Raster r = decode(j);
  ASSERT_EQ(r.width, 40);
  ASSERT_EQ(r.height, 20);
  EXPECT_TRUE(near(argb(r, 5, 10), 0xE02020, 12));
  EXPECT_TRUE(near(argb(r, 35, 10), 0x2020E0, 12));
  EXPECT_EQ(alpha(r, 0, 0), 255);
}

TEST(Decode, BmpDepths) {
  const std::vector<std::uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  auto check = [](const fixtures::Dib& d, std::uint32_t left, std::uint32_t right) {
    Raster r = decode(fixtures::bmp_file(d));
    ASSERT_EQ(r.width, d.w) << d.bpp;
    ASSERT_EQ(r.height, d.h) << d.bpp;
    // top row: left colour; bottom row: right colour (the fixtures use x and y).
    EXPECT_EQ(argb(r, 0, 0), left) << d.bpp;
    EXPECT_EQ(argb(r, d.w - 1, d.h - 1), right) << d.bpp;
  };
  for (int bpp : {1, 4, 8}) {
    fixtures::Dib d{13, 7, bpp, pal, [](int x, int y) { return (x == 12 && y == 6) ? 1u : 0u; }};
    if (bpp == 1) d.palette = {0x0000FF, 0xFF0000};
    std::uint32_t first = bpp == 1 ? 0xFF0000FFu : 0xFF000000u;
    check(d, first, 0xFFFF0000u);
  }
  {  // 16 bits, 5-5-5
    fixtures::Dib d{5, 3, 16, {}, [](int x, int) { return x ? 0x7C00u : 0x001Fu; }};
    check(d, 0xFF0000FFu, 0xFFFF0000u);
  }
  {  // 16 bits, 5-6-5 bit fields
    fixtures::Dib d{5, 3, 16, {}, [](int x, int) { return x ? 0x07E0u : 0xF800u; }};
    d.bitfields = {0xF800, 0x07E0, 0x001F};
    check(d, 0xFFFF0000u, 0xFF00FF00u);
  }
  {  // 24 bits, top-down
    fixtures::Dib d{
        6, 4, 24, {}, [](int x, int y) { return x == 0 && y == 0 ? 0x123456u : 0xABCDEFu; }};
    d.top_down = true;
    check(d, 0xFF123456u, 0xFFABCDEFu);
  }
  {  // 32 bits with an all-zero alpha byte: opaque
    fixtures::Dib d{3, 3, 32, {}, [](int, int) { return 0x00405060u; }};
    check(d, 0xFF405060u, 0xFF405060u);
  }
  {  // 32 bits with alpha
    fixtures::Dib d{3, 3, 32, {}, [](int x, int) { return x ? 0x80405060u : 0xFF010203u; }};
    check(d, 0xFF010203u, 0x80405060u);
  }
  // Truncated pixel data and unknown compression: refused.
  fixtures::Dib d{64, 64, 24, {}, [](int, int) { return 0u; }};
  std::string b = fixtures::bmp_file(d);
  Raster r;
  EXPECT_FALSE(
      imaging::detail::decode_bmp(std::string_view(b).substr(0, b.size() - 10), kPictureLimits, r));
  b[14 + 16] = 1;  // BI_RLE8
  EXPECT_FALSE(imaging::detail::decode_bmp(b, kPictureLimits, r));
}

TEST(Decode, IconDibAndMask) {
  fixtures::Dib d{16, 16, 24, {}, [](int, int) { return 0x3366CCu; }};
  d.transparent = [](int x, int y) { return x < 4 || y < 2; };
  std::string bytes = fixtures::dib_bytes(d, true);
  Raster r;
  ASSERT_TRUE(imaging::detail::decode_icon_dib(bytes, imaging::detail::kIconLimits, r));
  ASSERT_EQ(r.width, 16);
  ASSERT_EQ(r.height, 16);
  EXPECT_EQ(argb(r, 0, 10), 0u);
  EXPECT_EQ(argb(r, 10, 0), 0u);
  EXPECT_EQ(argb(r, 10, 10), 0xFF3366CCu);
  // 32-bit with alpha: the alpha channel counts, not the mask.
  std::string a =
      fixtures::icon_dib32(8, 8, [](int x, int) { return x < 4 ? 0x80FF0000u : 0xFF00FF00u; });
  ASSERT_TRUE(imaging::detail::decode_icon_dib(a, imaging::detail::kIconLimits, r));
  EXPECT_EQ(argb(r, 0, 0), 0x80FF0000u);
  EXPECT_EQ(argb(r, 7, 7), 0xFF00FF00u);
}

TEST(Size, FromHeaders) {
  TempDir dir;
  std::vector<std::uint32_t> colours = {0, 0xFFFFFF};
  fixtures::GifFrame f{0, 0, 3, 5, [](int, int) { return 1; }, -1, false};
  struct Case {
    std::string name, bytes;
    int w, h;
  } cases[] = {
      {"a.png", fixtures::solid_png(37, 21, 0xFF000000u), 37, 21},
      {"a.gif", fixtures::gif_file(33, 17, colours, {f}), 33, 17},
      {"a.jpg", fixtures::jpeg_file(45, 19, [](int, int) { return 0xFF808080u; }), 45, 19},
      {"a.bmp", fixtures::bmp_file({11, 9, 24, {}, [](int, int) { return 0u; }}), 11, 9},
  };
  for (const Case& c : cases) {
    std::string p = dir.write(c.name, c.bytes);
    EXPECT_EQ(imaging::read_image_size(p), (imaging::ImageSize{c.w, c.h})) << c.name;
    EXPECT_EQ(imaging::read_image_size_from_bytes(c.bytes), (imaging::ImageSize{c.w, c.h}));
  }
  EXPECT_EQ(imaging::read_image_size((dir.path / "missing.png").string()), imaging::ImageSize{});
  EXPECT_EQ(imaging::read_image_size(dir.write("junk", "hello world, no picture")),
            imaging::ImageSize{});
  EXPECT_EQ(imaging::read_image_size(dir.path.string()), imaging::ImageSize{});  // a folder
  EXPECT_EQ(imaging::read_image_size(""), imaging::ImageSize{});
}
