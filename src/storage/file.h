// The file layer under the storage engine: existing files opened with a sharing mode,
// positioned reads and writes, length, truncation and non-waiting byte-range locks.
//
// Every call returns a non-negative result or a negative error code of storage/error.h
// (-1 or the platform causes -3 ... -15), so the engine can hand the cause on unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace storage {

enum class OpenMode { read_only, read_write };

// The host's four sharing modes. See posix_file.cpp for what they mean on Linux.
enum class ShareMode : int { deny_none = 1, deny_read = 2, deny_write = 3, exclusive = 4 };

class File {
 public:
  virtual ~File() = default;
  // Bytes read (0 at or past the end) or a negative code.
  virtual int64_t read_at(int64_t pos, void* buf, size_t n) = 0;
  // Bytes written or a negative code.
  virtual int64_t write_at(int64_t pos, const void* buf, size_t n) = 0;
  virtual int64_t length() = 0;
  virtual int truncate(int64_t length) = 0;
  // Non-waiting exclusive byte-range lock: 0, kLockViolation when another holder has a
  // byte of the range, or another negative code. A lock the platform does not support
  // counts as taken.
  virtual int lock(int64_t pos, int64_t len) = 0;
  virtual int unlock(int64_t pos, int64_t len) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens an existing file, never creates one. kSharingViolation when the sharing mode
  // conflicts with another open of the same file.
  virtual int open(const std::string& path, OpenMode mode, ShareMode share,
                   std::unique_ptr<File>* out) = 0;
  // Absolute form of a path (not resolving symbolic links).
  virtual std::string absolute_path(const std::string& path) = 0;
  // The path of an existing file whose name matches the last component of `path`
  // ignoring ASCII case (the exact name first); "" when there is none.
  virtual std::string find_ignoring_case(const std::string& path) = 0;
  virtual uint32_t tick_count() = 0;  // milliseconds, wrapping
  virtual void sleep_ms(int ms) = 0;
};

// The process's real file system (POSIX, open-file-description locks).
FileSystem& posix_file_system();

}  // namespace storage
