// The byte-range locks one open table holds, with use counts, the table lock, and the
// retry rule of the process-wide lock wait time.
#pragma once

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "storage/file.h"

namespace storage {

enum class LockFile { table = 0, side = 1 };

class Locks {
 public:
  static constexpr int64_t kWholeFile = 0x7fffffff;  // 2^31 - 1 bytes from offset 0

  Locks(FileSystem& fs, File* table, bool table_exempt)
      : fs_(fs), table_(table), exempt_(table_exempt) {}
  ~Locks() { release_all(); }

  void set_side(File* side) { side_ = side; }

  // 0 or a negative code. Asking again for a range already held only counts it.
  int lock(LockFile file, int64_t pos, int64_t len = 1);
  int unlock(LockFile file, int64_t pos, int64_t len = 1);
  // The whole table file but the bytes already held; while it is held, the other locks on
  // the table file succeed at once without touching the file.
  int lock_table();
  int unlock_table();
  bool holds(LockFile file, int64_t pos, int64_t len = 1) const;
  void release_all();

  // Retries `attempt` while it fails with a lock or sharing violation and the lock wait
  // time allows, sleeping 20 + (tick mod 20) ms between attempts.
  template <typename Fn>
  static int with_retry(FileSystem& fs, Fn attempt);

 private:
  struct Held {
    int count = 0;
    bool on_disk = false;
  };
  using Key = std::tuple<int, int64_t, int64_t>;
  File* file_of(LockFile f) const { return f == LockFile::table ? table_ : side_; }

  FileSystem& fs_;
  File* table_;
  File* side_ = nullptr;
  bool exempt_;  // share flag: no locks on the table file at all
  std::map<Key, Held> held_;
  int table_depth_ = 0;
  std::vector<std::pair<int64_t, int64_t>> table_ranges_;
};

int lock_wait_ms();

template <typename Fn>
int Locks::with_retry(FileSystem& fs, Fn attempt) {
  int rc = attempt();
  if (rc != -13 && rc != -12) return rc;
  uint32_t first = fs.tick_count();
  for (;;) {
    int wait = lock_wait_ms();
    if (wait != -1 && fs.tick_count() - first > static_cast<uint32_t>(wait)) return rc;
    fs.sleep_ms(20 + static_cast<int>(fs.tick_count() % 20));
    rc = attempt();
    if (rc != -13 && rc != -12) return rc;
  }
}

}  // namespace storage
