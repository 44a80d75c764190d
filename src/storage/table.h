// One open table: its files, header, fields and locks. Internal to the storage layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/file.h"
#include "storage/format.h"
#include "storage/locks.h"

namespace storage {

struct Table {
  std::unique_ptr<File> file;  // enciphered table file
  std::unique_ptr<File> side;  // enciphered side file, or none
  std::string full_path;
  std::string title;
  std::string alias;
  unsigned char header[kHeaderSize] = {};
  std::vector<FieldDescriptor> fields;
  int64_t data_start = 0;
  int32_t record_size = 0;
  int64_t current = 0;
  bool share_flag = false;
  std::unique_ptr<Locks> locks;

  int64_t record_pos(int64_t index) const { return data_start + index * record_size; }
  int64_t record_lock_pos(int64_t index) const { return record_pos(index); }
};

// Reads `len` bytes at `pos`: 0 when all came back, `short_code` when fewer did, or the
// file layer's own code.
int read_exact(File& f, int64_t pos, void* buf, size_t len, int short_code);
// Writes `len` bytes at `pos`: 0, `short_code` for a short write, or the file layer's code.
int write_exact(File& f, int64_t pos, const void* buf, size_t len, int short_code);

}  // namespace storage
