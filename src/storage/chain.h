// Block chains of the side file: reading a value, storing a value over an old chain and
// returning a chain to the free-block list.
//
// Changes are made through a SideChange, which remembers every block and header it
// overwrites, so a failed operation can put the side file back as it was: a failure never
// leaves a block both free and in use, or lost to both.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "storage/table.h"

namespace storage {

int read_chain(Table& t, int32_t ref, std::string* out);

class SideChange {
 public:
  explicit SideChange(Table& t) : t_(t) {}
  ~SideChange();  // releases locks; an uncommitted change is rolled back

  // Stores `value` over the chain at `old_ref` (0: none); *new_ref receives the reference.
  int write_chain(std::string_view value, int32_t old_ref, int32_t* new_ref);
  int free_chain(int32_t ref);
  // Writes the header back (when it was loaded) and keeps the changes. 0 or a code.
  int finish();
  // Puts every block, the header and the length back as they were before the change.
  void roll_back();
  bool changed() const { return !saved_.empty() || header_loaded_; }

 private:
  int load_header();
  int lock_block(int32_t n);
  void unlock_block(int32_t n);
  void unlock_blocks();
  int read_block_head(int32_t n, unsigned char head[kBlockHeaderSize]);
  int write_block(int32_t n, const unsigned char block[kBlockSize]);
  int write_block_head(int32_t n, const unsigned char head[kBlockHeaderSize]);
  int free_from(int32_t ref);
  int trim_tail();
  int32_t block_count() const { return get_i32(header_ + 16); }
  int32_t free_count() const { return get_i32(header_ + 20); }
  int32_t free_head() const { return get_i32(header_ + 24); }
  void set_block_count(int32_t v) { put_i32(header_ + 16, v); }
  void set_free_count(int32_t v) { put_i32(header_ + 20, v); }
  void set_free_head(int32_t v) { put_i32(header_ + 24, v); }

  Table& t_;
  bool header_loaded_ = false;
  bool header_locked_ = false;
  bool committed_ = false;
  unsigned char header_[kSideHeaderSize] = {};
  unsigned char original_header_[kSideHeaderSize] = {};
  int64_t header_length_ = -1;  // the side file's length when the header was loaded
  // Original bytes of every existing block this change overwrote, by block number.
  std::map<int32_t, std::string> saved_;
  std::set<int32_t> written_;
  std::set<int32_t> appended_;  // blocks this change added at the end of the file
  bool resized_ = false;
  bool header_written_ = false;
  std::map<int32_t, int> block_locks_;
};

}  // namespace storage
