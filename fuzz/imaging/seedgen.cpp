// Writes the seed corpora of the imaging fuzz targets from the test fixtures:
//   imaging_seedgen ROOT/fuzz/corpus
#include <filesystem>
#include <fstream>
#include <iostream>

#include "fixtures.h"

namespace {

std::filesystem::path g_root;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
  auto dir = g_root / target;
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::uint32_t pattern(int x, int y) {
  return ((x + y) % 3 == 0) ? 0u : 0xFF000000u | static_cast<std::uint32_t>(x * 40) << 16 | static_cast<std::uint32_t>(y * 40);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: imaging_seedgen CORPUS_ROOT\n";
    return 2;
  }
  g_root = argv[1];
  using namespace fixtures;
  seed("fuzz_png", "rgba6x5.png", png(6, 5, pattern));
  seed("fuzz_png", "opaque1x1.png", solid_png(1, 1, 0xFF102030u));

  std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  GifFrame f1{0, 0, 6, 4, [](int x, int y) { return (x + y) % 4; }, 3, false};
  GifFrame f2{1, 1, 3, 9, [](int, int y) { return y % 4; }, -1, true};
  seed("fuzz_gif", "one.gif", gif_file(6, 4, colours, {f1}));
  seed("fuzz_gif", "two.gif", gif_file(8, 12, colours, {f2, f1}));

  seed("fuzz_jpeg", "small.jpg", jpeg_file(9, 7, pattern));

  const std::vector<std::uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  for (int bpp : {1, 4, 8, 24, 32}) {
    Dib d{5, 3, bpp, bpp <= 8 ? pal : std::vector<std::uint32_t>{},
          [bpp](int x, int y) { return bpp <= 8 ? static_cast<std::uint32_t>((x + y) % 2) : 0x80FF8040u; }};
    seed("fuzz_bmp", "file" + std::to_string(bpp) + ".bmp", std::string(1, '\0') + bmp_file(d));
    d.transparent = [](int x, int) { return x == 0; };
    seed("fuzz_bmp", "icon" + std::to_string(bpp) + ".dib", std::string(1, '\1') + dib_bytes(d, true));
  }
  Dib bf{4, 2, 16, {}, [](int x, int) { return x ? 0xF800u : 0x001Fu; }};
  bf.bitfields = {0xF800, 0x07E0, 0x001F};
  seed("fuzz_bmp", "bitfields16.bmp", std::string(1, '\0') + bmp_file(bf));

  auto dib32 = [](int s) { return IcoImage{s, s, 32, icon_dib32(s, s, pattern)}; };
  Dib d4{16, 16, 4, pal, [](int x, int) { return static_cast<std::uint32_t>(x % 4); }};
  d4.transparent = [](int x, int y) { return x == y; };
  IcoImage four{16, 16, 4, dib_bytes(d4, true)};
  IcoImage pngimg{48, 48, 32, png(48, 48, pattern)};
  seed("fuzz_ico", "mixed.ico", ico_file({four, dib32(32), pngimg}));
  seed("fuzz_ico", "one.ico", ico_file({dib32(16)}));

  seed("fuzz_pe", "pe32.exe", std::string(1, '\0') + pe_file({{1, {four, dib32(32), pngimg}}, {5, {dib32(16)}}}));
  seed("fuzz_pe", "pe64.dll", std::string(1, '\x10') + pe_file({{3, {dib32(32)}}}, 0x200, true));

  Lnk a;
  a.local_base = "C:\\Tools\\";
  a.suffix = "a.exe";
  a.arguments = u"-x 1";
  a.icon_location = u"app.ico";
  a.relative_path = u".\\a.exe";
  seed("fuzz_shortcut", "linkinfo.lnk", lnk_file(a));
  Lnk b;
  b.id_drive = "C:\\";
  b.id_names = {u"Program Files", u"tool.exe"};
  b.local_base_unicode = u"C:\\x.exe";
  b.local_base = "C:\\x.exe";
  seed("fuzz_shortcut", "idlist.lnk", lnk_file(b));
  Lnk c;
  c.net_name = "\\\\server\\share";
  c.suffix = "t.exe";
  c.unicode = false;
  c.ansi_arguments = "/q";
  seed("fuzz_shortcut", "network.lnk", lnk_file(c));
  return 0;
}
