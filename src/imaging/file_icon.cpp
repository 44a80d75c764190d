// The icon of a file, and the built-in pictures.
//
// Order (issue 4): a PE file's first icon group; an .ico file; a shortcut's icon location,
// else its target; any other existing file or folder through the injected theme provider;
// the blank file icon for an empty or missing path and whenever nothing else gives an icon.
//
// Windows paths inside a shortcut are mapped to native paths by map_link_path (raster.h):
//   - "Z:\a\b" is "/a/b" (Z: is the root of the file system, as Wine maps it);
//   - "\a\b" or "/a/b" (rooted, no drive) is "/a/b";
//   - a relative path ("a\b.ico", "..\x.exe") is taken from the shortcut's folder;
//   - any other drive, a UNC path ("\\server\share") or a path with %VARIABLES% names no file
//     on this machine.
// The target is tried first as stored, then through the link's RELATIVE_PATH string, as the
// shell does when the absolute target is gone.
#include <sys/stat.h>

#include <atomic>
#include <cctype>
#include <cstring>

#include "imaging/imaging.h"
#include "imaging/raster.h"
#include "platform/gbk.h"
#include "platform/shortcut.h"

namespace imaging {
namespace detail {

extern const unsigned char kDefaultIcon40[];
extern const std::size_t kDefaultIcon40Size;
extern const unsigned char kDefaultIcon48[];
extern const std::size_t kDefaultIcon48Size;
extern const unsigned char kBlankFileIcon32[];
extern const std::size_t kBlankFileIcon32Size;
extern const unsigned char kBlankFileIcon48[];
extern const std::size_t kBlankFileIcon48Size;

std::string map_link_path(const std::string& host_path, const std::string& link_dir) {
  if (host_path.empty()) return {};
  std::string p = platform::gbk_to_utf8(host_path);
  if (p.find('%') != std::string::npos) return {};
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.rfind("//", 0) == 0) return {};  // UNC
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    if ((p[0] == 'Z' || p[0] == 'z') && (p.size() == 2 || p[2] == '/'))
      return p.size() == 2 ? std::string("/") : p.substr(2);
    return {};
  }
  if (p[0] == '/') return p;
  return (link_dir.empty() ? std::string(".") : link_dir) + "/" + p;
}

namespace {

std::atomic<ThemeIconProvider*> g_provider{nullptr};

bool exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string parent_dir(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fit(Raster r, int size) {
  if (r.width == size && r.height == size) return encode_png(r);
  Raster out;
  if (!stretch(std::move(r), size, size, out)) return {};
  return encode_png(out);
}

bool is_shell_link(const ByteSource& src) {
  static const unsigned char head[20] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x46};
  unsigned char b[20];
  return src.read(0, b, 20) && std::memcmp(b, head, 20) == 0;
}

// The icon image of an icon file (PE or ICO) for size; false for any other file.
bool load_icon_file(const std::string& path, int size, int index, Raster& out) {
  FileSource src(path);
  if (!src.ok()) return false;
  if (is_pe(src)) return load_pe_icon(src, size, index, out);
  if (is_ico(src)) return load_ico_icon(src, size, out);
  return false;
}

std::string icon_of(const std::string& path, int size, int depth);

std::string shortcut_icon(const std::string& path, int size, int depth) {
  platform::ShellLink link;
  if (!platform::read_shell_link(path, &link)) return {};
  const std::string dir = parent_dir(path);
  std::string icon = map_link_path(link.icon_location, dir);
  if (exists(icon)) {
    Raster r;
    if (load_icon_file(icon, size, link.icon_index, r)) return fit(std::move(r), size);
    std::string png = icon_of(icon, size, depth + 1);
    if (!png.empty()) return png;
  }
  std::string target = map_link_path(link.target, dir);
  if (!exists(target)) target = map_link_path(link.relative_path, dir);
  if (exists(target)) return icon_of(target, size, depth + 1);
  return blank_file_icon(size);
}

std::string icon_of(const std::string& path, int size, int depth) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return blank_file_icon(size);
  if (S_ISREG(st.st_mode)) {
    FileSource src(path);
    if (src.ok()) {
      Raster r;
      if (is_pe(src)) {
        if (load_pe_icon(src, size, 0, r)) return fit(std::move(r), size);
      } else if (is_ico(src)) {
        if (load_ico_icon(src, size, r)) return fit(std::move(r), size);
      } else if (is_shell_link(src) && depth < 3) {
        std::string png = shortcut_icon(path, size, depth);
        if (!png.empty()) return png;
      }
    }
  }
  if (ThemeIconProvider* provider = g_provider.load()) {
    std::string png = provider->icon_png(path, size);
    Raster r;
    if (!png.empty() && decode_picture(png, kPictureLimits, r)) {
      std::string out = fit(std::move(r), size);
      if (!out.empty()) return out;
    }
  }
  return blank_file_icon(size);
}

std::string_view bytes_of(const unsigned char* p, std::size_t n) {
  return {reinterpret_cast<const char*>(p), n};
}

}  // namespace
}  // namespace detail

std::string_view default_icon_40() {
  return detail::bytes_of(detail::kDefaultIcon40, detail::kDefaultIcon40Size);
}
std::string_view default_icon_48() {
  return detail::bytes_of(detail::kDefaultIcon48, detail::kDefaultIcon48Size);
}
std::string_view blank_file_icon_32() {
  return detail::bytes_of(detail::kBlankFileIcon32, detail::kBlankFileIcon32Size);
}
std::string_view blank_file_icon_48() {
  return detail::bytes_of(detail::kBlankFileIcon48, detail::kBlankFileIcon48Size);
}

std::string blank_file_icon(int size) {
  if (size == 32) return std::string(blank_file_icon_32());
  if (size == 48) return std::string(blank_file_icon_48());
  detail::Raster r;
  if (!detail::decode_png(blank_file_icon_48(), detail::kIconLimits, r)) return {};
  return detail::fit(std::move(r), size);
}

void set_theme_icon_provider(ThemeIconProvider* provider) { detail::g_provider = provider; }

std::string extract_file_icon(const std::string& native_path, int size) {
  if (!imaging_started() || size < 1 || size > detail::kIconLimits.max_dimension) return {};
  return detail::icon_of(native_path, size, 0);
}

}  // namespace imaging
