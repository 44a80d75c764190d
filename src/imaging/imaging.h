// Icon imaging: the PNG icon codec, picture decoding and scaling,
// file icon extraction and the built-in blank icons.
//
// Every picture travels as a byte string (normally PNG). Paths are native Linux paths in UTF-8.
// Nothing here throws; failures give the empty or transparent results described below.
#pragma once

#include <string>
#include <string_view>

namespace imaging {

// Lifecycle of the layer. Until start_imaging has run, scale_image and
// extract_file_icon give an empty result; read_image_size works at any time.
bool start_imaging();
void stop_imaging();
bool imaging_started();

// Stretches the whole picture (PNG, GIF first frame, JPEG or BMP) over exactly width x height
// pixels of a transparent RGBA canvas with a smooth filter and encodes an 8-bit RGBA PNG.
// Undecodable or empty input gives a fully transparent picture; only a failure to make or
// encode the canvas (bad size, not started, out of memory) gives an empty string.
std::string scale_image(std::string_view picture_bytes, int width, int height);

struct ImageSize {
  int width = 0, height = 0;
  friend bool operator==(const ImageSize&, const ImageSize&) = default;
};
// Size of a PNG, BMP, GIF (logical screen) or JPEG picture, read from its headers only.
// 0 x 0 when the file cannot be read or is not such a picture.
ImageSize read_image_size(const std::string& native_path);
ImageSize read_image_size_from_bytes(std::string_view bytes);

// The icon of a file as a PNG of exactly size x size in this order:
// PE files (first icon group), .ico files, shortcuts (icon location, else target), other
// existing files through the theme provider, missing paths the blank file icon.
std::string extract_file_icon(const std::string& native_path, int size);

// Built-in pictures, complete PNG files held byte for byte.
std::string_view default_icon_40();
std::string_view default_icon_48();
// The blank file icon that stands for the shell's default icon of a missing file.
std::string_view blank_file_icon_32();
std::string_view blank_file_icon_48();
// The blank file icon at any size (the 32 or 48 px picture, else the 48 px one scaled).
std::string blank_file_icon(int size);

// The desktop icon theme, injected by the UI layer. Returns a PNG (any size; it is scaled to
// size x size) or an empty string when the theme has nothing for the path.
class ThemeIconProvider {
 public:
  virtual ~ThemeIconProvider() = default;
  virtual std::string icon_png(const std::string& native_path, int size) = 0;
};
// Not owned; pass nullptr to remove. The provider must outlive its use.
void set_theme_icon_provider(ThemeIconProvider* provider);

}  // namespace imaging
