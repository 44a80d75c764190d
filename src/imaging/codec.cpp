// Decoding of PNG, GIF and JPEG pictures, PNG encoding, header-only picture sizes,
// the lifecycle of the layer and scale_image.
#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "imaging/imaging.h"
#include "imaging/raster.h"

namespace imaging {
namespace detail {

bool Raster::allocate(int w, int h, const DecodeLimits& limits) {
  px.reset();
  width = height = 0;
  if (!limits.allows(w, h)) return false;
  // calloc: large blocks come as fresh zero pages, so a transparent canvas costs nothing
  // until it is drawn on.
  void* p = std::calloc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 4);
  if (!p) return false;
  px.reset(static_cast<std::uint8_t*>(p));
  width = w;
  height = h;
  return true;
}

bool ByteSource::read_string(std::uint64_t offset, std::size_t n, std::string& out) const {
  if (offset > size() || n > size() - offset) return false;
  out.resize(n);
  return n == 0 || read(offset, out.data(), n);
}

bool MemorySource::read(std::uint64_t offset, void* dst, std::size_t n) const {
  if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
  if (n) std::memcpy(dst, bytes_.data() + offset, n);
  return true;
}

FileSource::FileSource(const std::string& native_path) {
  if (native_path.empty()) return;
  // O_NONBLOCK: a FIFO or device must not block the open; only regular files are kept.
  fd_ = ::open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSource::read(std::uint64_t offset, void* dst, std::size_t n) const {
  if (fd_ < 0 || offset > size_ || n > size_ - offset) return false;
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

Format sniff_format(std::string_view b) {
  auto starts = [&](std::string_view sig) { return b.substr(0, sig.size()) == sig; };
  if (starts("\x89PNG\r\n\x1a\n")) return Format::png;
  if (starts("GIF87a") || starts("GIF89a")) return Format::gif;
  if (starts("\xFF\xD8\xFF")) return Format::jpeg;
  if (starts("BM")) return Format::bmp;
  return Format::unknown;
}

// ---- PNG ----

bool decode_png(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) {
    png_image_free(&img);
    return false;
  }
  if (!limits.allows(img.width, img.height) || !out.allocate(img.width, img.height, limits)) {
    png_image_free(&img);
    return false;
  }
  img.format = PNG_FORMAT_RGBA;
  int ok = png_image_finish_read(&img, nullptr, out.px.get(), static_cast<png_int_32>(img.width * 4),
                                 nullptr);
  png_image_free(&img);
  if (!ok) out = Raster{};
  return ok != 0;
}

std::string encode_png(const Raster& image) {
  if (image.empty() || image.width <= 0 || image.height <= 0) return {};
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(image.width);
  img.height = static_cast<png_uint_32>(image.height);
  img.format = PNG_FORMAT_RGBA;
  const auto stride = static_cast<png_int_32>(image.width * 4);
  std::string result;
  // Small pictures (all icons) in one pass into a buffer of the worst-case size; larger ones
  // ask libpng for the size first, so that no worst-case buffer is made for them.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(img);
  if (size > (png_alloc_size_t{16} << 20)) {
    size = 0;
    if (!png_image_write_to_memory(&img, nullptr, &size, 0, image.px.get(), stride, nullptr)) {
      png_image_free(&img);
      return {};
    }
  }
  try {
    result.resize(size);
  } catch (...) {
    png_image_free(&img);
    return {};
  }
  if (!png_image_write_to_memory(&img, result.data(), &size, 0, image.px.get(), stride,
                                 nullptr)) {
    png_image_free(&img);
    return {};
  }
  png_image_free(&img);
  result.resize(size);
  return result;
}

// ---- GIF (first frame) ----

namespace {

struct GifInput {
  const unsigned char* data;
  std::size_t size, pos;
};

int gif_read(GifFileType* gif, GifByteType* buf, int len) {
  auto* in = static_cast<GifInput*>(gif->UserData);
  if (len <= 0) return 0;
  std::size_t n = std::min(static_cast<std::size_t>(len), in->size - in->pos);
  std::memcpy(buf, in->data + in->pos, n);
  in->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

}  // namespace

bool decode_gif(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  GifInput in{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  int err = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&in, gif_read, &err));
  if (!gif) return false;
  int transparent = -1;
  for (int records = 0; records < 100000; ++records) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return false;
    if (type == TERMINATE_RECORD_TYPE) return false;  // no image at all
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
        transparent = (ext[1] & 1) ? ext[4] : -1;
      }
      while (ext) {
        if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) return false;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return false;
    if (DGifGetImageDesc(gif.get()) != GIF_OK) return false;
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map || d.Width <= 0 || d.Height <= 0 || !limits.allows(d.Width, d.Height)) return false;
    int cw = gif->SWidth, ch = gif->SHeight;
    if (cw <= 0 || ch <= 0) {
      cw = d.Left + d.Width;
      ch = d.Top + d.Height;
    }
    if (!out.allocate(cw, ch, limits)) return false;
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[d.Width]);
    if (!line) return false;
    auto put_row = [&](int y) {
      int cy = d.Top + y;
      if (cy < 0 || cy >= ch) return;
      std::uint8_t* dst = out.row(cy);
      for (int x = 0; x < d.Width; ++x) {
        int cx = d.Left + x;
        if (cx < 0 || cx >= cw) continue;
        int idx = line[x];
        if (idx == transparent || idx >= map->ColorCount) continue;
        const GifColorType& c = map->Colors[idx];
        std::uint8_t* p = dst + cx * 4;
        p[0] = c.Red;
        p[1] = c.Green;
        p[2] = c.Blue;
        p[3] = 255;
      }
    };
    if (d.Interlace) {
      static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int y = start[pass]; y < d.Height; y += step[pass]) {
          if (DGifGetLine(gif.get(), line.get(), d.Width) != GIF_OK) {
            out = Raster{};
            return false;
          }
          put_row(y);
        }
      }
    } else {
      for (int y = 0; y < d.Height; ++y) {
        if (DGifGetLine(gif.get(), line.get(), d.Width) != GIF_OK) {
          out = Raster{};
          return false;
        }
        put_row(y);
      }
    }
    return true;
  }
  return false;
}

// ---- JPEG ----

bool decode_jpeg(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  if (bytes.size() > 0xFFFFFFFFu) return false;
  tjhandle tj = tjInitDecompress();
  if (!tj) return false;
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  auto size = static_cast<unsigned long>(bytes.size());
  int w = 0, h = 0, subsamp = 0, colorspace = 0;
  bool ok = tjDecompressHeader3(tj, data, size, &w, &h, &subsamp, &colorspace) == 0 &&
            limits.allows(w, h) && out.allocate(w, h, limits);
  if (ok) {
    // Bounded work on hostile progressive files: at most 500 scans.
    int rc = tjDecompress2(tj, data, size, out.px.get(), w, w * 4, h, TJPF_RGBA,
                           TJFLAG_LIMITSCANS | TJFLAG_ACCURATEDCT);
    ok = rc == 0 || tjGetErrorCode(tj) == TJERR_WARNING;
    if (!ok) out = Raster{};
  }
  tjDestroy(tj);
  return ok;
}

bool decode_picture(std::string_view bytes, const DecodeLimits& limits, Raster& out) {
  switch (sniff_format(bytes)) {
    case Format::png: return decode_png(bytes, limits, out);
    case Format::gif: return decode_gif(bytes, limits, out);
    case Format::jpeg: return decode_jpeg(bytes, limits, out);
    case Format::bmp: return decode_bmp(bytes, limits, out);
    case Format::unknown: break;
  }
  return false;
}

// ---- sizes from headers ----

namespace {

std::uint32_t be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}
std::uint32_t le32(const unsigned char* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
         p[0];
}

void jpeg_size(const ByteSource& src, int& width, int& height) {
  std::uint64_t pos = 2;
  unsigned char b[9];
  for (int segments = 0; segments < 100000; ++segments) {
    // Find the next marker, skipping fill bytes.
    if (!src.read(pos, b, 1)) return;
    if (b[0] != 0xFF) return;
    unsigned char m = 0xFF;
    while (m == 0xFF) {
      ++pos;
      if (!src.read(pos, &m, 1)) return;
    }
    ++pos;  // pos is after the marker byte
    if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) continue;
    if (m == 0xD9 || m == 0xDA) return;  // end or scan before any frame header
    unsigned char lb[2];
    if (!src.read(pos, lb, 2)) return;
    unsigned len = (unsigned{lb[0]} << 8) | lb[1];
    if (len < 2) return;
    bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof) {
      if (len < 8 || !src.read(pos, b, 7)) return;
      int h = (b[3] << 8) | b[4];
      int w = (b[5] << 8) | b[6];
      if (w > 0 && h > 0) {
        width = w;
        height = h;
      }
      return;
    }
    pos += len;
  }
}

}  // namespace

void picture_size(const ByteSource& src, int& width, int& height) {
  width = height = 0;
  unsigned char h[26] = {};
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(src.size(), sizeof h));
  if (n < 4 || !src.read(0, h, n)) return;
  std::string_view head(reinterpret_cast<const char*>(h), n);
  std::int64_t w = 0, ht = 0;
  switch (sniff_format(head)) {
    case Format::png:
      if (n < 24 || std::memcmp(h + 12, "IHDR", 4) != 0) return;
      w = be32(h + 16);
      ht = be32(h + 20);
      break;
    case Format::gif:
      if (n < 10) return;
      w = h[6] | (h[7] << 8);
      ht = h[8] | (h[9] << 8);
      break;
    case Format::bmp: {
      if (n < 26) return;
      std::uint32_t hs = le32(h + 14);
      if (hs == 12) {
        w = h[18] | (h[19] << 8);
        ht = h[20] | (h[21] << 8);
      } else if (hs >= 16) {
        w = static_cast<std::int32_t>(le32(h + 18));
        ht = static_cast<std::int32_t>(le32(h + 22));
        if (ht < 0) ht = -ht;
      }
      break;
    }
    case Format::jpeg: {
      int jw = 0, jh = 0;
      jpeg_size(src, jw, jh);
      w = jw;
      ht = jh;
      break;
    }
    case Format::unknown: return;
  }
  if (w <= 0 || ht <= 0 || w > 0x7FFFFFFF || ht > 0x7FFFFFFF) return;
  width = static_cast<int>(w);
  height = static_cast<int>(ht);
}

}  // namespace detail

// ---- public interface ----

namespace {
std::atomic<bool> g_started{false};
}

bool start_imaging() {
  // libpng must be the version we were built against (the simplified API is 1.6+).
  if (png_access_version_number() < 10600) return false;
  g_started = true;
  return true;
}

void stop_imaging() { g_started = false; }

bool imaging_started() { return g_started; }

std::string scale_image(std::string_view picture_bytes, int width, int height) {
  using namespace detail;
  if (!g_started || !kPictureLimits.allows(width, height)) return {};
  Raster source;
  decode_picture(picture_bytes, kPictureLimits, source);  // undecodable: stays empty
  Raster target;
  if (!stretch(std::move(source), width, height, target)) return {};
  return encode_png(target);
}

ImageSize read_image_size(const std::string& native_path) {
  detail::FileSource src(native_path);
  ImageSize s;
  if (src.ok()) detail::picture_size(src, s.width, s.height);
  return s;
}

ImageSize read_image_size_from_bytes(std::string_view bytes) {
  detail::MemorySource src(bytes);
  ImageSize s;
  detail::picture_size(src, s.width, s.height);
  return s;
}

}  // namespace imaging
