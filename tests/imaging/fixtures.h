// Builders of the small fixtures the imaging tests, benchmark and fuzz seeds use: PNG, BMP,
// GIF and JPEG pictures, icon DIBs, ICO files, minimal PE files with icon groups, and shell
// links. All made here, byte by byte, so nothing binary needs to be committed.
#pragma once

#include <gif_lib.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/raster.h"

namespace fixtures {

using imaging::detail::Raster;

inline void put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void set16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void set32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// 0xAARRGGBB for each pixel.
using PixelFn = std::function<std::uint32_t(int x, int y)>;

inline Raster raster(int w, int h, const PixelFn& fn) {
  Raster r;
  r.allocate(w, h, imaging::detail::kPictureLimits);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = fn(x, y);
      std::uint8_t* p = r.row(y) + x * 4;
      p[0] = (v >> 16) & 0xFF;
      p[1] = (v >> 8) & 0xFF;
      p[2] = v & 0xFF;
      p[3] = v >> 24;
    }
  }
  return r;
}

inline std::string png(int w, int h, const PixelFn& fn) {
  return imaging::detail::encode_png(raster(w, h, fn));
}

inline std::string solid_png(int w, int h, std::uint32_t argb) {
  return png(w, h, [argb](int, int) { return argb; });
}

// ---- DIB / BMP ----

struct Dib {
  int w = 0, h = 0, bpp = 32;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB, for bpp <= 8
  // bpp <= 8: palette index; 16: the raw 16-bit value; 24: 0xRRGGBB; 32: the raw 32-bit value
  // (0xAARRGGBB in the default layout).
  std::function<std::uint32_t(int, int)> value;
  bool top_down = false;
  std::vector<std::uint32_t> bitfields;       // BI_BITFIELDS masks (3) when not empty
  std::function<bool(int, int)> transparent;  // icons: the AND mask bit
};

// BITMAPINFOHEADER, masks, colour table and the XOR rows; for an icon also the AND mask
// (and the height doubled).
inline std::string dib_bytes(const Dib& d, bool icon) {
  std::string s;
  put32(s, 40);
  put32(s, static_cast<std::uint32_t>(d.w));
  std::int32_t h = icon ? 2 * d.h : (d.top_down ? -d.h : d.h);
  put32(s, static_cast<std::uint32_t>(h));
  put16(s, 1);
  put16(s, static_cast<unsigned>(d.bpp));
  put32(s, d.bitfields.empty() ? 0 : 3);
  put32(s, 0);
  put32(s, 2835);
  put32(s, 2835);
  put32(s, static_cast<std::uint32_t>(d.palette.size()));
  put32(s, 0);
  for (std::uint32_t m : d.bitfields) put32(s, m);
  for (std::uint32_t c : d.palette) put32(s, c & 0xFFFFFF);
  const std::size_t stride = ((static_cast<std::size_t>(d.w) * d.bpp + 31) / 32) * 4;
  for (int row = 0; row < d.h; ++row) {
    int y = d.top_down && !icon ? row : d.h - 1 - row;
    std::string line(stride, '\0');
    for (int x = 0; x < d.w; ++x) {
      std::uint32_t v = d.value(x, y);
      if (d.bpp <= 8) {
        std::size_t bit = static_cast<std::size_t>(x) * d.bpp;
        line[bit / 8] = static_cast<char>(line[bit / 8] | (v << (8 - d.bpp - bit % 8)));
      } else if (d.bpp == 16) {
        set16(line, x * 2, v);
      } else if (d.bpp == 24) {
        line[x * 3] = static_cast<char>(v & 0xFF);
        line[x * 3 + 1] = static_cast<char>((v >> 8) & 0xFF);
        line[x * 3 + 2] = static_cast<char>((v >> 16) & 0xFF);
      } else {
        set32(line, x * 4, v);
      }
    }
    s += line;
  }
  if (icon) {
    const std::size_t mstride = ((static_cast<std::size_t>(d.w) + 31) / 32) * 4;
    for (int row = 0; row < d.h; ++row) {
      int y = d.h - 1 - row;
      std::string line(mstride, '\0');
      for (int x = 0; x < d.w; ++x) {
        if (d.transparent && d.transparent(x, y))
          line[x / 8] = static_cast<char>(line[x / 8] | (0x80 >> (x % 8)));
      }
      s += line;
    }
  }
  return s;
}

inline std::string bmp_file(const Dib& d) {
  std::string dib = dib_bytes(d, false);
  std::string s = "BM";
  put32(s, static_cast<std::uint32_t>(14 + dib.size()));
  put32(s, 0);
  std::uint32_t off =
      14 + 40 + static_cast<std::uint32_t>(d.bitfields.size() * 4 + d.palette.size() * 4);
  put32(s, off);
  return s + dib;
}

// A 32-bit icon DIB with alpha from fn (0xAARRGGBB).
inline std::string icon_dib32(int w, int h, const PixelFn& fn) {
  Dib d;
  d.w = w;
  d.h = h;
  d.bpp = 32;
  d.value = fn;
  d.transparent = [fn](int x, int y) { return (fn(x, y) >> 24) == 0; };
  return dib_bytes(d, true);
}

// ---- ICO ----

struct IcoImage {
  int w, h, bpp;
  std::string bytes;  // DIB or PNG
};

// The first 12 bytes of an icon directory entry, the same in .ico files and in a PE icon
// group (what follows is the file offset there, the resource id here).
inline void put_entry_head(std::string& s, const IcoImage& im) {
  s.push_back(static_cast<char>(im.w >= 256 ? 0 : im.w));
  s.push_back(static_cast<char>(im.h >= 256 ? 0 : im.h));
  s.push_back(0);
  s.push_back(0);
  put16(s, 1);
  put16(s, static_cast<unsigned>(im.bpp));
  put32(s, static_cast<std::uint32_t>(im.bytes.size()));
}

inline std::string ico_file(const std::vector<IcoImage>& images) {
  std::string s;
  put16(s, 0);
  put16(s, 1);
  put16(s, static_cast<unsigned>(images.size()));
  std::uint32_t off = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const IcoImage& im : images) {
    put_entry_head(s, im);
    put32(s, off);
    off += static_cast<std::uint32_t>(im.bytes.size());
  }
  for (const IcoImage& im : images) s += im.bytes;
  return s;
}

// ---- PE ----

struct PeGroup {
  std::uint16_t id;
  std::vector<IcoImage> images;
};

inline std::size_t align_up(std::size_t v, std::size_t a) {
  return (v + a - 1) / a * a;
}

// A minimal PE32 (or PE32+) image: a .text section of text_size filler bytes and a .rsrc
// section with RT_ICON and RT_GROUP_ICON resources (groups in the given order, which should
// be ascending ids, as linkers write them).
inline std::string pe_file(const std::vector<PeGroup>& groups, std::size_t text_size = 0x200,
                           bool pe32plus = false) {
  const std::size_t text_raw = align_up(std::max<std::size_t>(text_size, 1), 0x200);
  const std::uint32_t text_va = 0x1000;
  const std::uint32_t rsrc_va = static_cast<std::uint32_t>(text_va + align_up(text_raw, 0x1000));

  struct Icon {
    std::uint16_t id;
    const IcoImage* image;
  };
  std::vector<Icon> icons;
  std::vector<std::string> group_blobs;
  std::uint16_t next = 1;
  for (const PeGroup& g : groups) {
    std::string b;
    put16(b, 0);
    put16(b, 1);
    put16(b, static_cast<unsigned>(g.images.size()));
    for (const IcoImage& im : g.images) {
      put_entry_head(b, im);
      put16(b, next);
      icons.push_back({next, &im});
      ++next;
    }
    group_blobs.push_back(b);
  }
  const std::size_t ni = icons.size(), ng = groups.size();
  std::size_t off = 0;
  const std::size_t root = off;
  off += 16 + 2 * 8;
  const std::size_t icon_dir = off;
  off += 16 + ni * 8;
  const std::size_t group_dir = off;
  off += 16 + ng * 8;
  std::vector<std::size_t> icon_lang(ni), group_lang(ng), icon_de(ni), group_de(ng), icon_blob(ni),
      group_blob(ng);
  for (auto& v : icon_lang) {
    v = off;
    off += 24;
  }
  for (auto& v : group_lang) {
    v = off;
    off += 24;
  }
  for (auto& v : icon_de) {
    v = off;
    off += 16;
  }
  for (auto& v : group_de) {
    v = off;
    off += 16;
  }
  for (std::size_t i = 0; i < ni; ++i) {
    icon_blob[i] = off;
    off = align_up(off + icons[i].image->bytes.size(), 4);
  }
  for (std::size_t i = 0; i < ng; ++i) {
    group_blob[i] = off;
    off = align_up(off + group_blobs[i].size(), 4);
  }
  std::string r(off, '\0');
  auto dir = [&](std::size_t at, unsigned n) { set16(r, at + 14, n); };
  auto entry = [&](std::size_t at, std::uint32_t id, std::uint32_t target, bool subdir) {
    set32(r, at, id);
    set32(r, at + 4, static_cast<std::uint32_t>(target) | (subdir ? 0x80000000u : 0));
  };
  dir(root, 2);
  entry(root + 16, 3, static_cast<std::uint32_t>(icon_dir), true);
  entry(root + 24, 14, static_cast<std::uint32_t>(group_dir), true);
  dir(icon_dir, static_cast<unsigned>(ni));
  for (std::size_t i = 0; i < ni; ++i) {
    entry(icon_dir + 16 + i * 8, icons[i].id, static_cast<std::uint32_t>(icon_lang[i]), true);
    dir(icon_lang[i], 1);
    entry(icon_lang[i] + 16, 1033, static_cast<std::uint32_t>(icon_de[i]), false);
    set32(r, icon_de[i], static_cast<std::uint32_t>(rsrc_va + icon_blob[i]));
    set32(r, icon_de[i] + 4, static_cast<std::uint32_t>(icons[i].image->bytes.size()));
    r.replace(icon_blob[i], icons[i].image->bytes.size(), icons[i].image->bytes);
  }
  dir(group_dir, static_cast<unsigned>(ng));
  for (std::size_t i = 0; i < ng; ++i) {
    entry(group_dir + 16 + i * 8, groups[i].id, static_cast<std::uint32_t>(group_lang[i]), true);
    dir(group_lang[i], 1);
    entry(group_lang[i] + 16, 1033, static_cast<std::uint32_t>(group_de[i]), false);
    set32(r, group_de[i], static_cast<std::uint32_t>(rsrc_va + group_blob[i]));
    set32(r, group_de[i] + 4, static_cast<std::uint32_t>(group_blobs[i].size()));
    r.replace(group_blob[i], group_blobs[i].size(), group_blobs[i]);
  }
  const std::size_t rsrc_raw = align_up(r.size(), 0x200);
  r.resize(rsrc_raw, '\0');

  const std::size_t opt_size = pe32plus ? 0xF0 : 0xE0;
  std::string f(0x400, '\0');
  f[0] = 'M';
  f[1] = 'Z';
  set32(f, 0x3C, 0x80);
  f.replace(0x80, 4, std::string("PE\0\0", 4));
  set16(f, 0x84, pe32plus ? 0x8664 : 0x14C);
  set16(f, 0x86, 2);
  set16(f, 0x94, static_cast<unsigned>(opt_size));
  set16(f, 0x96, 0x0102);
  const std::size_t opt = 0x98;
  set16(f, opt, pe32plus ? 0x20B : 0x10B);
  set32(f, opt + 32, 0x1000);  // SectionAlignment
  set32(f, opt + 36, 0x200);   // FileAlignment
  set32(f, opt + 56, static_cast<std::uint32_t>(rsrc_va + align_up(rsrc_raw, 0x1000)));
  set32(f, opt + 60, 0x400);
  set16(f, opt + 68, 2);
  const std::size_t nrva = pe32plus ? 108 : 92, dirs = pe32plus ? 112 : 96;
  set32(f, opt + nrva, 16);
  set32(f, opt + dirs + 16, rsrc_va);
  set32(f, opt + dirs + 20, static_cast<std::uint32_t>(off));
  const std::size_t sec = opt + opt_size;
  f.replace(sec, 5, ".text");
  set32(f, sec + 8, static_cast<std::uint32_t>(text_size));
  set32(f, sec + 12, text_va);
  set32(f, sec + 16, static_cast<std::uint32_t>(text_raw));
  set32(f, sec + 20, 0x400);
  set32(f, sec + 36, 0x60000020);
  f.replace(sec + 40, 5, ".rsrc");
  set32(f, sec + 48, static_cast<std::uint32_t>(off));
  set32(f, sec + 52, rsrc_va);
  set32(f, sec + 56, static_cast<std::uint32_t>(rsrc_raw));
  set32(f, sec + 60, static_cast<std::uint32_t>(0x400 + text_raw));
  set32(f, sec + 76, 0x40000040);
  std::string text(text_raw, '\0');
  std::uint32_t x = 12345;
  for (char& c : text) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return f + text + r;
}

// ---- GIF ----

struct GifFrame {
  int left = 0, top = 0, w = 0, h = 0;
  std::function<int(int, int)> index;
  int transparent = -1;
  bool interlace = false;
};

inline int gif_write(GifFileType* g, const GifByteType* b, int n) {
  static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(b), n);
  return n;
}

// colours: 0xRRGGBB, at most 256 (padded to a power of two).
inline std::string gif_file(int w, int h, const std::vector<std::uint32_t>& colours,
                            const std::vector<GifFrame>& frames) {
  std::string out;
  int err = 0;
  GifFileType* g = EGifOpen(&out, gif_write, &err);
  if (!g) return {};
  int n = 2;
  while (n < static_cast<int>(colours.size())) n *= 2;
  std::vector<GifColorType> c(n);
  for (std::size_t i = 0; i < colours.size(); ++i)
    c[i] = {static_cast<GifByteType>(colours[i] >> 16), static_cast<GifByteType>(colours[i] >> 8),
            static_cast<GifByteType>(colours[i])};
  ColorMapObject* map = GifMakeMapObject(n, c.data());
  EGifSetGifVersion(g, true);
  EGifPutScreenDesc(g, w, h, 8, 0, map);
  for (const GifFrame& f : frames) {
    unsigned char gce[4] = {static_cast<unsigned char>(f.transparent >= 0 ? 1 : 0), 10, 0,
                            static_cast<unsigned char>(f.transparent >= 0 ? f.transparent : 0)};
    EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    EGifPutImageDesc(g, f.left, f.top, f.w, f.h, f.interlace, nullptr);
    std::vector<GifPixelType> line(f.w);
    auto put = [&](int y) {
      for (int x = 0; x < f.w; ++x) line[x] = static_cast<GifPixelType>(f.index(x, y));
      EGifPutLine(g, line.data(), f.w);
    };
    if (f.interlace) {
      static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < f.h; y += step[p]) put(y);
    } else {
      for (int y = 0; y < f.h; ++y) put(y);
    }
  }
  EGifCloseFile(g, &err);
  GifFreeMapObject(map);
  return out;
}

// ---- JPEG ----

inline std::string jpeg_file(int w, int h, const PixelFn& fn) {
  Raster r = raster(w, h, fn);
  tjhandle tj = tjInitCompress();
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, r.px.get(), w, w * 4, h, TJPF_RGBA, &buf, &size, TJSAMP_444, 95, 0);
  std::string out(reinterpret_cast<char*>(buf), size);
  tjFree(buf);
  tjDestroy(tj);
  return out;
}

// ---- shell links ----

inline void put_u16string(std::string& s, const std::u16string& t) {
  for (char16_t c : t) put16(s, c);
}

struct Lnk {
  // Link information (written when local_base or net_name is set).
  std::string local_base;             // ANSI (GBK)
  std::u16string local_base_unicode;  // written when set (header of 0x24 bytes)
  std::string suffix;                 // ANSI
  std::string net_name;               // ANSI
  // Item-ID list: My Computer, a volume and file entries with long names.
  std::string id_drive;  // "C:\\"; the list is written when set
  std::vector<std::u16string> id_names;
  // String data.
  bool unicode = true;
  std::u16string name, relative_path, working_dir, arguments, icon_location;
  std::string ansi_arguments;  // used when !unicode
  int icon_index = 0;
};

inline std::string lnk_file(const Lnk& k) {
  std::uint32_t flags = 0;
  std::string idlist, info, strings;
  if (!k.id_drive.empty()) {
    flags |= 0x1;
    std::string items;
    // My Computer
    std::string root;
    put16(root, 20);
    root.push_back(0x1F);
    root.push_back(0x50);
    const unsigned char mc[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                  0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
    root.append(reinterpret_cast<const char*>(mc), 16);
    items += root;
    std::string vol;
    put16(vol, 25);
    vol.push_back(0x2F);
    vol += k.id_drive;
    vol.resize(25, '\0');
    items += vol;
    for (std::size_t i = 0; i < k.id_names.size(); ++i) {
      bool last = i + 1 == k.id_names.size();
      std::string it;
      put16(it, 0);  // size, set below
      it.push_back(last ? 0x32 : 0x31);
      it.push_back(0);
      put32(it, 0);  // file size
      put32(it, 0);  // date time
      put16(it, last ? 0x20 : 0x10);
      std::string shortname = "SHORT~" + std::to_string(i + 1);
      it += shortname;
      it.push_back('\0');
      if (it.size() % 2) it.push_back('\0');
      std::size_t ext_at = it.size();
      std::string ext;
      put16(ext, 0);  // size, set below
      put16(ext, 9);  // version
      put32(ext, 0xBEEF0004u);
      put32(ext, 0);
      put32(ext, 0);
      put16(ext, 0x2E);
      ext.resize(46, '\0');
      put_u16string(ext, k.id_names[i]);
      put16(ext, 0);
      put16(ext, static_cast<unsigned>(ext_at));  // first extension block version offset
      set16(ext, 0, static_cast<unsigned>(ext.size()));
      it += ext;  // its last two bytes: the offset of the block, where parsers look
      set16(it, 0, static_cast<unsigned>(it.size()));
      items += it;
    }
    put16(items, 0);
    put16(idlist, static_cast<unsigned>(items.size()));
    idlist += items;
  }
  if (!k.local_base.empty() || !k.net_name.empty()) {
    flags |= 0x2;
    bool wide = !k.local_base_unicode.empty();
    std::uint32_t header = wide ? 0x24 : 0x1C;
    std::string body;  // after the header
    std::uint32_t li_flags = 0, vol_off = 0, base_off = 0, net_off = 0, suffix_off = 0, base_w = 0,
                  suffix_w = 0;
    auto here = [&] { return header + static_cast<std::uint32_t>(body.size()); };
    if (!k.local_base.empty()) {
      li_flags |= 1;
      vol_off = here();
      std::string vol;
      put32(vol, 0x11);
      put32(vol, 3);  // fixed drive
      put32(vol, 0x1234);
      put32(vol, 0x10);
      vol.push_back('\0');
      body += vol;
      base_off = here();
      body += k.local_base;
      body.push_back('\0');
    }
    if (!k.net_name.empty()) {
      li_flags |= 2;
      net_off = here();
      std::string cn;
      put32(cn, static_cast<std::uint32_t>(0x14 + k.net_name.size() + 1));
      put32(cn, 0);
      put32(cn, 0x14);
      put32(cn, 0);
      put32(cn, 0x20000);
      cn += k.net_name;
      cn.push_back('\0');
      body += cn;
    }
    suffix_off = here();
    body += k.suffix;
    body.push_back('\0');
    if (wide) {
      if (body.size() % 2) body.push_back('\0');
      base_w = here();
      put_u16string(body, k.local_base_unicode);
      put16(body, 0);
      suffix_w = here();
      put16(body, 0);
    }
    put32(info, header + static_cast<std::uint32_t>(body.size()));
    put32(info, header);
    put32(info, li_flags);
    put32(info, vol_off);
    put32(info, base_off);
    put32(info, net_off);
    put32(info, suffix_off);
    if (wide) {
      put32(info, base_w);
      put32(info, suffix_w);
    }
    info += body;
  }
  auto add = [&](std::uint32_t flag, const std::u16string& s) {
    if (s.empty()) return;
    flags |= flag;
    put16(strings, static_cast<unsigned>(s.size()));
    put_u16string(strings, s);
  };
  if (k.unicode) {
    flags |= 0x80;
    add(0x4, k.name);
    add(0x8, k.relative_path);
    add(0x10, k.working_dir);
    add(0x20, k.arguments);
    add(0x40, k.icon_location);
  } else if (!k.ansi_arguments.empty()) {
    flags |= 0x20;
    put16(strings, static_cast<unsigned>(k.ansi_arguments.size()));
    strings += k.ansi_arguments;
  }
  std::string h;
  put32(h, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  h.append(reinterpret_cast<const char*>(clsid), 16);
  put32(h, flags);
  put32(h, 0x20);
  h.resize(56, '\0');
  put32(h, static_cast<std::uint32_t>(k.icon_index));
  put32(h, 1);
  h.resize(76, '\0');
  std::string out = h + idlist + info + strings;
  put32(out, 0);  // terminal block
  return out;
}

}  // namespace fixtures
