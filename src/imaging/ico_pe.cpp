// Icon resources of ICO files and of PE executables and libraries.
// Everything is read through a ByteSource with positioned reads: only the headers, the section
// table, the resource directories and the chosen images are read, never the whole file, and
// every count, offset and length is checked before it is used.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/raster.h"

namespace imaging::detail {
namespace {

constexpr std::size_t kMaxEntries = 1024;         // images of one icon group considered
constexpr std::uint32_t kMaxImageBytes = 8u << 20;  // one icon image (PNG or DIB)
constexpr std::uint32_t kMaxGroupBytes = 1u << 20;  // one RT_GROUP_ICON resource
constexpr std::size_t kMaxTries = 8;              // images tried when the best ones are broken
constexpr std::uint32_t kMaxDirEntries = 4096;    // entries of one resource directory read

std::uint32_t rd32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::uint16_t rd16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

int depth_of(int bit_count, int colors) {
  if (bit_count > 0) return bit_count;
  if (colors == 0) return 32;  // 256 or more colours: PNG or true-colour entries
  int d = 1;
  while ((1 << d) < colors && d < 8) ++d;
  return d;
}

bool decode_icon_image(std::string_view bytes, Raster& out) {
  if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8))
    return decode_png(bytes, kIconLimits, out);
  return decode_icon_dib(bytes, kIconLimits, out);
}

}  // namespace

std::size_t rank_icon_entries(const IconEntry* entries, std::size_t count, int size,
                              std::size_t* order, std::size_t max_order) {
  std::vector<std::size_t> idx(count);
  for (std::size_t i = 0; i < count; ++i) idx[i] = i;
  auto group = [&](const IconEntry& e) {
    if (e.width == size && e.height == size) return 0;
    if (e.width >= size && e.height >= size) return 1;
    return 2;
  };
  std::stable_sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) {
    const IconEntry& x = entries[a];
    const IconEntry& y = entries[b];
    int gx = group(x), gy = group(y);
    if (gx != gy) return gx < gy;
    long long ax = static_cast<long long>(x.width) * x.height;
    long long ay = static_cast<long long>(y.width) * y.height;
    if (gx == 1 && ax != ay) return ax < ay;  // nearest larger
    if (gx == 2 && ax != ay) return ax > ay;  // largest
    return x.bit_count > y.bit_count;         // deepest colour
  });
  std::size_t n = std::min(count, max_order);
  std::copy(idx.begin(), idx.begin() + static_cast<std::ptrdiff_t>(n), order);
  return n;
}

// ---- ICO ----

bool is_ico(const ByteSource& src) {
  std::uint8_t h[6];
  if (src.size() < 6 + 16 || !src.read(0, h, 6)) return false;
  std::uint16_t count = rd16(h + 4);
  return rd16(h) == 0 && rd16(h + 2) == 1 && count > 0 &&
         6 + std::uint64_t{count} * 16 <= src.size();
}

bool load_ico_icon(const ByteSource& src, int size, Raster& out) {
  if (!is_ico(src)) return false;
  std::uint8_t h[6];
  src.read(0, h, 6);
  std::size_t count = std::min<std::size_t>(rd16(h + 4), kMaxEntries);
  std::vector<std::uint8_t> dir(count * 16);
  if (!src.read(6, dir.data(), dir.size())) return false;
  std::vector<IconEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = dir.data() + i * 16;
    IconEntry ie;
    ie.width = e[0] ? e[0] : 256;
    ie.height = e[1] ? e[1] : 256;
    ie.bit_count = depth_of(rd16(e + 6), e[2]);
    ie.length = rd32(e + 8);
    ie.offset = rd32(e + 12);
    if (ie.length == 0 || ie.length > kMaxImageBytes || ie.offset > src.size() ||
        ie.length > src.size() - ie.offset)
      continue;
    if (rd16(e + 6) == 0) {
      // No depth in the directory: take it from the image's own header.
      std::uint8_t head[26];
      if (ie.length >= 26 && src.read(ie.offset, head, 26)) {
        if (std::memcmp(head, "\x89PNG", 4) == 0)
          ie.bit_count = 32;
        else if (rd32(head) >= 16)
          ie.bit_count = rd16(head + 14);
      }
    }
    entries.push_back(ie);
  }
  std::size_t order[kMaxTries];
  std::size_t n = rank_icon_entries(entries.data(), entries.size(), size, order, kMaxTries);
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) {
    const IconEntry& e = entries[order[i]];
    if (src.read_string(e.offset, e.length, bytes) && decode_icon_image(bytes, out)) return true;
  }
  return false;
}

// ---- PE ----

namespace {

struct Section {
  std::uint32_t va, vsize, raw_size, raw_ptr;
};

struct DirEntry {
  std::uint32_t name;  // id, or name offset when named
  bool named;
  std::uint32_t offset;  // from the start of the resources
  bool is_dir;
};

class PeResources {
 public:
  explicit PeResources(const ByteSource& src) : src_(src) {}

  bool open() {
    std::uint8_t dos[64];
    if (!src_.read(0, dos, 64) || dos[0] != 'M' || dos[1] != 'Z') return false;
    std::uint64_t pe = rd32(dos + 0x3C);
    std::uint8_t coff[24];
    if (!src_.read(pe, coff, 24) || std::memcmp(coff, "PE\0\0", 4) != 0) return false;
    unsigned nsections = rd16(coff + 6);
    unsigned opt_size = rd16(coff + 20);
    std::uint64_t opt = pe + 24;
    std::uint8_t magic[2];
    if (opt_size < 2 || !src_.read(opt, magic, 2)) return false;
    unsigned m = rd16(magic);
    std::uint64_t count_at, dirs_at;
    if (m == 0x10B) {
      count_at = 92;
      dirs_at = 96;
    } else if (m == 0x20B) {
      count_at = 108;
      dirs_at = 112;
    } else {
      return false;
    }
    if (dirs_at + 3 * 8 > opt_size) return false;
    std::uint8_t cnt[4], dd[8];
    if (!src_.read(opt + count_at, cnt, 4) || rd32(cnt) < 3) return false;
    if (!src_.read(opt + dirs_at + 2 * 8, dd, 8)) return false;
    rsrc_rva_ = rd32(dd);
    if (rsrc_rva_ == 0 || rd32(dd + 4) == 0) return false;
    nsections = std::min(nsections, 96u);  // the loader's own limit
    std::vector<std::uint8_t> table(nsections * 40u);
    if (!src_.read(opt + opt_size, table.data(), table.size())) return false;
    for (unsigned i = 0; i < nsections; ++i) {
      const std::uint8_t* s = table.data() + i * 40;
      sections_.push_back({rd32(s + 12), rd32(s + 8), rd32(s + 16), rd32(s + 20)});
    }
    return true;
  }

  // File offset of len bytes at rva, when they all lie in the file's data of one section.
  bool rva_to_offset(std::uint32_t rva, std::uint32_t len, std::uint64_t& off) const {
    for (const Section& s : sections_) {
      std::uint64_t span = std::max(s.vsize, s.raw_size);
      if (rva < s.va || rva - s.va >= span) continue;
      std::uint64_t rel = rva - s.va;
      if (rel + len > s.raw_size) return false;
      off = std::uint64_t{s.raw_ptr} + rel;
      return off + len <= src_.size();
    }
    return false;
  }

  bool read_rva(std::uint32_t rva, void* dst, std::uint32_t len) const {
    std::uint64_t off = 0;
    return rva_to_offset(rva, len, off) && src_.read(off, dst, len);
  }

  // Entries of the resource directory at offset (from the start of the resources).
  bool read_dir(std::uint32_t offset, std::vector<DirEntry>& out) const {
    out.clear();
    std::uint8_t h[16];
    if (offset > 0x7FFFFFFF || !read_rva(rsrc_rva_ + offset, h, 16)) return false;
    std::uint32_t n = std::uint32_t{rd16(h + 12)} + rd16(h + 14);
    n = std::min(n, kMaxDirEntries);
    if (n == 0) return true;
    std::vector<std::uint8_t> raw(n * 8u);
    if (!read_rva(rsrc_rva_ + offset + 16, raw.data(), static_cast<std::uint32_t>(raw.size())))
      return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::uint32_t name = rd32(raw.data() + i * 8), data = rd32(raw.data() + i * 8 + 4);
      out.push_back({name & 0x7FFFFFFF, (name & 0x80000000u) != 0, data & 0x7FFFFFFF,
                     (data & 0x80000000u) != 0});
    }
    return true;
  }

  // The bytes of the first language of a resource (a directory entry of level 2).
  bool read_resource(const DirEntry& e, std::uint32_t max_len, std::string& bytes) const {
    if (!e.is_dir) return false;
    std::vector<DirEntry> langs;
    if (!read_dir(e.offset, langs) || langs.empty() || langs[0].is_dir) return false;
    std::uint8_t d[16];
    if (!read_rva(rsrc_rva_ + langs[0].offset, d, 16)) return false;
    std::uint32_t rva = rd32(d), len = rd32(d + 4);
    if (len == 0 || len > max_len) return false;
    std::uint64_t off = 0;
    if (!rva_to_offset(rva, len, off)) return false;
    return src_.read_string(off, len, bytes);
  }

  // The level-1 directory of a resource type (by id).
  bool type_dir(std::uint32_t type, std::vector<DirEntry>& out) const {
    std::vector<DirEntry> root;
    if (!read_dir(0, root)) return false;
    for (const DirEntry& e : root) {
      if (!e.named && e.name == type && e.is_dir) return read_dir(e.offset, out);
    }
    return false;
  }

 private:
  const ByteSource& src_;
  std::vector<Section> sections_;
  std::uint32_t rsrc_rva_ = 0;
};

constexpr std::uint32_t kRT_ICON = 3, kRT_GROUP_ICON = 14;

}  // namespace

bool is_pe(const ByteSource& src) {
  std::uint8_t dos[64], sig[4];
  return src.read(0, dos, 64) && dos[0] == 'M' && dos[1] == 'Z' &&
         src.read(rd32(dos + 0x3C), sig, 4) && std::memcmp(sig, "PE\0\0", 4) == 0;
}

bool load_pe_icon(const ByteSource& src, int size, int group_index, Raster& out) {
  PeResources pe(src);
  if (!pe.open()) return false;
  std::vector<DirEntry> groups;
  if (!pe.type_dir(kRT_GROUP_ICON, groups) || groups.empty()) return false;
  // The shell's order: the directory's own order (named groups first, then ids ascending).
  const DirEntry* chosen = &groups[0];
  if (group_index > 0 && static_cast<std::size_t>(group_index) < groups.size()) {
    chosen = &groups[static_cast<std::size_t>(group_index)];
  } else if (group_index < 0) {
    for (const DirEntry& g : groups) {
      if (!g.named && static_cast<std::int64_t>(g.name) == -static_cast<std::int64_t>(group_index)) {
        chosen = &g;
        break;
      }
    }
  }
  std::string group;
  if (!pe.read_resource(*chosen, kMaxGroupBytes, group) || group.size() < 6) return false;
  const auto* g = reinterpret_cast<const std::uint8_t*>(group.data());
  if (rd16(g) != 0 || rd16(g + 2) != 1) return false;
  std::size_t count = std::min<std::size_t>(rd16(g + 4), (group.size() - 6) / 14);
  count = std::min(count, kMaxEntries);
  std::vector<IconEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = g + 6 + i * 14;
    IconEntry ie;
    ie.width = e[0] ? e[0] : 256;
    ie.height = e[1] ? e[1] : 256;
    ie.bit_count = depth_of(rd16(e + 6), e[2]);
    ie.length = rd32(e + 8);
    ie.resource_id = rd16(e + 12);
    entries.push_back(ie);
  }
  std::vector<DirEntry> icons;
  if (!pe.type_dir(kRT_ICON, icons)) return false;
  std::size_t order[kMaxTries];
  std::size_t n = rank_icon_entries(entries.data(), entries.size(), size, order, kMaxTries);
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) {
    const IconEntry& e = entries[order[i]];
    for (const DirEntry& d : icons) {
      if (d.named || d.name != e.resource_id) continue;
      if (pe.read_resource(d, kMaxImageBytes, bytes) && decode_icon_image(bytes, out)) return true;
      break;
    }
  }
  return false;
}

}  // namespace imaging::detail
