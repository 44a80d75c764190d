#include "storage/locks.h"

#include "storage/error.h"

namespace storage {

int Locks::lock(LockFile file, int64_t pos, int64_t len) {
  if (pos < 0) return kLockFailed;
  Key key{static_cast<int>(file), pos, len};
  auto it = held_.find(key);
  if (it != held_.end()) {
    ++it->second.count;
    return 0;
  }
  Held h{1, false};
  if (file == LockFile::table && (exempt_ || table_depth_ > 0)) {
    held_.emplace(key, h);
    return 0;
  }
  File* f = file_of(file);
  if (!f) return kNotOpen;
  int rc = with_retry(fs_, [&] { return f->lock(pos, len); });
  if (rc != 0) return rc;
  h.on_disk = true;
  held_.emplace(key, h);
  return 0;
}

int Locks::unlock(LockFile file, int64_t pos, int64_t len) {
  auto it = held_.find(Key{static_cast<int>(file), pos, len});
  if (it == held_.end()) return kUnlockFailed;
  if (--it->second.count > 0) return 0;
  bool on_disk = it->second.on_disk;
  held_.erase(it);
  if (on_disk) {
    File* f = file_of(file);
    if (f) f->unlock(pos, len);
  }
  return 0;
}

bool Locks::holds(LockFile file, int64_t pos, int64_t len) const {
  return held_.count(Key{static_cast<int>(file), pos, len}) > 0;
}

int Locks::lock_table() {
  if (table_depth_ > 0 || exempt_) {
    ++table_depth_;
    return 0;
  }
  // The gaps between the table-file bytes this table already holds.
  std::vector<std::pair<int64_t, int64_t>> gaps;
  int64_t at = 0;
  for (const auto& [key, h] : held_) {
    auto [file, pos, len] = key;
    if (file != static_cast<int>(LockFile::table) || !h.on_disk || pos >= kWholeFile) continue;
    if (pos > at) gaps.emplace_back(at, pos - at);
    at = std::max(at, pos + len);
  }
  if (at < kWholeFile) gaps.emplace_back(at, kWholeFile - at);
  size_t taken = 0;
  int rc = 0;
  for (; taken < gaps.size(); ++taken) {
    int64_t pos = gaps[taken].first, len = gaps[taken].second;
    rc = with_retry(fs_, [&] { return table_->lock(pos, len); });
    if (rc != 0) break;
  }
  if (rc != 0) {
    for (size_t k = 0; k < taken; ++k) table_->unlock(gaps[k].first, gaps[k].second);
    return rc;
  }
  table_ranges_ = std::move(gaps);
  table_depth_ = 1;
  return 0;
}

int Locks::unlock_table() {
  if (table_depth_ == 0) return kUnlockFailed;
  if (--table_depth_ > 0) return 0;
  for (auto [pos, len] : table_ranges_) table_->unlock(pos, len);
  table_ranges_.clear();
  return 0;
}

void Locks::release_all() {
  for (const auto& [key, h] : held_) {
    if (!h.on_disk) continue;
    File* f = file_of(static_cast<LockFile>(std::get<0>(key)));
    if (f) f->unlock(std::get<1>(key), std::get<2>(key));
  }
  held_.clear();
  if (table_depth_ > 0 && !exempt_) {
    for (auto [pos, len] : table_ranges_) table_->unlock(pos, len);
  }
  table_ranges_.clear();
  table_depth_ = 0;
}

}  // namespace storage
