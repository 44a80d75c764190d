#include "platform/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace platform {
namespace {

constexpr const char* kHostCharset = "CP936";
constexpr char32_t kReplacement = 0xFFFD;

// One converter per direction and thread; iconv_open is far dearer than a conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != kNone) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  // kNone when the C library lacks the code page; then only ASCII converts.
  iconv_t get() {
    if (cd_ != kNone) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

 private:
  iconv_t cd_;
};

iconv_t decoder() {
  thread_local Converter c("UTF-8", kHostCharset);
  return c.get();
}
iconv_t encoder() {
  thread_local Converter c(kHostCharset, "UTF-8");
  return c.get();
}

void append_utf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Length of the well-formed UTF-8 sequence at the start of `s` (shortest form, no
// surrogates, at most U+10FFFF) and its code point; 0 when it is not one.
size_t decode_utf8(std::string_view s, char32_t* cp) {
  if (s.empty()) return 0;
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  size_t n;
  char32_t v, min;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i) & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return n;
}

bool is_trail(unsigned char t) {
  return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE);
}

// Code page 936 maps its three user-defined areas to the private use area in order;
// glibc's table leaves them out, so they are mapped here. 0 when `code` is not in them.
char32_t user_defined_to_unicode(unsigned lead, unsigned trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE)
    return 0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1);
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE)
    return 0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1);
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F)
    return 0xE4C6 + (lead - 0xA1) * 96 + (trail < 0x7F ? trail - 0x40 : trail - 0x41);
  return 0;
}

bool unicode_to_user_defined(char32_t c, std::string* out) {
  unsigned lead, trail;
  if (c >= 0xE000 && c < 0xE234) {
    lead = 0xAA + (c - 0xE000) / 94, trail = 0xA1 + (c - 0xE000) % 94;
  } else if (c >= 0xE234 && c < 0xE4C6) {
    lead = 0xF8 + (c - 0xE234) / 94, trail = 0xA1 + (c - 0xE234) % 94;
  } else if (c >= 0xE4C6 && c < 0xE766) {
    const unsigned i = (c - 0xE4C6) % 96;
    lead = 0xA1 + (c - 0xE4C6) / 96, trail = i < 0x3F ? 0x40 + i : 0x41 + i;
  } else {
    return false;
  }
  out->push_back(static_cast<char>(lead));
  out->push_back(static_cast<char>(trail));
  return true;
}

// Converts `in` to GBK into *out; on a character without a GBK form (or malformed input)
// stops and returns its byte offset, else returns npos.
size_t encode(std::string_view in, std::string* out) {
  iconv_t cd = encoder();
  char buf[1024];
  size_t pos = 0;
  while (pos < in.size()) {
    char32_t cp;
    const size_t n = decode_utf8(in.substr(pos), &cp);
    if (n == 0) return pos;
    // Hand iconv runs of well-formed text; it stops at the first character it cannot map.
    size_t end = pos + n;
    while (end < in.size()) {
      const size_t m = decode_utf8(in.substr(end), &cp);
      if (m == 0) break;
      end += m;
    }
    if (cd == Converter::kNone) {
      for (; pos < end; ++pos) {
        if (static_cast<unsigned char>(in[pos]) >= 0x80) return pos;
        out->push_back(in[pos]);
      }
      continue;
    }
    char* src = const_cast<char*>(in.data() + pos);
    size_t src_left = end - pos;
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
      out->append(buf, dst - buf);
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // A character glibc has no entry for: the user-defined areas or a real refusal.
      const size_t at = src - in.data();
      const size_t m = decode_utf8(in.substr(at), &cp);
      if (m == 0 || !unicode_to_user_defined(cp, out)) return at;
      src += m;
      src_left -= m;
    }
    pos = end;
  }
  return std::string_view::npos;
}

}  // namespace

std::string gbk_to_utf8(std::string_view gbk) {
  iconv_t cd = decoder();
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  char buf[1024];
  char* src = const_cast<char*>(gbk.data());
  size_t src_left = gbk.size();
  while (src_left > 0) {
    if (cd != Converter::kNone) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
      out.append(buf, dst - buf);
      if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
    } else if (static_cast<unsigned char>(src[0]) < 0x80) {
      out.push_back(*src++);
      --src_left;
      continue;
    }
    // EILSEQ or a lead byte at the very end (EINVAL): one character that does not decode.
    const auto lead = static_cast<unsigned char>(src[0]);
    size_t taken = 1;
    char32_t c = kReplacement;
    if (lead >= 0x81 && lead <= 0xFE && src_left >= 2 &&
        is_trail(static_cast<unsigned char>(src[1]))) {
      taken = 2;
      if (char32_t u = user_defined_to_unicode(lead, static_cast<unsigned char>(src[1]))) c = u;
    }
    append_utf8(c, &out);
    src += taken;
    src_left -= taken;
  }
  return out;
}

bool utf8_to_gbk(std::string_view utf8, std::string* gbk) {
  std::string out;
  out.reserve(utf8.size());
  if (encode(utf8, &out) != std::string_view::npos) return false;
  *gbk = std::move(out);
  return true;
}

std::string first_character_without_gbk(std::string_view utf8) {
  std::string scratch;
  const size_t at = encode(utf8, &scratch);
  if (at == std::string_view::npos) return {};
  char32_t cp;
  const size_t n = decode_utf8(utf8.substr(at), &cp);
  if (n == 0) {
    std::string r;
    append_utf8(kReplacement, &r);
    return r;
  }
  return std::string(utf8.substr(at, n));
}

std::string gbk_refusal_message(std::string_view utf8) {
  const std::string c = first_character_without_gbk(utf8);
  if (c.empty()) return {};
  char32_t cp = kReplacement;
  decode_utf8(c, &cp);
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  if (cp == kReplacement)
    return "文本中含有无法识别的字符“" + c + "”（" + code + "），请删除该字符后再试。";
  return "文本中含有无法保存的字符“" + c + "”（" + code + "），请删除或更换该字符后再试。";
}

bool EditableText::to_gbk(std::string_view shown_now, std::string* gbk) const {
  if (shown_now == shown_) {
    *gbk = original_;
    return true;
  }
  return utf8_to_gbk(shown_now, gbk);
}

}  // namespace platform
