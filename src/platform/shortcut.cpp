// Shell Link (.lnk) reader after MS-SHLLINK.
//
// Why not Debian's liblnk-dev (20181227, checked from its headers): it is an alpha release
// of 2018 that reads the link information and the strings, but gives the item-ID list only
// as raw bytes (its shell items need libfwsi, not a development package in Debian), so a
// link without link information, as many made by installers are, would resolve to nothing;
// it also opens files only by name or through libbfio, which would keep the fuzz target from
// feeding it memory, and it would add an uninstrumented C library to the sanitizer and fuzz
// builds. The parts we need are small and fully specified, so we read them here, with every
// offset and length checked against the bytes.
#include "platform/shortcut.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>

namespace platform {
namespace {

constexpr std::size_t kMaxLinkFile = 4u << 20;

std::uint16_t rd16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t rd32(const unsigned char* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// UTF-16LE code units (n of them at p) to GBK; what GBK cannot hold becomes
// kUnstorableMark, so a caller can refuse the text instead of storing a wrong one.
std::string utf16_to_gbk(const unsigned char* p, std::size_t units) {
  std::string out;
  if (units == 0) return out;
  iconv_t cd = iconv_open("CP936", "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  std::size_t in_left = units * 2;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
  std::string buf(in_left * 2 + 16, '\0');
  while (in_left > 0) {
    char* o = buf.data();
    std::size_t o_left = buf.size();
    std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf.data(), buf.size() - o_left);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ) {
      // One character GBK has no form for (or a lone surrogate): mark it and step over it.
      out.push_back(kUnstorableMark);
      auto* u = reinterpret_cast<unsigned char*>(in);
      std::size_t step = 2;
      unsigned cu = rd16(u);
      if (cu >= 0xD800 && cu < 0xDC00 && in_left >= 4) {
        unsigned next = rd16(u + 2);
        if (next >= 0xDC00 && next < 0xE000) step = 4;
      }
      if (step > in_left) step = in_left;
      in += step;
      in_left -= step;
      continue;
    }
    break;  // EINVAL: an incomplete unit at the end
  }
  iconv_close(cd);
  return out;
}

class Reader {
 public:
  explicit Reader(std::string_view b) : b_(reinterpret_cast<const unsigned char*>(b.data())), n_(b.size()) {}
  std::size_t size() const { return n_; }
  bool has(std::size_t pos, std::size_t len) const { return pos <= n_ && len <= n_ - pos; }
  const unsigned char* at(std::size_t pos) const { return b_ + pos; }
  std::uint16_t u16(std::size_t pos) const { return rd16(b_ + pos); }
  std::uint32_t u32(std::size_t pos) const { return rd32(b_ + pos); }

  // NUL-terminated ANSI string at pos, within [pos, end).
  std::string ansi(std::size_t pos, std::size_t end) const {
    if (end > n_ || pos >= end) return {};
    const unsigned char* s = b_ + pos;
    std::size_t len = 0;
    while (pos + len < end && s[len] != 0) ++len;
    return std::string(reinterpret_cast<const char*>(s), len);
  }
  // NUL-terminated UTF-16LE string at pos, within [pos, end), as GBK.
  std::string unicode(std::size_t pos, std::size_t end) const {
    if (end > n_ || pos >= end) return {};
    std::size_t units = 0;
    while (pos + units * 2 + 1 < end && rd16(b_ + pos + units * 2) != 0) ++units;
    return utf16_to_gbk(b_ + pos, units);
  }

 private:
  const unsigned char* b_;
  std::size_t n_;
};

constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr unsigned char kMyComputer[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                           0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

enum : std::uint32_t {
  kHasLinkTargetIDList = 0x1,
  kHasLinkInfo = 0x2,
  kHasName = 0x4,
  kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
  kForceNoLinkInfo = 0x100,
};

// The path named by an item-ID list of My Computer, a volume and file entries; empty for any
// other kind of list.
std::string path_from_id_list(const Reader& r, std::size_t pos, std::size_t end) {
  std::string path;
  bool first = true;
  while (r.has(pos, 2) && pos + 2 <= end) {
    std::size_t size = r.u16(pos);
    if (size == 0) break;  // TerminalID
    if (size < 3 || pos + size > end) return {};
    std::size_t item_end = pos + size;
    unsigned type = r.at(pos + 2)[0];
    if (first && type == 0x1F) {
      if (size < 20 || std::memcmp(r.at(pos + 4), kMyComputer, 16) != 0) return {};
    } else if ((type & 0x70) == 0x20) {  // volume: "C:\"
      path = r.ansi(pos + 3, item_end);
      if (path.empty()) return {};
      if (path.back() != '\\') path.push_back('\\');
    } else if ((type & 0x70) == 0x30) {  // file entry
      if (size < 16 || path.empty()) return {};
      bool wide = (type & 0x04) != 0;
      std::string name = wide ? r.unicode(pos + 14, item_end) : r.ansi(pos + 14, item_end);
      // The long name, from the 0xBEEF0004 extension block whose offset ends the item.
      std::size_t ext = r.u16(item_end - 2);
      if (ext >= 14 && pos + ext + 8 <= item_end - 2) {
        std::size_t e = pos + ext;
        std::size_t ext_size = r.u16(e);
        unsigned version = r.u16(e + 2);
        if (r.u32(e + 4) == 0xBEEF0004u && e + ext_size <= item_end && ext_size >= 8) {
          std::size_t name_at = version >= 9 ? 46 : version >= 8 ? 42 : version >= 7 ? 38
                                : version >= 3 ? 20 : 0;
          if (name_at && name_at < ext_size) {
            std::string long_name = r.unicode(e + name_at, e + ext_size);
            if (!long_name.empty()) name = long_name;
          }
        }
      }
      if (name.empty()) return {};
      if (path.back() != '\\') path.push_back('\\');
      path += name;
    } else {
      return {};
    }
    first = false;
    pos = item_end;
  }
  return path;
}

// LocalBasePath + CommonPathSuffix, else the network share name + suffix.
std::string path_from_link_info(const Reader& r, std::size_t li, std::size_t li_size) {
  std::size_t end = li + li_size;
  if (li_size < 0x1C) return {};
  std::uint32_t header = r.u32(li + 4), flags = r.u32(li + 8);
  bool wide = header >= 0x24 && li_size >= 0x24;
  auto str = [&](std::uint32_t off, std::uint32_t off_w) -> std::string {
    if (wide && off_w && off_w < li_size) return r.unicode(li + off_w, end);
    if (off && off < li_size) return r.ansi(li + off, end);
    return {};
  };
  std::string suffix = str(r.u32(li + 24), wide ? r.u32(li + 32) : 0);
  if (flags & 1) {
    std::string base = str(r.u32(li + 16), wide ? r.u32(li + 28) : 0);
    if (!base.empty()) return base + suffix;
  }
  if (flags & 2) {
    std::uint32_t c = r.u32(li + 20);
    if (c == 0 || std::uint64_t{c} + 0x14 > li_size) return {};
    std::size_t cn = li + c;
    std::size_t cn_size = r.u32(cn);
    if (cn_size < 0x14 || cn_size > li_size - c) return {};
    std::size_t cn_end = cn + cn_size;
    std::uint32_t net_off = r.u32(cn + 8);
    std::string net;
    if (net_off > 0x14 && cn_size >= 0x1C) {
      std::uint32_t net_w = r.u32(cn + 20);
      if (net_w && net_w < cn_size) net = r.unicode(cn + net_w, cn_end);
    }
    if (net.empty() && net_off && net_off < cn_size) net = r.ansi(cn + net_off, cn_end);
    if (net.empty()) return {};
    if (suffix.empty()) return net;
    if (net.back() != '\\') net.push_back('\\');
    return net + suffix;
  }
  return {};
}

}  // namespace

bool parse_shell_link(std::string_view bytes, ShellLink* link) {
  Reader r(bytes);
  if (!r.has(0, 76) || r.u32(0) != 0x4C || std::memcmp(r.at(4), kLinkClsid, 16) != 0)
    return false;
  ShellLink out;
  const std::uint32_t flags = r.u32(20);
  out.icon_index = static_cast<std::int32_t>(r.u32(56));
  std::size_t pos = 76;
  std::string id_path;
  if (flags & kHasLinkTargetIDList) {
    if (!r.has(pos, 2)) return false;
    std::size_t size = r.u16(pos);
    if (!r.has(pos + 2, size)) return false;
    id_path = path_from_id_list(r, pos + 2, pos + 2 + size);
    pos += 2 + size;
  }
  std::string info_path;
  if (flags & kHasLinkInfo) {
    if (!r.has(pos, 4)) return false;
    std::size_t size = r.u32(pos);
    if (size < 4 || !r.has(pos, size)) return false;
    if (!(flags & kForceNoLinkInfo)) info_path = path_from_link_info(r, pos, size);
    pos += size;
  }
  const bool wide = (flags & kIsUnicode) != 0;
  std::string* strings[5] = {&out.name, &out.relative_path, &out.working_dir, &out.arguments,
                             &out.icon_location};
  const std::uint32_t string_flags[5] = {kHasName, kHasRelativePath, kHasWorkingDir,
                                         kHasArguments, kHasIconLocation};
  for (int i = 0; i < 5; ++i) {
    if (!(flags & string_flags[i])) continue;
    if (!r.has(pos, 2)) return false;
    std::size_t count = r.u16(pos);
    std::size_t len = count * (wide ? 2 : 1);
    if (!r.has(pos + 2, len)) return false;
    *strings[i] = wide ? utf16_to_gbk(r.at(pos + 2), count)
                       : std::string(reinterpret_cast<const char*>(r.at(pos + 2)), len);
    // A string may carry a NUL before its counted end; stop there, as the shell does.
    if (auto z = strings[i]->find('\0'); z != std::string::npos) strings[i]->resize(z);
    pos += 2 + len;
  }
  // Extra data blocks; a missing or short terminal block is tolerated.
  std::string env_target, env_icon;
  while (r.has(pos, 8)) {
    std::size_t size = r.u32(pos);
    if (size < 8 || !r.has(pos, size)) break;
    std::uint32_t sig = r.u32(pos + 4);
    if ((sig == 0xA0000001u || sig == 0xA0000007u) && size >= 0x314) {
      std::string s = r.unicode(pos + 268, pos + 268 + 520);
      if (s.empty()) s = r.ansi(pos + 8, pos + 8 + 260);
      (sig == 0xA0000001u ? env_target : env_icon) = s;
    }
    pos += size;
  }
  out.target = !info_path.empty() ? info_path : !id_path.empty() ? id_path : env_target;
  if (out.icon_location.empty()) out.icon_location = env_icon;
  *link = std::move(out);
  return true;
}

bool read_shell_link(const std::string& native_lnk_path, ShellLink* link) {
  if (native_lnk_path.empty()) return false;
  // Regular files only (O_NONBLOCK keeps a FIFO from blocking the open); at most 4 MiB.
  int fd = ::open(native_lnk_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  std::string bytes;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    bytes.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), kMaxLinkFile)));
    std::size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  return ok && parse_shell_link(bytes, link);
}

std::string resolve_shortcut(const std::string& native_lnk_path) {
  ShellLink link;
  if (!read_shell_link(native_lnk_path, &link)) return {};
  // A command GBK cannot hold would be stored wrong: treat the link as unreadable.
  if (link.target.find(kUnstorableMark) != std::string::npos ||
      link.arguments.find(kUnstorableMark) != std::string::npos) {
    return {};
  }
  if (link.arguments.empty()) return link.target;
  return link.target + " " + link.arguments;
}

}  // namespace platform
