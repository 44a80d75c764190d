// Password protection of table files and side files: the password digest kept in the
// table header, and the page cipher applied to every byte from offset 4 on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/file.h"
#include "storage/rc4.h"

namespace storage {

// The 32-character digest text of a password.
std::string password_digest(std::string_view password);

// The position-keyed stream cipher. transform() both enciphers and deciphers; it depends
// only on the password and the file position, so it may be applied in any order.
class PageCipher {
 public:
  static constexpr int kPageSize = 4096;

  PageCipher(std::string_view password, int64_t start_offset);
  bool active() const { return active_; }
  void transform(int64_t pos, uint8_t* buf, size_t n);

 private:
  uint32_t page_word(int64_t q);
  void page_key(int64_t q, uint8_t key[40]);
  void page_state(int64_t q, Rc4* out);
  const uint8_t* cached_page_stream(int64_t q);

  bool active_;
  int64_t start_;
  char digest_[33] = {};
  Rc4 master_;

  // Page words are consecutive groups of one key stream: keep them and the generator.
  std::vector<uint32_t> words_;
  Rc4 word_gen_;

  // Key streams of recently touched pages, for the small reads and writes of fields.
  struct CachedPage {
    int64_t page = -1;
    uint64_t used = 0;
    uint8_t stream[kPageSize];
  };
  std::vector<CachedPage> cache_;
  uint64_t clock_ = 0;
};

// A file whose bytes from the start offset on are stored enciphered. With an empty
// password it passes bytes through unchanged.
class EncipheredFile final : public File {
 public:
  EncipheredFile(std::unique_ptr<File> inner, std::string_view password, int64_t start_offset);

  int64_t read_at(int64_t pos, void* buf, size_t n) override;
  int64_t write_at(int64_t pos, const void* buf, size_t n) override;
  int64_t length() override { return inner_->length(); }
  int truncate(int64_t length) override { return inner_->truncate(length); }
  int lock(int64_t pos, int64_t len) override { return inner_->lock(pos, len); }
  int unlock(int64_t pos, int64_t len) override { return inner_->unlock(pos, len); }

 private:
  std::unique_ptr<File> inner_;
  PageCipher cipher_;
  std::vector<uint8_t> scratch_;
};

}  // namespace storage
