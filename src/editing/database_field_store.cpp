#include "editing/tool_record.h"
#include "storage/error.h"
#include "storage/format.h"

// Kept apart from the record rules so that they link without the storage engine.
namespace editing {

int DatabaseFieldStore::field_count() {
  return db_.has_current_table() ? db_.field_count() : 0;
}

int DatabaseFieldStore::find_field(std::string_view name) {
  return db_.has_current_table() ? db_.find_field(name) : 0;
}

bool DatabaseFieldStore::go_to_record(int64_t n) {
  return db_.go_to_record(n);
}

bool DatabaseFieldStore::append_record() {
  return db_.append_record();
}

bool DatabaseFieldStore::read_field(int number, std::string* value) {
  storage::Value v = db_.read_field(number);
  if (db_.error() != storage::kOk) return false;
  *value = std::move(v.data);
  return true;
}

bool DatabaseFieldStore::write_field(int number, const storage::Value& value) {
  return db_.write_field(number, value);
}

}  // namespace editing
