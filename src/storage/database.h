// The table operations on EDB tables: the open-table list with its current table, and
// open, close, counts, navigation, read, write, append, mark deleted and pack.
//
// Nothing about a table's records is cached: every call reads and writes the files and
// takes short byte-range locks, so another process (the host toolbox) can share the table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/file.h"
#include "storage/format.h"
#include "storage/value.h"

namespace storage {

struct Table;

// Called for a fatal misuse (reading a field of no table or a field the table lacks) with
// the whole report text (UTF-8). The default writes it to standard error and ends the
// process with exit code -1. A handler that returns lets the call fail instead.
using FatalHandler = std::function<void(std::string_view report)>;
void set_fatal_handler(FatalHandler handler);  // an empty handler restores the default

// Process-wide lock wait time in milliseconds (0 by default, -1 waits without limit).
void set_lock_wait_ms(int ms);
int lock_wait_ms();

struct OpenOptions {
  std::string alias;
  bool read_only = false;
  ShareMode share = ShareMode::deny_none;
};

class Database {
 public:
  explicit Database(FileSystem& fs = posix_file_system());
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool open_table(std::string_view path, std::string_view password,
                  const OpenOptions& options = {});
  // By alias, file title or full path (ignoring case); empty: the current table.
  void close_table(std::string_view name = {});

  int field_count();
  int record_count();
  bool go_to_record(int64_t n);  // 1-based, clamped
  Value read_field(std::string_view name);
  Value read_field(int number);  // 1-based
  bool write_field(std::string_view name, const Value& value = Value::none());
  bool write_field(int number, const Value& value = Value::none());
  bool append_record(std::span<const Value> values = {});
  bool mark_deleted();
  bool pack_table();

  // The code the last operation left: 0 or a negative code of storage/error.h.
  int error() const { return error_; }

  // Introspection for tools and tests.
  bool has_current_table() const;
  const std::vector<FieldDescriptor>& fields() const;  // empty with no current table
  int64_t current_record() const;                      // 0-based; -1 with no current table
  // 1-based number of the first field named `name` (ASCII case ignored), 0 when none.
  int find_field(std::string_view name) const;
  size_t open_table_count() const { return tables_.size(); }
  // The current record's stored id (negative when marked deleted), under its record lock.
  bool read_record_id(int32_t* id);
  // The bytes field `number` (1-based) takes in the current record, as stored (for a
  // byte-string or memo field its 4-byte block reference).
  bool read_field_bytes(int number, std::string* bytes);

 private:
  Table* current();
  Value read_field_at(int index);
  bool write_field_at(int index, const Value& value);
  bool fail(int code);

  FileSystem& fs_;
  std::vector<std::unique_ptr<Table>> tables_;
  int current_ = -1;
  int error_ = 0;
};

}  // namespace storage
