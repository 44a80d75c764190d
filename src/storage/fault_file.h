// A file system that fails one chosen call, for tests of what survives a failure. Every
// read, write, truncation and lock call on the files it opened is counted; the k-th one of
// the chosen kinds fails (with an error, or as a short read or write) and all others pass.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "storage/file.h"

namespace storage {

class FaultFileSystem final : public FileSystem {
 public:
  enum Kind : unsigned { kRead = 1, kWrite = 2, kTruncate = 4, kLock = 8, kAll = 15 };
  enum class How { error, short_transfer };

  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Fails the k-th (1-based) call of the kinds in `kinds`; 0 disarms.
  void arm(int64_t k, unsigned kinds = kAll, How how = How::error) {
    target_ = k;
    kinds_ = kinds;
    how_ = how;
    seen_ = 0;
    fired_ = false;
  }
  int64_t calls() const { return seen_; }  // calls of the armed kinds so far
  bool fired() const { return fired_; }

  // Called before every call on a file opened here, with the kind and the byte range, so a
  // test can let another program act at an exact moment.
  std::function<void(Kind kind, int64_t pos, int64_t len)> before_call;

  // Whether the next call of `kind` is the one to fail (and counts it).
  bool should_fail(Kind kind) {
    if (!(kinds_ & kind)) return false;
    ++seen_;
    if (target_ > 0 && seen_ == target_) {
      fired_ = true;
      return true;
    }
    return false;
  }
  How how() const { return how_; }

  int open(const std::string& path, OpenMode mode, ShareMode share,
           std::unique_ptr<File>* out) override;
  std::string absolute_path(const std::string& path) override { return inner_.absolute_path(path); }
  std::string find_ignoring_case(const std::string& path) override {
    return inner_.find_ignoring_case(path);
  }
  // Time passes only by sleeping, so lock retries cost the tests nothing.
  uint32_t tick_count() override { return ticks_; }
  void sleep_ms(int ms) override { ticks_ += static_cast<uint32_t>(ms); }

 private:
  FileSystem& inner_;
  int64_t target_ = 0;
  unsigned kinds_ = kAll;
  How how_ = How::error;
  int64_t seen_ = 0;
  bool fired_ = false;
  uint32_t ticks_ = 0;
};

}  // namespace storage
