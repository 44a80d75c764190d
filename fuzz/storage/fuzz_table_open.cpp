// Opens arbitrary bytes as a table and side file and reads every field of every record.
#include "storage/database.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  storage::MemoryFileSystem fs;
  fuzzing::TableInput in;
  if (!fuzzing::load_table_input(data, size, fs, &in)) return 0;
  storage::Database db(fs);
  storage::OpenOptions options;
  options.read_only = in.read_only;
  if (!db.open_table("/t.edb", in.protected_table ? fuzzing::kPassword : "", options)) return 0;
  int count = db.record_count();
  int fields = db.field_count();
  for (int r = 1; r <= count && r <= 4096; ++r) {
    db.go_to_record(r);
    int32_t id;
    db.read_record_id(&id);
    for (int f = 1; f <= fields; ++f) db.read_field(f);
  }
  return 0;
}
