// Internal pieces of the imaging layer, shared by its sources, the tests, the fuzz targets
// and the benchmark. Not for other layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace imaging::detail {

class ByteSource;

// Bounds on what a decoder may allocate.
struct DecodeLimits {
  int max_dimension;       // width and height each at most this
  std::uint64_t max_pixels;  // width * height at most this
  bool allows(std::int64_t w, std::int64_t h) const {
    return w > 0 && h > 0 && w <= max_dimension && h <= max_dimension &&
           static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) <= max_pixels;
  }
};
// Pictures chosen by the user (and the output canvas of scale_image).
inline constexpr DecodeLimits kPictureLimits{16384, std::uint64_t{1} << 26};
// Images inside icon resources (ICO files, PE icon groups): the format's own largest size is
// 256; PNG-compressed entries are allowed up to 1024 x 1024.
inline constexpr DecodeLimits kIconLimits{1024, 1024u * 1024u};

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Straight (not premultiplied) RGBA, 8 bits a channel, rows top-down, stride width * 4.
struct Raster {
  int width = 0, height = 0;
  std::unique_ptr<std::uint8_t[], FreeDeleter> px;
  // Zero-filled (fully transparent) pixels; false when out of memory or beyond the limits.
  bool allocate(int w, int h, const DecodeLimits& limits);
  std::uint8_t* row(int y) { return px.get() + static_cast<std::size_t>(y) * width * 4; }
  const std::uint8_t* row(int y) const {
    return px.get() + static_cast<std::size_t>(y) * width * 4;
  }
  bool empty() const { return !px; }
};

enum class Format { unknown, png, gif, jpeg, bmp };
Format sniff_format(std::string_view bytes);

// Decoders: true and a filled raster on success. Every one is bounded by the limits.
bool decode_png(std::string_view bytes, const DecodeLimits& limits, Raster& out);
bool decode_gif(std::string_view bytes, const DecodeLimits& limits, Raster& out);  // first frame
bool decode_jpeg(std::string_view bytes, const DecodeLimits& limits, Raster& out);
bool decode_bmp(std::string_view bytes, const DecodeLimits& limits, Raster& out);  // BMP file
// A DIB as found in icons: BITMAPINFOHEADER, colours, XOR bits, AND mask (height doubled).
bool decode_icon_dib(std::string_view bytes, const DecodeLimits& limits, Raster& out);
// Any of the picture formats above, by its signature.
bool decode_picture(std::string_view bytes, const DecodeLimits& limits, Raster& out);
// Header-only size of a PNG, GIF, JPEG or BMP picture; 0 x 0 when unknown.
void picture_size(const ByteSource& src, int& width, int& height);

// 8-bit RGBA PNG of the raster; empty on failure.
std::string encode_png(const Raster& image);
// Smooth stretch of the whole source over exactly w x h (within kPictureLimits); an empty
// source gives a transparent canvas. The source is consumed. False when the canvas cannot be
// made.
bool stretch(Raster source, int w, int h, Raster& out);

// Random-access bytes: a file read by positioned reads, or memory. Reads outside give false.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  virtual bool read(std::uint64_t offset, void* dst, std::size_t n) const = 0;
  bool read_string(std::uint64_t offset, std::size_t n, std::string& out) const;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, void* dst, std::size_t n) const override;

 private:
  std::string_view bytes_;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& native_path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool ok() const { return fd_ >= 0; }
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, void* dst, std::size_t n) const override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Icon resources (ico_pe.cpp).
struct IconEntry {
  int width = 0, height = 0;  // from the directory, 0 read as 256
  int bit_count = 0;          // colour depth, derived from the colour count when 0
  std::uint64_t offset = 0;   // ICO: file offset of the image; PE: unused
  std::uint32_t length = 0;   // bytes of the image
  std::uint16_t resource_id = 0;  // PE: RT_ICON id
};
// Order in which to try the images of a group for a wanted size: exact size with the deepest
// colour first, else the nearest larger one, else the largest. Returns indices into entries.
std::size_t rank_icon_entries(const IconEntry* entries, std::size_t count, int size,
                              std::size_t* order, std::size_t max_order);

bool is_ico(const ByteSource& src);
bool is_pe(const ByteSource& src);
// The best image of an ICO file for size, decoded (PNG or DIB with its mask).
bool load_ico_icon(const ByteSource& src, int size, Raster& out);
// The best image of a PE file's icon group for size. group_index >= 0 picks the n-th group
// (the first when there are fewer); a negative one the group whose resource id is -index.
bool load_pe_icon(const ByteSource& src, int size, int group_index, Raster& out);

// A Windows path found in a shortcut (host form) as a native path, or "" when it names no
// file on this machine (rules in file_icon.cpp). link_dir: the shortcut's folder.
std::string map_link_path(const std::string& host_path, const std::string& link_dir);

}  // namespace imaging::detail
