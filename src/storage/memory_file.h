// Files held in memory, for tests and fuzzing. Locks conflict between different opens of
// one file, as open-file-description locks do; sharing modes are not kept.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "storage/file.h"

namespace storage {

class MemoryFileSystem final : public FileSystem {
 public:
  // The bytes of each file by path; files added here can be opened.
  std::map<std::string, std::shared_ptr<std::string>> files;
  // A write or truncation past this length fails with kDiskFull (keeps fuzzing bounded).
  int64_t max_length = int64_t{1} << 32;

  void add(const std::string& path, std::string bytes) {
    files[path] = std::make_shared<std::string>(std::move(bytes));
  }
  std::string bytes(const std::string& path) const {
    auto it = files.find(path);
    return it == files.end() ? std::string() : *it->second;
  }

  int open(const std::string& path, OpenMode mode, ShareMode share,
           std::unique_ptr<File>* out) override;
  std::string absolute_path(const std::string& path) override {
    return path.empty() || path[0] == '/' ? path : "/" + path;
  }
  std::string find_ignoring_case(const std::string& path) override;
  uint32_t tick_count() override { return ticks_; }
  void sleep_ms(int ms) override { ticks_ += static_cast<uint32_t>(ms); }

  struct LockSet;

 private:
  std::map<std::string, std::shared_ptr<LockSet>> locks_;
  uint32_t ticks_ = 0;
};

}  // namespace storage
