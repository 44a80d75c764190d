#include "storage/cipher.h"

#include <algorithm>
#include <cstring>

#include "storage/md5.h"

namespace storage {
namespace {

constexpr size_t kCachedPages = 64;
// Page words kept in memory; past this (files over 4 GiB) they are recomputed.
constexpr size_t kMaxWords = size_t{1} << 20;
// Transforms at least this long stream their pages instead of caching them.
constexpr size_t kStreamThreshold = PageCipher::kPageSize;

// Enciphers kLanes whole pages at once: their key streams are independent, so running them
// side by side lets the processor overlap the lanes' serial RC4 steps.
constexpr int kLanes = 8;

template <int kLanes>
void xor_pages(uint8_t* buf, const uint8_t (*keys)[40]) {
  uint8_t S[kLanes][256];
  uint8_t j[kLanes] = {};
  for (int s = 0; s < kLanes; ++s) {
    for (int k = 0; k < 256; ++k) S[s][k] = static_cast<uint8_t>(k);
  }
  for (int k = 0; k < 256; ++k) {
    int m = k % 40;
    for (int s = 0; s < kLanes; ++s) {
      uint8_t t = S[s][k];
      j[s] = static_cast<uint8_t>(j[s] + t + keys[s][m]);
      S[s][k] = S[s][j[s]];
      S[s][j[s]] = t;
    }
  }
  for (int s = 0; s < kLanes; ++s) j[s] = 0;
  uint8_t i = 0;
  for (int t = 0; t < 36; ++t) {
    i = static_cast<uint8_t>(i + 1);
    for (int s = 0; s < kLanes; ++s) {
      uint8_t si = S[s][i];
      j[s] = static_cast<uint8_t>(j[s] + si);
      S[s][i] = S[s][j[s]];
      S[s][j[s]] = si;
    }
  }
  for (int t = 0; t < PageCipher::kPageSize; ++t) {
    i = static_cast<uint8_t>(i + 1);
    for (int s = 0; s < kLanes; ++s) {
      uint8_t si = S[s][i];
      j[s] = static_cast<uint8_t>(j[s] + si);
      uint8_t sj = S[s][j[s]];
      S[s][i] = sj;
      S[s][j[s]] = si;
      buf[s * PageCipher::kPageSize + t] ^= S[s][static_cast<uint8_t>(si + sj)];
    }
  }
}

}  // namespace

std::string password_digest(std::string_view password) {
  static const char kHex[] = "0123456789abcdef";
  auto d = md5(password);
  std::string hex(32, '0');
  for (int k = 0; k < 16; ++k) {
    hex[2 * k] = kHex[d[k] >> 4];
    hex[2 * k + 1] = kHex[d[k] & 15];
  }
  for (int k = 0; k < 32; k += 2) std::swap(hex[k], hex[k + 1]);
  std::reverse(hex.begin(), hex.end());
  return hex;
}

PageCipher::PageCipher(std::string_view password, int64_t start_offset)
    : active_(!password.empty()), start_(start_offset) {
  if (!active_) return;
  std::string digest = password_digest(password);
  std::memcpy(digest_, digest.data(), 32);
  master_.schedule(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  word_gen_ = master_;
  cache_.reserve(kCachedPages);
}

uint32_t PageCipher::page_word(int64_t q) {
  auto word_from = [](Rc4& gen) {
    uint8_t b[4];
    gen.generate(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  };
  if (static_cast<uint64_t>(q) < kMaxWords) {
    while (words_.size() <= static_cast<size_t>(q)) words_.push_back(word_from(word_gen_));
    return words_[q];
  }
  while (words_.size() < kMaxWords) words_.push_back(word_from(word_gen_));
  Rc4 gen = word_gen_;  // positioned after the last kept word
  gen.discard(4 * (static_cast<uint64_t>(q) - kMaxWords));
  return word_from(gen);
}

void PageCipher::page_key(int64_t q, uint8_t key[40]) {
  uint32_t w = page_word(q);
  uint32_t x = w ^ static_cast<uint32_t>(q);
  std::memcpy(key, &w, 4);
  std::memcpy(key + 4, digest_, 32);
  std::memcpy(key + 36, &x, 4);
}

void PageCipher::page_state(int64_t q, Rc4* out) {
  uint8_t key[40];
  page_key(q, key);
  out->schedule(key, sizeof key);
  out->discard(36);
}

const uint8_t* PageCipher::cached_page_stream(int64_t q) {
  ++clock_;
  CachedPage* victim = nullptr;
  for (auto& c : cache_) {
    if (c.page == q) {
      c.used = clock_;
      return c.stream;
    }
    if (!victim || c.used < victim->used) victim = &c;
  }
  if (cache_.size() < kCachedPages) {
    cache_.emplace_back();
    victim = &cache_.back();
  }
  Rc4 st;
  page_state(q, &st);
  st.generate(victim->stream, kPageSize);
  victim->page = q;
  victim->used = clock_;
  return victim->stream;
}

void PageCipher::transform(int64_t pos, uint8_t* buf, size_t n) {
  if (!active_ || n == 0) return;
  if (pos < start_) {
    int64_t skip = start_ - pos;
    if (static_cast<uint64_t>(skip) >= n) return;
    buf += skip;
    n -= static_cast<size_t>(skip);
    pos = start_;
  }
  bool stream = n >= kStreamThreshold;
  int64_t q = pos / kPageSize;
  size_t off = static_cast<size_t>(pos % kPageSize);
  while (n > 0) {
    size_t whole = off == 0 ? n / kPageSize : 0;
    if (stream && whole >= 2) {
      int lanes = whole >= 8 ? 8 : whole >= 4 ? 4 : 2;
      uint8_t keys[kLanes][40];
      for (int s = 0; s < lanes; ++s) page_key(q + s, keys[s]);
      if (lanes == 8) {
        xor_pages<8>(buf, keys);
      } else if (lanes == 4) {
        xor_pages<4>(buf, keys);
      } else {
        xor_pages<2>(buf, keys);
      }
      buf += size_t(lanes) * kPageSize;
      n -= size_t(lanes) * kPageSize;
      q += lanes;
      continue;
    }
    size_t take = std::min(n, static_cast<size_t>(kPageSize) - off);
    if (stream) {
      Rc4 st;
      page_state(q, &st);
      st.discard(off);
      st.xor_into(buf, take);
    } else {
      const uint8_t* ks = cached_page_stream(q) + off;
      for (size_t k = 0; k < take; ++k) buf[k] ^= ks[k];
    }
    buf += take;
    n -= take;
    off = 0;
    ++q;
  }
}

EncipheredFile::EncipheredFile(std::unique_ptr<File> inner, std::string_view password,
                               int64_t start_offset)
    : inner_(std::move(inner)), cipher_(password, start_offset) {}

int64_t EncipheredFile::read_at(int64_t pos, void* buf, size_t n) {
  int64_t k = inner_->read_at(pos, buf, n);
  if (k > 0) cipher_.transform(pos, static_cast<uint8_t*>(buf), static_cast<size_t>(k));
  return k;
}

int64_t EncipheredFile::write_at(int64_t pos, const void* buf, size_t n) {
  if (!cipher_.active() || n == 0) return inner_->write_at(pos, buf, n);
  scratch_.assign(static_cast<const uint8_t*>(buf), static_cast<const uint8_t*>(buf) + n);
  cipher_.transform(pos, scratch_.data(), n);
  return inner_->write_at(pos, scratch_.data(), n);
}

}  // namespace storage
