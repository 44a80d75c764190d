#include "storage/chain.h"

#include <algorithm>
#include <cstring>

#include "storage/error.h"

namespace storage {

int read_exact(File& f, int64_t pos, void* buf, size_t len, int short_code) {
  int64_t k = f.read_at(pos, buf, len);
  if (k < 0) return static_cast<int>(k);
  return static_cast<size_t>(k) == len ? 0 : short_code;
}

int write_exact(File& f, int64_t pos, const void* buf, size_t len, int short_code) {
  int64_t k = f.write_at(pos, buf, len);
  if (k < 0) return static_cast<int>(k);
  return static_cast<size_t>(k) == len ? 0 : short_code;
}

int read_chain(Table& t, int32_t ref, std::string* out) {
  out->clear();
  if (ref <= 0) return 0;
  if (!t.side) return kSideFileAccess;
  // A chain has at most as many blocks as the file: more means a cycle.
  int64_t length = t.side->length();
  if (length < 0) return static_cast<int>(length);
  int64_t limit = length / kBlockSize;
  unsigned char block[kBlockSize];
  int32_t held = 0;
  int rc = 0;
  for (int32_t n = ref; n > 0;) {
    if (limit-- <= 0) {
      rc = kSideFileAccess;
      break;
    }
    rc = t.locks->lock(LockFile::side, int64_t{n} * kBlockSize);
    if (rc != 0) break;
    if (held) t.locks->unlock(LockFile::side, int64_t{held} * kBlockSize);
    held = n;
    rc = read_exact(*t.side, int64_t{n} * kBlockSize, block, kBlockSize, kSideFileAccess);
    if (rc != 0) break;
    int32_t used = get_i32(block + 8);
    if (used < 0 || used > kBlockData) {
      rc = kSideFileAccess;
      break;
    }
    out->append(reinterpret_cast<const char*>(block + kBlockHeaderSize), used);
    n = get_i32(block + 4);
  }
  if (held) t.locks->unlock(LockFile::side, int64_t{held} * kBlockSize);
  if (rc != 0) out->clear();
  return rc;
}

SideChange::~SideChange() {
  unlock_blocks();
  if (header_locked_) t_.locks->unlock(LockFile::side, 0);
}

int SideChange::load_header() {
  if (header_loaded_) return 0;
  if (!t_.side) return kSideFileAccess;
  if (!header_locked_) {
    int rc = t_.locks->lock(LockFile::side, 0);
    if (rc != 0) return rc;
    header_locked_ = true;
  }
  int rc = read_exact(*t_.side, 0, header_, kSideHeaderSize, kSideFileAccess);
  if (rc != 0) return rc;
  std::memcpy(original_header_, header_, kSideHeaderSize);
  // Only a holder of the header lock adds or cuts blocks, so this length stays ours to
  // restore until the change ends.
  int64_t len = t_.side->length();
  if (len < 0) return static_cast<int>(len);
  header_length_ = len;
  header_loaded_ = true;
  return 0;
}

int SideChange::lock_block(int32_t n) {
  if (n <= 0) return kLockFailed;
  int rc = t_.locks->lock(LockFile::side, int64_t{n} * kBlockSize);
  if (rc == 0) ++block_locks_[n];
  return rc;
}

void SideChange::unlock_block(int32_t n) {
  auto it = block_locks_.find(n);
  if (it == block_locks_.end()) return;
  t_.locks->unlock(LockFile::side, int64_t{n} * kBlockSize);
  if (--it->second == 0) block_locks_.erase(it);
}

void SideChange::unlock_blocks() {
  for (auto& [n, count] : block_locks_) {
    for (int k = 0; k < count; ++k) t_.locks->unlock(LockFile::side, int64_t{n} * kBlockSize);
  }
  block_locks_.clear();
}

// Reads block n whole (only its head is used) and keeps its original bytes for a roll-back.
int SideChange::read_block_head(int32_t n, unsigned char head[kBlockHeaderSize]) {
  if (n <= 0) return kSideFileAccess;
  unsigned char block[kBlockSize];
  int rc = read_exact(*t_.side, int64_t{n} * kBlockSize, block, kBlockSize, kSideFileAccess);
  if (rc != 0) return rc;
  if (!saved_.count(n) && !appended_.count(n)) {
    saved_.emplace(n, std::string(reinterpret_cast<char*>(block), kBlockSize));
  }
  std::memcpy(head, block, kBlockHeaderSize);
  return 0;
}

int SideChange::write_block(int32_t n, const unsigned char block[kBlockSize]) {
  int64_t pos = int64_t{n} * kBlockSize;
  if (!saved_.count(n) && !appended_.count(n)) {
    // An existing block not read before: keep what it held.
    unsigned char old[kBlockSize];
    int rc = read_exact(*t_.side, pos, old, kBlockSize, kSideFileAccess);
    if (rc != 0) return rc;
    saved_.emplace(n, std::string(reinterpret_cast<char*>(old), kBlockSize));
  }
  written_.insert(n);
  return write_exact(*t_.side, pos, block, kBlockSize, kSideFileAccess);
}

int SideChange::write_block_head(int32_t n, const unsigned char head[kBlockHeaderSize]) {
  written_.insert(n);
  return write_exact(*t_.side, int64_t{n} * kBlockSize, head, kBlockHeaderSize, kSideFileAccess);
}

int SideChange::write_chain(std::string_view value, int32_t old_ref, int32_t* new_ref) {
  *new_ref = 0;
  if (!t_.side) return kSideFileAccess;
  int32_t prev = 0;
  int32_t b = old_ref;
  unsigned char B[kBlockSize];
  unsigned char head[kBlockHeaderSize];
  size_t at = 0;
  size_t left = value.size();
  int rc = 0;
  while (left > 0) {
    int32_t n;
    if (b != 0) {
      n = b;
    } else {
      if ((rc = load_header()) != 0) return rc;
      if (free_count() > 0) {
        n = free_head();
        if ((rc = read_block_head(n, head)) != 0) return rc;
        set_free_head(get_i32(head + 4));
        set_free_count(free_count() - 1);
      } else {
        n = block_count();
        if (n <= 0 || n == INT32_MAX) return kSideFileAccess;
        set_block_count(n + 1);
        appended_.insert(n);
        resized_ = true;
      }
    }
    if (*new_ref == 0) *new_ref = n;
    if ((rc = lock_block(n)) != 0) return rc;
    if (b != 0) {
      if ((rc = read_block_head(b, head)) != 0) return rc;
      b = get_i32(head + 4);
    }
    if (prev != 0) {
      put_i32(B + 4, n);
      if ((rc = write_block(prev, B)) != 0) return rc;
      unlock_block(prev);
    }
    size_t k = std::min(left, static_cast<size_t>(kBlockData));
    std::memset(B, 0, sizeof B);
    put_i32(B, prev);
    put_i32(B + 4, 0);
    put_i32(B + 8, static_cast<int32_t>(k));
    std::memcpy(B + kBlockHeaderSize, value.data() + at, k);
    at += k;
    left -= k;
    prev = n;
  }
  if (prev != 0 && (rc = write_block(prev, B)) != 0) return rc;
  if (b != 0) {
    if ((rc = load_header()) != 0) return rc;
    unlock_blocks();
    if ((rc = free_from(b)) != 0) return rc;
  }
  return 0;
}

int SideChange::free_chain(int32_t ref) {
  if (ref <= 0) return 0;
  int rc = load_header();
  if (rc != 0) return rc;
  unlock_blocks();
  return free_from(ref);
}

int SideChange::free_from(int32_t ref) {
  int32_t head = ref;
  int32_t freed = 0;
  bool trim = false;
  int32_t n = ref;
  int32_t held = 0;
  int64_t limit = std::max<int64_t>(block_count(), header_length_ / kBlockSize) + 1;
  unsigned char buf[kBlockSize];
  int rc = 0;
  for (;;) {
    if (limit-- <= 0) return kSideFileAccess;  // a cycle in a damaged chain
    if (n == block_count() - 1) trim = true;
    if ((rc = lock_block(n)) != 0) return rc;
    if (held) unlock_block(held);
    held = n;
    std::memset(buf, 0, sizeof buf);
    if ((rc = read_block_head(n, buf)) != 0) return rc;
    put_i32(buf + 8, 0);
    if (freed == 0) put_i32(buf, 0);
    int32_t next = get_i32(buf + 4);
    bool last = next == 0;
    if (last) {
      put_i32(buf + 4, free_head());
      if (free_head() != 0) {
        int32_t h = free_head();
        unsigned char hh[kBlockHeaderSize];
        if ((rc = lock_block(h)) != 0) return rc;
        if ((rc = read_block_head(h, hh)) != 0) return rc;
        put_i32(hh, n);
        if ((rc = write_block_head(h, hh)) != 0) return rc;
        unlock_block(h);
      }
    }
    if ((rc = write_block(n, buf)) != 0) return rc;
    ++freed;
    if (last) break;
    n = next;
  }
  if (held) unlock_block(held);
  set_free_count(free_count() + freed);
  set_free_head(head);
  unlock_blocks();
  if (trim) return trim_tail();
  return 0;
}

int SideChange::trim_tail() {
  int32_t j = block_count() - 1;
  unsigned char hj[kBlockHeaderSize];
  unsigned char other[kBlockHeaderSize];
  int rc = 0;
  while (j > 0) {
    if ((rc = lock_block(j)) != 0) return rc;
    rc = read_block_head(j, hj);
    unlock_block(j);
    if (rc != 0) return rc;
    if (get_i32(hj + 8) > 0) break;
    int32_t prev = get_i32(hj), next = get_i32(hj + 4);
    if (j == free_head()) {
      set_free_head(next);
      if (next != 0) {
        if ((rc = read_block_head(next, other)) != 0) return rc;
        put_i32(other, 0);
        if ((rc = write_block_head(next, other)) != 0) return rc;
      }
    } else {
      if (prev != 0) {
        if ((rc = read_block_head(prev, other)) != 0) return rc;
        put_i32(other + 4, next);
        if ((rc = write_block_head(prev, other)) != 0) return rc;
      }
      if (next != 0) {
        if ((rc = read_block_head(next, other)) != 0) return rc;
        put_i32(other, prev);
        if ((rc = write_block_head(next, other)) != 0) return rc;
      }
    }
    if (free_count() > 0) set_free_count(free_count() - 1);
    --j;
  }
  if (j + 1 != block_count()) {
    set_block_count(j + 1);
    resized_ = true;
    if ((rc = t_.side->truncate(int64_t{j + 1} * kBlockSize)) != 0) return rc;
  }
  return 0;
}

int SideChange::finish() {
  if (header_loaded_) {
    header_written_ = true;
    int rc = write_exact(*t_.side, 0, header_, kSideHeaderSize, kSideFileAccess);
    if (rc != 0) return rc;
  }
  committed_ = true;
  return 0;
}

void SideChange::roll_back() {
  if (!t_.side) return;
  for (const auto& [n, bytes] : saved_) {
    if (written_.count(n) || resized_) {
      t_.side->write_at(int64_t{n} * kBlockSize, bytes.data(), bytes.size());
    }
  }
  // The length changes only under the header lock, which this change still holds.
  if (resized_ && header_length_ >= 0) {
    int64_t len = t_.side->length();
    if (len >= 0 && len != header_length_) t_.side->truncate(header_length_);
  }
  if (header_written_) t_.side->write_at(0, original_header_, kSideHeaderSize);
  saved_.clear();
  written_.clear();
  committed_ = false;
}

}  // namespace storage
