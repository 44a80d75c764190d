// RC4 key schedule and key stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace storage {

struct Rc4 {
  uint8_t s[256];
  uint8_t i = 0;
  uint8_t j = 0;

  // Key schedule from the identity permutation; i and j start at 0.
  void schedule(const uint8_t* key, size_t key_len) {
    for (int k = 0; k < 256; ++k) s[k] = static_cast<uint8_t>(k);
    uint8_t jj = 0;
    size_t m = 0;
    for (int k = 0; k < 256; ++k) {
      uint8_t t = s[k];
      jj = static_cast<uint8_t>(jj + t + key[m]);
      if (++m == key_len) m = 0;
      s[k] = s[jj];
      s[jj] = t;
    }
    i = 0;
    j = 0;
  }

  uint8_t next() {
    i = static_cast<uint8_t>(i + 1);
    uint8_t si = s[i];
    j = static_cast<uint8_t>(j + si);
    uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    return s[static_cast<uint8_t>(si + sj)];
  }

  void discard(size_t n) {
    uint8_t ii = i, jj = j;
    for (size_t k = 0; k < n; ++k) {
      ii = static_cast<uint8_t>(ii + 1);
      uint8_t si = s[ii];
      jj = static_cast<uint8_t>(jj + si);
      s[ii] = s[jj];
      s[jj] = si;
    }
    i = ii;
    j = jj;
  }

  void xor_into(uint8_t* buf, size_t n) {
    uint8_t ii = i, jj = j;
    for (size_t k = 0; k < n; ++k) {
      ii = static_cast<uint8_t>(ii + 1);
      uint8_t si = s[ii];
      jj = static_cast<uint8_t>(jj + si);
      uint8_t sj = s[jj];
      s[ii] = sj;
      s[jj] = si;
      buf[k] ^= s[static_cast<uint8_t>(si + sj)];
    }
    i = ii;
    j = jj;
  }

  void generate(uint8_t* out, size_t n) {
    for (size_t k = 0; k < n; ++k) out[k] = 0;
    xor_into(out, n);
  }
};

}  // namespace storage
