// Draws the project's built-in icons (the 40 and 48 px defaults and the blank file icon) and writes
// them as constant byte arrays, the committed src/imaging/default_icons_data.cpp.
//
//   iconart OUT.cpp        write the C++ source
//   iconart --png DIR      also write the four pictures as PNG files, to look at them
//
// The pictures are drawn with 8 x 8 supersampling and written as 8-bit RGBA PNG files with
// the chunks IHDR, sRGB (intent 0), gAMA (45455), pHYs (3779 x 3779 per metre), one IDAT and
// IEND, the layout the host's pictures have. Only zlib is used, so the output is reproducible.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // straight colour 0..255, alpha 0..1
};

// Porter-Duff "over" of straight colours.
Rgba over(const Rgba& top, const Rgba& under) {
  double a = top.a + under.a * (1 - top.a);
  if (a <= 0) return {};
  auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
  return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

struct Page {
  int size;
  double left, right, top, bottom;  // the sheet
  double fold;                      // side of the folded corner
  double edge;                      // width of the grey edge
  double edge_grey;
  double shadow_alpha;  // 0: no shadow
  double shadow_offset, shadow_blur;
};

// The colour at a point of the picture.
Rgba sample(const Page& p, double x, double y) {
  Rgba out;
  if (p.shadow_alpha > 0 && x >= p.left + p.shadow_offset && y >= p.top + p.shadow_offset) {
    double l = p.left + p.shadow_offset, r = p.right + p.shadow_offset;
    double t = p.top + p.shadow_offset, b = p.bottom + p.shadow_offset;
    double dx = std::max({l - x, 0.0, x - r}), dy = std::max({t - y, 0.0, y - b});
    double d = std::sqrt(dx * dx + dy * dy);
    // The shadow has the sheet's cut corner too.
    double sx = x - p.shadow_offset, sy = y - p.top - p.shadow_offset;
    double fx0 = p.right - p.fold;
    if (sx > fx0 && sy < p.fold) d = std::max(d, ((sx - fx0) - sy) / std::sqrt(2.0));
    double k = std::clamp(1.0 - d / p.shadow_blur, 0.0, 1.0);
    out = {110, 110, 110, p.shadow_alpha * k * k};
  }
  bool inside = x >= p.left && x < p.right && y >= p.top && y < p.bottom;
  double fx = p.right - p.fold, fy = p.top + p.fold;
  // The folded corner is cut off the sheet along the diagonal from (fx, top) to (right, fy).
  bool cut = x > fx && y < fy && (x - fx) > (y - p.top);
  if (!inside || cut) return out;
  bool flap = x > fx && y < fy;  // the turned-down triangle under the diagonal
  double e = p.edge;
  bool on_edge = x < p.left + e || x >= p.right - e || y < p.top + e || y >= p.bottom - e;
  // Along the diagonal of the cut, and the two inner sides of the flap.
  double diag = std::fabs((x - fx) - (y - p.top)) / std::sqrt(2.0);
  bool on_fold = x > fx - e && y < fy + e &&
                 (diag < e * 0.75 || (flap && (x < fx + e || y >= fy - e)));
  Rgba paper;
  if (on_edge || on_fold) {
    paper = {p.edge_grey, p.edge_grey, p.edge_grey + 4, 1};
  } else if (flap) {
    double t = (y - p.top) / p.fold;
    double g = 226 - 14 * t;
    paper = {g, g, g + 2, 1};
  } else {
    // Near-white body, lightest at the top left.
    double t = ((x - p.left) / (p.right - p.left) + (y - p.top) / (p.bottom - p.top)) / 2;
    double g = 255 - 19 * t;
    paper = {g, g, std::min(255.0, g + 1), 1};
  }
  return over(paper, out);
}

std::vector<std::uint8_t> draw(const Page& p) {
  const int n = p.size, ss = 8;
  std::vector<std::uint8_t> px(static_cast<std::size_t>(n) * n * 4);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      double pr = 0, pg = 0, pb = 0, pa = 0;  // premultiplied sums
      for (int sy = 0; sy < ss; ++sy) {
        for (int sx = 0; sx < ss; ++sx) {
          Rgba c = sample(p, x + (sx + 0.5) / ss, y + (sy + 0.5) / ss);
          pr += c.r * c.a;
          pg += c.g * c.a;
          pb += c.b * c.a;
          pa += c.a;
        }
      }
      std::uint8_t* o = &px[(static_cast<std::size_t>(y) * n + x) * 4];
      double a = pa / (ss * ss);
      int ai = static_cast<int>(std::lround(a * 255));
      if (ai <= 0) continue;
      auto ch = [&](double s) {
        return static_cast<std::uint8_t>(std::clamp(std::lround(s / pa), 0L, 255L));
      };
      o[0] = ch(pr);
      o[1] = ch(pg);
      o[2] = ch(pb);
      o[3] = static_cast<std::uint8_t>(std::min(ai, 255));
    }
  }
  return px;
}

void put32(std::string& s, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (i * 8)) & 0xFF));
}

void chunk(std::string& png, const char* type, const std::string& data) {
  put32(png, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  put32(png, static_cast<std::uint32_t>(
                 crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

int paeth(int a, int b, int c) {
  int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

std::string encode(const std::vector<std::uint8_t>& px, int n) {
  const std::size_t stride = static_cast<std::size_t>(n) * 4;
  std::string raw;
  std::vector<std::uint8_t> zero(stride, 0);
  for (int y = 0; y < n; ++y) {
    const std::uint8_t* cur = &px[y * stride];
    const std::uint8_t* prev = y ? &px[(y - 1) * stride] : zero.data();
    std::string best;
    long best_cost = -1;
    for (int f = 0; f < 5; ++f) {
      std::string line(1, static_cast<char>(f));
      long cost = 0;
      for (std::size_t i = 0; i < stride; ++i) {
        int a = i >= 4 ? cur[i - 4] : 0, b = prev[i], c = i >= 4 ? prev[i - 4] : 0;
        int pred = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : paeth(a, b, c);
        auto v = static_cast<std::uint8_t>(cur[i] - pred);
        line.push_back(static_cast<char>(v));
        cost += v < 128 ? v : 256 - v;
      }
      if (best_cost < 0 || cost < best_cost) {
        best_cost = cost;
        best = line;
      }
    }
    raw += best;
  }
  uLongf len = compressBound(static_cast<uLong>(raw.size()));
  std::string z(len, '\0');
  compress2(reinterpret_cast<Bytef*>(z.data()), &len, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  z.resize(len);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  put32(ihdr, static_cast<std::uint32_t>(n));
  put32(ihdr, static_cast<std::uint32_t>(n));
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, not interlaced
  chunk(png, "IHDR", ihdr);
  chunk(png, "sRGB", std::string(1, '\0'));
  std::string gama;
  put32(gama, 45455);
  chunk(png, "gAMA", gama);
  std::string phys;
  put32(phys, 3779);
  put32(phys, 3779);
  phys.push_back('\x01');
  chunk(png, "pHYs", phys);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

struct Icon {
  const char* name;
  Page page;
};

// 40 px: any opacity in columns 7..34 and rows 4..39, opaque in columns 7..31 and
// rows 5..37; 48 px: columns 8..41, rows 5..47, opaque 8..38, 6..45. The blank file icons
// (a missing file) are plainer: a thin darker outline and no shadow.
const Icon kIcons[] = {
    {"kDefaultIcon40", {40, 7.0, 32.0, 4.5, 38.0, 8.0, 1.0, 182, 0.42, 1.0, 2.0}},
    {"kDefaultIcon48", {48, 8.0, 39.0, 5.5, 46.0, 10.0, 1.0, 180, 0.42, 1.0, 2.0}},
    {"kBlankFileIcon32", {32, 6.0, 26.0, 2.0, 30.0, 7.0, 1.0, 150, 0.0, 0.0, 1.0}},
    {"kBlankFileIcon48", {48, 9.0, 39.0, 3.0, 45.0, 10.0, 1.0, 150, 0.0, 0.0, 1.0}},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--png")) {
    std::cerr << "usage: iconart OUT.cpp [--png DIR]\n";
    return 2;
  }
  std::ostringstream src;
  src << "// Generated by tools/iconart (iconart OUT.cpp); do not edit.\n"
         "#include <cstddef>\n\n"
         "namespace imaging::detail {\n";
  for (const Icon& icon : kIcons) {
    std::string png = encode(draw(icon.page), icon.page.size);
    src << "\nextern const unsigned char " << icon.name << "[] = {";
    for (std::size_t i = 0; i < png.size(); ++i) {
      if (i % 16 == 0) src << "\n   ";
      char buf[8];
      std::snprintf(buf, sizeof buf, " 0x%02x,", static_cast<unsigned char>(png[i]));
      src << buf;
    }
    src << "\n};\nextern const std::size_t " << icon.name << "Size = " << png.size() << ";\n";
    if (argc == 4) {
      std::ofstream(std::string(argv[3]) + "/" + icon.name + ".png", std::ios::binary) << png;
    }
  }
  src << "\n}  // namespace imaging::detail\n";
  std::ofstream out(argv[1], std::ios::binary);
  out << src.str();
  return out ? 0 : 1;
}
