#include "storage/alias.h"

namespace storage {
namespace {

enum class Kind { letter, digit, hanzi, other };

// Classifies the character at s[i] and sets its length in bytes.
Kind classify(std::string_view s, size_t i, size_t* len) {
  unsigned char a = static_cast<unsigned char>(s[i]);
  if (a < 0x80) {
    *len = 1;
    if ((a >= 'A' && a <= 'Z') || (a >= 'a' && a <= 'z')) return Kind::letter;
    if (a >= '0' && a <= '9') return Kind::digit;
    return Kind::other;
  }
  if (a < 0x81 || a > 0xFE || i + 1 >= s.size()) {
    *len = 1;
    return Kind::other;
  }
  unsigned char b = static_cast<unsigned char>(s[i + 1]);
  *len = 2;
  if (b < 0x40 || b == 0x7F || b == 0xFF) return Kind::other;
  if (a == 0xA3) {  // full-width forms
    if ((b >= 0xC1 && b <= 0xDA) || (b >= 0xE1 && b <= 0xFA)) return Kind::letter;
    if (b >= 0xB0 && b <= 0xB9) return Kind::digit;
    return Kind::other;
  }
  if (a >= 0xB0 && a <= 0xF7 && b >= 0xA1) return Kind::hanzi;  // GB2312 characters
  if (a >= 0x81 && a <= 0xA0) return Kind::hanzi;               // GBK extension 3
  if (a >= 0xAA && a <= 0xFE && b <= 0xA0) return Kind::hanzi;  // GBK extension 4
  return Kind::other;
}

}  // namespace

bool is_valid_alias(std::string_view alias) {
  if (alias.empty()) return false;
  size_t i = 0;
  bool first = true;
  while (i < alias.size()) {
    size_t len;
    Kind k = classify(alias, i, &len);
    if (k == Kind::other || (first && k == Kind::digit)) return false;
    first = false;
    i += len;
  }
  return true;
}

}  // namespace storage
