#include "storage/memory_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "storage/error.h"

namespace storage {

struct MemoryFileSystem::LockSet {
  struct Range {
    const void* owner;
    int64_t pos, len;
  };
  std::vector<Range> ranges;

  bool conflicts(const void* owner, int64_t pos, int64_t len) const {
    for (const Range& r : ranges) {
      if (r.owner != owner && r.pos < pos + len && pos < r.pos + r.len) return true;
    }
    return false;
  }
  // Removes the owner's bytes in [pos, pos + len), splitting ranges as needed.
  void remove(const void* owner, int64_t pos, int64_t len) {
    std::vector<Range> out;
    for (const Range& r : ranges) {
      if (r.owner != owner || r.pos >= pos + len || pos >= r.pos + r.len) {
        out.push_back(r);
        continue;
      }
      if (r.pos < pos) out.push_back({owner, r.pos, pos - r.pos});
      if (r.pos + r.len > pos + len) out.push_back({owner, pos + len, r.pos + r.len - pos - len});
    }
    ranges.swap(out);
  }
};

namespace {

class MemoryFile final : public File {
 public:
  MemoryFile(std::shared_ptr<std::string> data, std::shared_ptr<MemoryFileSystem::LockSet> locks,
             bool writable, int64_t max_length)
      : data_(std::move(data)), locks_(std::move(locks)), writable_(writable), max_(max_length) {}
  ~MemoryFile() override { locks_->remove(this, 0, INT64_MAX); }

  int64_t read_at(int64_t pos, void* buf, size_t n) override {
    if (pos < 0) return kSeekFailed;
    if (pos >= static_cast<int64_t>(data_->size())) return 0;
    size_t k = std::min(n, data_->size() - static_cast<size_t>(pos));
    std::memcpy(buf, data_->data() + pos, k);
    return static_cast<int64_t>(k);
  }
  int64_t write_at(int64_t pos, const void* buf, size_t n) override {
    if (!writable_) return kAccessDenied;
    if (pos < 0) return kSeekFailed;
    if (pos + static_cast<int64_t>(n) > max_) return kDiskFull;
    if (data_->size() < pos + n) data_->resize(pos + n, '\0');
    std::memcpy(data_->data() + pos, buf, n);
    return static_cast<int64_t>(n);
  }
  int64_t length() override { return static_cast<int64_t>(data_->size()); }
  int truncate(int64_t length) override {
    if (!writable_) return kAccessDenied;
    if (length < 0) return kSeekFailed;
    if (length > max_) return kDiskFull;
    data_->resize(static_cast<size_t>(length), '\0');
    return 0;
  }
  int lock(int64_t pos, int64_t len) override {
    if (locks_->conflicts(this, pos, len)) return kLockViolation;
    locks_->ranges.push_back({this, pos, len});
    return 0;
  }
  int unlock(int64_t pos, int64_t len) override {
    locks_->remove(this, pos, len);
    return 0;
  }

 private:
  std::shared_ptr<std::string> data_;
  std::shared_ptr<MemoryFileSystem::LockSet> locks_;
  bool writable_;
  int64_t max_;
};

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

int MemoryFileSystem::open(const std::string& path, OpenMode mode, ShareMode,
                           std::unique_ptr<File>* out) {
  auto it = files.find(path);
  if (it == files.end()) return kFileNotFound;
  auto& l = locks_[path];
  if (!l) l = std::make_shared<LockSet>();
  *out = std::make_unique<MemoryFile>(it->second, l, mode == OpenMode::read_write, max_length);
  return 0;
}

std::string MemoryFileSystem::find_ignoring_case(const std::string& path) {
  if (files.count(path)) return path;
  for (const auto& [name, data] : files) {
    if (name.size() != path.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = fold(name[i]) == fold(path[i]);
    if (same) return name;
  }
  return "";
}

}  // namespace storage
