// A short random run of writes, appends, marks and packs on a possibly damaged table:
// nothing may crash, hang or grow without bound.
#include "storage/check.h"
#include "storage/database.h"
#include "table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  // The last 24 bytes (at most) are the operations.
  size_t ops = std::min<size_t>(24, size / 4);
  storage::MemoryFileSystem fs;
  fuzzing::TableInput in;
  if (!fuzzing::load_table_input(data, size - ops, fs, &in)) return 0;
  const uint8_t* op = data + size - ops;
  storage::Database db(fs);
  if (!db.open_table("/t.edb", in.protected_table ? fuzzing::kPassword : "")) return 0;
  int fields = db.field_count();
  for (size_t i = 0; i + 1 < ops; i += 2) {
    uint8_t a = op[i], b = op[i + 1];
    switch (a % 5) {
      case 0:
        db.append_record();
        break;
      case 1:
        db.mark_deleted();
        break;
      case 2:
        db.pack_table();
        break;
      case 3:
        db.go_to_record(b % 8);
        break;
      default: {
        int f = 1 + b % std::max(fields, 1);
        const auto& d = db.fields()[f - 1];
        std::string value(static_cast<size_t>(a) * 23, static_cast<char>(b));
        storage::Value v = d.type == storage::kByteString ? storage::Value::bytes(value)
                           : (d.type == storage::kText || d.type == storage::kMemo)
                               ? storage::Value::text(value)
                               : storage::Value::of_integer(b);
        db.write_field(f, v);
      }
    }
  }
  db.close_table();
  storage::check_table(fs, "/t.edb", in.protected_table ? fuzzing::kPassword : "");
  return 0;
}
