// File icons (ICO, PE, shortcuts, theme, missing paths) and the built-in pictures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fixtures.h"
#include "imaging/imaging.h"
#include "imaging/raster.h"
#include "test_support.h"

using imaging::detail::kPictureLimits;
using imaging::detail::Raster;

namespace {

[[maybe_unused]] auto* const g_env =
    ::testing::AddGlobalTestEnvironment(new fixtures::StartedImaging);

Raster decode(std::string_view bytes) {
  Raster r;
  EXPECT_TRUE(imaging::detail::decode_png(bytes, kPictureLimits, r));
  return r;
}
std::uint32_t argb(const Raster& r, int x, int y) {
  const std::uint8_t* p = r.row(y) + x * 4;
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) |
         p[2];
}

using fixtures::TempDir;

// An icon image of size s in one colour, with a transparent margin of s / 8 (at least 2 px).
std::uint32_t margin(int s, int x, int y, std::uint32_t c) {
  int m = std::max(2, s / 8);
  return (x < m || y < m || x >= s - m || y >= s - m) ? 0u : c;
}
fixtures::IcoImage dib32(int s, std::uint32_t c) {
  return {s, s, 32, fixtures::icon_dib32(s, s, [=](int x, int y) { return margin(s, x, y, c); })};
}
fixtures::IcoImage png_entry(int s, std::uint32_t c) {
  return {s, s, 32, fixtures::png(s, s, [=](int x, int y) { return margin(s, x, y, c); })};
}
fixtures::IcoImage dib8(int s, std::uint32_t rgb) {
  fixtures::Dib d{s, s, 8, {0x000000, rgb}, [](int, int) { return 1u; }};
  d.transparent = [s](int x, int y) { return x < 2 || y < 2 || x >= s - 2 || y >= s - 2; };
  return {s, s, 8, fixtures::dib_bytes(d, true)};
}

// The colour in the middle of a result, which must be a PNG of size x size.
std::uint32_t middle(const std::string& png, int size) {
  Raster r = decode(png);
  EXPECT_EQ(r.width, size);
  EXPECT_EQ(r.height, size);
  if (r.width != size || r.height != size) return 0;
  EXPECT_EQ(argb(r, 0, 0), 0u) << "transparency kept";
  return argb(r, size / 2, size / 2);
}

}  // namespace

TEST(Rank, ExactDeepestThenNearestLargerThenLargest) {
  using imaging::detail::IconEntry;
  std::vector<IconEntry> e(6);
  e[0] = {16, 16, 32};
  e[1] = {32, 32, 4};
  e[2] = {32, 32, 32};
  e[3] = {48, 48, 32};
  e[4] = {256, 256, 32};
  e[5] = {64, 64, 8};
  std::size_t order[6];
  ASSERT_EQ(imaging::detail::rank_icon_entries(e.data(), 6, 32, order, 6), 6u);
  EXPECT_EQ(order[0], 2u);
  EXPECT_EQ(order[1], 1u);
  EXPECT_EQ(order[2], 3u);  // nearest larger
  imaging::detail::rank_icon_entries(e.data(), 6, 40, order, 6);
  EXPECT_EQ(order[0], 3u);
  EXPECT_EQ(order[1], 5u);
  EXPECT_EQ(order[2], 4u);
  imaging::detail::rank_icon_entries(e.data(), 6, 300, order, 6);
  EXPECT_EQ(order[0], 4u);  // the largest
  EXPECT_EQ(order[1], 5u);
}

TEST(Ico, ChoosesTheBestImage) {
  TempDir dir;
  std::string ico =
      fixtures::ico_file({dib8(16, 0x111111), dib8(32, 0x222222), dib32(32, 0xFF333333u),
                          dib32(48, 0xFF444444u), png_entry(256, 0xFF555555u)});
  std::string p = dir.write("app.ico", ico);
  EXPECT_EQ(middle(imaging::extract_file_icon(p, 32), 32), 0xFF333333u);
  EXPECT_EQ(middle(imaging::extract_file_icon(p, 48), 48), 0xFF444444u);
  EXPECT_EQ(middle(imaging::extract_file_icon(p, 40), 40), 0xFF444444u);  // 48 scaled down
  EXPECT_EQ(middle(imaging::extract_file_icon(p, 16), 16), 0xFF111111u);
  EXPECT_EQ(middle(imaging::extract_file_icon(p, 300), 300), 0xFF555555u);  // largest, scaled up
  // No depth in the directory: read from the images themselves.
  fixtures::IcoImage low = dib8(32, 0x666666), high = dib32(32, 0xFF777777u);
  low.bpp = high.bpp = 0;
  std::string nodepth = dir.write("nodepth.ico", fixtures::ico_file({low, high}));
  EXPECT_EQ(middle(imaging::extract_file_icon(nodepth, 32), 32), 0xFF777777u);
  // A broken best image: the next one is taken.
  std::string bad_first =
      fixtures::ico_file({{32, 32, 32, "garbage garbage garbage garbage"}, dib8(32, 0x222222)});
  EXPECT_EQ(middle(imaging::extract_file_icon(dir.write("b.ico", bad_first), 32), 32), 0xFF222222u);
}

TEST(Pe, FirstGroupAndBestImage) {
  TempDir dir;
  std::vector<fixtures::PeGroup> groups = {
      {7,
       {dib8(16, 0x101010), dib32(32, 0xFF202020u), png_entry(48, 0xFF303030u),
        png_entry(256, 0xFF404040u)}},
      {9, {dib32(32, 0xFF999999u), dib32(48, 0xFF999999u)}},
  };
  for (bool plus : {false, true}) {
    std::string p =
        dir.write(plus ? "app64.exe" : "app.dll", fixtures::pe_file(groups, 0x3000, plus));
    EXPECT_EQ(middle(imaging::extract_file_icon(p, 32), 32), 0xFF202020u);
    EXPECT_EQ(middle(imaging::extract_file_icon(p, 48), 48), 0xFF303030u);  // PNG-compressed entry
    EXPECT_EQ(middle(imaging::extract_file_icon(p, 64), 64), 0xFF404040u);  // nearest larger
    // The group by index and by id (icon locations of shortcuts).
    imaging::detail::FileSource src(p);
    Raster r;
    ASSERT_TRUE(imaging::detail::load_pe_icon(src, 32, 1, r));
    EXPECT_EQ(argb(r, 16, 16), 0xFF999999u);
    ASSERT_TRUE(imaging::detail::load_pe_icon(src, 32, -9, r));
    EXPECT_EQ(argb(r, 16, 16), 0xFF999999u);
    ASSERT_TRUE(imaging::detail::load_pe_icon(src, 32, -7, r));
    EXPECT_EQ(argb(r, 16, 16), 0xFF202020u);
  }
  // A PE without icons, with a theme provider absent: the blank file icon.
  std::string none = dir.write("none.exe", fixtures::pe_file({}, 0x200));
  EXPECT_EQ(imaging::extract_file_icon(none, 32), std::string(imaging::blank_file_icon_32()));
}

TEST(Missing, BlankFileIcon) {
  EXPECT_EQ(imaging::extract_file_icon("", 32), std::string(imaging::blank_file_icon_32()));
  EXPECT_EQ(imaging::extract_file_icon("/no/such/file.exe", 48),
            std::string(imaging::blank_file_icon_48()));
  Raster r = decode(imaging::extract_file_icon("/no/such/file.exe", 40));
  EXPECT_EQ(r.width, 40);
  EXPECT_EQ(r.height, 40);
  EXPECT_EQ(argb(r, 0, 0), 0u);
  Raster b = decode(imaging::blank_file_icon_32());
  EXPECT_EQ(b.width, 32);
  EXPECT_EQ(argb(b, 16, 16) >> 24, 255u);
}

namespace {
struct FakeTheme : imaging::ThemeIconProvider {
  int calls = 0;
  std::string icon_png(const std::string& path, int size) override {
    ++calls;
    if (path.find("nothing") != std::string::npos) return {};
    return fixtures::png(size * 2, size * 2,
                         [=](int x, int y) { return margin(size * 2, x, y, 0xFF00AA00u); });
  }
};
}  // namespace

TEST(Theme, OtherFilesAndFolders) {
  TempDir dir;
  std::string txt = dir.write("notes.txt", "hello");
  std::string nothing = dir.write("nothing.dat", "x");
  EXPECT_EQ(imaging::extract_file_icon(txt, 32), std::string(imaging::blank_file_icon_32()));
  FakeTheme theme;
  imaging::set_theme_icon_provider(&theme);
  EXPECT_EQ(middle(imaging::extract_file_icon(txt, 32), 32), 0xFF00AA00u);
  EXPECT_EQ(middle(imaging::extract_file_icon(dir.path.string(), 48), 48), 0xFF00AA00u);
  EXPECT_EQ(imaging::extract_file_icon(nothing, 48), std::string(imaging::blank_file_icon_48()));
  // Missing paths never reach the provider.
  int before = theme.calls;
  imaging::extract_file_icon("/no/such/thing", 32);
  EXPECT_EQ(theme.calls, before);
  imaging::set_theme_icon_provider(nullptr);
}

TEST(Shortcut, IconLocationThenTargetThenDefault) {
  TempDir dir;
  std::filesystem::create_directories(dir.path / "bin");
  dir.write("bin/app.ico", fixtures::ico_file({dib32(32, 0xFF123456u), dib32(48, 0xFF123456u)}));
  dir.write("bin/tool.exe",
            fixtures::pe_file({{1, {dib32(32, 0xFF654321u), dib32(48, 0xFF654321u)}}}));
  // Icon location relative to the link's folder.
  fixtures::Lnk a;
  a.local_base = "C:\\Tools\\tool.exe";
  a.icon_location = u"bin\\app.ico";
  std::string la = dir.write("a.lnk", fixtures::lnk_file(a));
  EXPECT_EQ(middle(imaging::extract_file_icon(la, 32), 32), 0xFF123456u);
  // No usable icon location: the target through the relative path.
  fixtures::Lnk b;
  b.local_base = "C:\\Tools\\tool.exe";
  b.relative_path = u".\\bin\\tool.exe";
  b.icon_location = u"C:\\Windows\\system32\\shell32.dll";
  std::string lb = dir.write("b.lnk", fixtures::lnk_file(b));
  EXPECT_EQ(middle(imaging::extract_file_icon(lb, 48), 48), 0xFF654321u);
  // A target on the Z: drive (the root, as Wine maps it).
  fixtures::Lnk c;
  std::string z = "Z:" + (dir.path / "bin" / "tool.exe").string();
  for (char& ch : z)
    if (ch == '/') ch = '\\';
  c.local_base = z;
  std::string lc = dir.write("c.lnk", fixtures::lnk_file(c));
  EXPECT_EQ(middle(imaging::extract_file_icon(lc, 32), 32), 0xFF654321u);
  // Nothing here: the blank file icon.
  fixtures::Lnk d;
  d.local_base = "D:\\elsewhere\\x.exe";
  std::string ld = dir.write("d.lnk", fixtures::lnk_file(d));
  EXPECT_EQ(imaging::extract_file_icon(ld, 32), std::string(imaging::blank_file_icon_32()));
  // A link whose target is itself: bounded.
  fixtures::Lnk e;
  e.local_base = "x";
  e.relative_path = u"e.lnk";
  std::string le = dir.write("e.lnk", fixtures::lnk_file(e));
  EXPECT_FALSE(imaging::extract_file_icon(le, 32).empty());
}

TEST(Shortcut, MapLinkPath) {
  using imaging::detail::map_link_path;
  EXPECT_EQ(map_link_path("Z:\\usr\\bin\\x", "/l"), "/usr/bin/x");
  EXPECT_EQ(map_link_path("z:", "/l"), "/");
  EXPECT_EQ(map_link_path("C:\\x.exe", "/l"), "");
  EXPECT_EQ(map_link_path("\\\\server\\share\\x", "/l"), "");
  EXPECT_EQ(map_link_path("%SystemRoot%\\x.dll", "/l"), "");
  EXPECT_EQ(map_link_path("..\\a\\b.ico", "/l/m"), "/l/m/../a/b.ico");
  EXPECT_EQ(map_link_path("\\opt\\x", "/l"), "/opt/x");
  EXPECT_EQ(map_link_path("", "/l"), "");
}

TEST(Defaults, PicturesAndLayout) {
  struct Case {
    std::string_view png;
    int size, x0, x1, y0, y1, ox0, ox1, oy0, oy1;
  } cases[] = {{imaging::default_icon_40(), 40, 7, 34, 4, 39, 7, 31, 5, 37},
               {imaging::default_icon_48(), 48, 8, 41, 5, 47, 8, 38, 6, 45}};
  for (const Case& c : cases) {
    Raster r = decode(c.png);
    ASSERT_EQ(r.width, c.size);
    ASSERT_EQ(r.height, c.size);
    EXPECT_EQ(c.png[24], 8);
    EXPECT_EQ(c.png[25], 6);
    // Chunks in order: IHDR sRGB gAMA pHYs IDAT IEND.
    std::vector<std::string> chunks;
    for (std::size_t at = 8; at + 8 <= c.png.size();) {
      std::uint32_t len = (std::uint32_t(std::uint8_t(c.png[at])) << 24) |
                          (std::uint32_t(std::uint8_t(c.png[at + 1])) << 16) |
                          (std::uint32_t(std::uint8_t(c.png[at + 2])) << 8) |
                          std::uint8_t(c.png[at + 3]);
      chunks.emplace_back(c.png.substr(at + 4, 4));
      at += 12 + len;
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "sRGB", "gAMA", "pHYs", "IDAT", "IEND"}));
    int ax0 = 99, ax1 = -1, ay0 = 99, ay1 = -1, bx0 = 99, bx1 = -1, by0 = 99, by1 = -1;
    for (int y = 0; y < c.size; ++y) {
      for (int x = 0; x < c.size; ++x) {
        std::uint32_t v = argb(r, x, y);
        if (v >> 24) {
          ax0 = std::min(ax0, x);
          ax1 = std::max(ax1, x);
          ay0 = std::min(ay0, y);
          ay1 = std::max(ay1, y);
        }
        if ((v >> 24) == 255) {
          bx0 = std::min(bx0, x);
          bx1 = std::max(bx1, x);
          by0 = std::min(by0, y);
          by1 = std::max(by1, y);
        }
      }
    }
    EXPECT_EQ(ax0, c.x0);
    EXPECT_EQ(ax1, c.x1);
    EXPECT_EQ(ay0, c.y0);
    EXPECT_EQ(ay1, c.y1);
    EXPECT_EQ(bx0, c.ox0);
    EXPECT_EQ(bx1, c.ox1);
    EXPECT_EQ(by0, c.oy0);
    EXPECT_EQ(by1, c.oy1);
    // Near-white body.
    std::uint32_t mid = argb(r, c.size / 2 - 4, c.size / 2);
    EXPECT_GE((mid >> 16) & 0xFF, 236u);
    // Scaling keeps the transparency.
    Raster s = decode(imaging::scale_image(c.png, 32, 32));
    EXPECT_EQ(argb(s, 0, 0), 0u);
    EXPECT_EQ(argb(s, 16, 16) >> 24, 255u);
  }
  // Each use is a copy the caller owns; the bytes do not change.
  EXPECT_EQ(std::string(imaging::default_icon_40()), std::string(imaging::default_icon_40()));
}
