#include "editing/display_name.h"

#include <cstddef>

namespace editing {
namespace {

constexpr std::string_view kTag64 = " (64\xce\xbb)";  // " (64位)"
constexpr std::string_view kTag32 = " (32\xce\xbb)";  // " (32位)"
constexpr std::string_view kFullWidthSpace = "\xa1\xa1";
constexpr int kRealignLimit = 9;
constexpr int kProbeByte = 10;
constexpr int kLongFirstLine = 12;
constexpr int kShortFirstLine = 10;
constexpr int kShortenedBytes = 8;

bool contains(std::string_view t, std::string_view s) {
  return t.find(s) != std::string_view::npos;
}

std::string replace_all(std::string_view t, std::string_view s, std::string_view r) {
  std::string out;
  size_t from = 0;
  for (size_t at; (at = t.find(s, from)) != std::string_view::npos; from = at + s.size()) {
    out.append(t.substr(from, at - from));
    out.append(r);
  }
  out.append(t.substr(from));
  return out;
}

// mid(t, p, n) with a 1-based p: fewer bytes at the end, empty past it.
std::string_view mid(std::string_view t, int p, int n) {
  if (p < 1 || n <= 0 || static_cast<size_t>(p) > t.size()) return {};
  return t.substr(p - 1, n);
}

std::string_view left(std::string_view t, int n) {
  return n <= 0 ? std::string_view{} : t.substr(0, n);
}

std::string_view right(std::string_view t, int n) {
  if (n <= 0) return {};
  return static_cast<size_t>(n) >= t.size() ? t : t.substr(t.size() - n);
}

// The host garbles a run of an odd number of single-byte characters before the first
// Chinese character; one space after a short run puts the double-byte grid right again.
std::string realign(std::string_view n) {
  std::string b;
  b.reserve(n.size() + 1);
  int o = 1;
  bool realigned = false;
  for (size_t round = 0; round < n.size(); ++round) {
    if (!realigned && !is_lead(n, o) && is_lead(n, o + 1)) {
      b.append(mid(n, o, 1));
      if (o <= kRealignLimit) b.push_back(' ');
      o += 1;
      realigned = true;
    } else {
      b.append(mid(n, o, 2));
      o += 2;
    }
  }
  return b;
}

}  // namespace

bool is_lead(std::string_view text, int p) {
  if (p < 1 || static_cast<size_t>(p) > text.size()) return false;
  const auto c = static_cast<unsigned char>(text[p - 1]);
  return c >= 0x81 && c <= 0xFE;
}

std::string_view trim_host_spaces(std::string_view t) {
  for (;;) {
    if (t.starts_with(' ')) {
      t.remove_prefix(1);
    } else if (t.starts_with(kFullWidthSpace)) {
      t.remove_prefix(kFullWidthSpace.size());
    } else if (t.ends_with(' ')) {
      t.remove_suffix(1);
    } else if (t.ends_with(kFullWidthSpace)) {
      t.remove_suffix(kFullWidthSpace.size());
    } else {
      return t;
    }
  }
}

std::string make_display_name(std::string_view name,
                              const std::function<int(std::string_view)>& text_width) {
  if (contains(name, kLineBreakMarker)) return std::string(name);
  if (text_width(name) < kDisplayWidthLimit) return std::string(name);
  // The host draws a bitness tag well on a line of its own.
  if (contains(name, kTag64)) return replace_all(name, kTag64, "/\xbb\xbb\xd0\xd0/(64\xce\xbb)");
  if (contains(name, kTag32)) return replace_all(name, kTag32, "/\xbb\xbb\xd0\xd0/(32\xce\xbb)");

  const std::string b = realign(name);
  if (text_width(b) <= kDisplayWidthLimit) return b;

  const int k = is_lead(b, kProbeByte) ? kLongFirstLine : kShortFirstLine;
  const std::string_view first = left(b, k);
  const std::string_view rest = trim_host_spaces(right(b, static_cast<int>(b.size()) - k));
  std::string out(first);
  out.append(kLineBreakMarker);
  if (text_width(rest) > kDisplayWidthLimit) {
    out.append(mid(b, k + 1, kShortenedBytes));
    out.append("...");
  } else {
    out.append(rest);
  }
  return out;
}

std::string preview_display_name(std::string_view display_name) {
  return replace_all(display_name, kLineBreakMarker, "\r\n");
}

}  // namespace editing
