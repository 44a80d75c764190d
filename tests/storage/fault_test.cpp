// One failing file call at every point of each change: afterwards the change reports
// failure, the files pass the integrity check, no other value changed, and the next
// successful operation completes the work.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "storage/fault_file.h"
#include "storage/format.h"
#include "support.h"

namespace storage {
namespace {

using testing::kPassword;
using testing::pattern;
using testing::TempDir;

constexpr int kName = 1, kIcon = 5, kIcon48 = 8;

struct Rec {
  int32_t id = 0;
  std::vector<std::string> values;
  bool operator==(const Rec&) const = default;
};

std::vector<Rec> snapshot(const std::string& table) {
  Database db;
  OpenOptions ro;
  ro.read_only = true;
  EXPECT_TRUE(db.open_table(table, kPassword, ro)) << db.error();
  std::vector<Rec> out;
  int n = db.record_count();
  for (int r = 1; r <= n; ++r) {
    db.go_to_record(r);
    Rec rec;
    db.read_record_id(&rec.id);
    for (int f = 1; f <= db.field_count(); ++f) rec.values.push_back(db.read_field(f).data);
    out.push_back(rec);
  }
  return out;
}

std::vector<Rec> live(const std::vector<Rec>& recs) {
  std::vector<Rec> out;
  for (const Rec& r : recs) {
    if (r.id > 0) out.push_back(r);
  }
  return out;
}

class FaultTest : public ::testing::Test {
 protected:
  // `records` tools with icons; every ninth is marked deleted when `marks` is set.
  void build(int records, bool marks, int32_t name_size = 260) {
    std::string error;
    auto fields = testing::tool_fields();
    fields[0].size = name_size;
    ASSERT_TRUE(create_table(base_ + "/t.edb", fields, kPassword, &error));
    Database db;
    ASSERT_TRUE(db.open_table(base_ + "/t.edb", kPassword));
    for (int i = 0; i < records; ++i) {
      ASSERT_TRUE(db.append_record());
      ASSERT_TRUE(db.write_field(kName, Value::text("tool" + std::to_string(i))));
      if (i % 2 == 0) {
        ASSERT_TRUE(db.write_field(kIcon, Value::bytes(pattern(1300, i))));
      }
      if (i % 3 == 0) {
        ASSERT_TRUE(db.write_field(kIcon48, Value::bytes(pattern(400, i))));
      }
    }
    // Leave some blocks on the free list.
    ASSERT_TRUE(db.go_to_record(2));
    ASSERT_TRUE(db.write_field(kIcon48, Value::bytes(pattern(1700, 99))));
    ASSERT_TRUE(db.write_field(kIcon48, Value::bytes("")));
    if (marks) {
      for (int i = 0; i < records; i += 9) {
        ASSERT_TRUE(db.go_to_record(i + 1));
        ASSERT_TRUE(db.mark_deleted());
      }
    }
    db.close_table();
    ASSERT_TRUE(testing::table_is_sound(base_ + "/t.edb"));
    before_ = snapshot(base_ + "/t.edb");
  }

  // Runs `op` once for every call it makes, failing that call; `verify` judges the result.
  void each_fault(const std::function<bool(Database&)>& op,
                  const std::function<void(const std::vector<Rec>&, int)>& verify) {
    for (auto how : {FaultFileSystem::How::error, FaultFileSystem::How::short_transfer}) {
      for (int k = 1;; ++k) {
        TempDir run;
        for (const auto& e : std::filesystem::directory_iterator(base_)) {
          std::filesystem::copy(e.path(), run.path() + "/" + e.path().filename().string());
        }
        std::string table = run.file("t.edb");
        FaultFileSystem fs(posix_file_system());
        bool ok, fired;
        {
          Database db(fs);
          ASSERT_TRUE(db.open_table(table, kPassword));
          fs.arm(k, FaultFileSystem::kAll, how);
          ok = op(db);
          fired = fs.fired();
          fs.arm(0);
        }
        if (!fired) {
          ASSERT_TRUE(ok);
          ASSERT_GT(k, 1);
          break;  // every call has failed once
        }
        SCOPED_TRACE("failing call " + std::to_string(k) +
                     (how == FaultFileSystem::How::error ? " (error)" : " (short)"));
        ASSERT_TRUE(testing::table_is_sound(table));
        if (ok) continue;  // a refused lock was taken on its retry
        verify(snapshot(table), k);
        // The same change, now without a fault, completes.
        Database db;
        ASSERT_TRUE(db.open_table(table, kPassword));
        ASSERT_TRUE(op(db));
        db.close_table();
        ASSERT_TRUE(testing::table_is_sound(table));
        if (::testing::Test::HasFailure()) return;
      }
    }
  }

  TempDir dir_;
  std::string base_ = dir_.path();
  std::vector<Rec> before_;
};

// Every record as before, but field `field` of record `record` may hold `value`.
void expect_old_or_new(const std::vector<Rec>& before, const std::vector<Rec>& after, int record,
                       int field, const std::string& value) {
  ASSERT_EQ(after.size(), before.size());
  for (size_t r = 0; r < before.size(); ++r) {
    Rec want = before[r];
    if (static_cast<int>(r) + 1 == record && after[r].values[field - 1] == value) {
      want.values[field - 1] = value;
    }
    EXPECT_EQ(after[r], want) << "record " << r + 1;
  }
}

TEST_F(FaultTest, WritingAText) {
  build(6, false);
  std::string value(200, 'w');
  each_fault(
      [&](Database& db) { return db.go_to_record(3) && db.write_field(kName, Value::text(value)); },
      [&](const std::vector<Rec>& after, int) {
        expect_old_or_new(before_, after, 3, kName, value);
      });
}

TEST_F(FaultTest, WritingALongerByteString) {
  build(6, false);
  std::string value = pattern(4200, 7);  // over a three-block chain, with free blocks
  each_fault(
      [&](Database& db) {
        return db.go_to_record(1) && db.write_field(kIcon, Value::bytes(value));
      },
      [&](const std::vector<Rec>& after, int) {
        expect_old_or_new(before_, after, 1, kIcon, value);
      });
}

TEST_F(FaultTest, WritingAShorterByteStringThatTrims) {
  build(6, false);
  // Record 5 holds the last chain of the file; shrinking it frees and trims blocks.
  std::string value = pattern(10, 8);
  each_fault(
      [&](Database& db) {
        return db.go_to_record(5) && db.write_field(kIcon, Value::bytes(value));
      },
      [&](const std::vector<Rec>& after, int) {
        expect_old_or_new(before_, after, 5, kIcon, value);
      });
}

TEST_F(FaultTest, EmptyingAByteString) {
  build(6, false);
  each_fault(
      [&](Database& db) { return db.go_to_record(5) && db.write_field(kIcon, Value::bytes("")); },
      [&](const std::vector<Rec>& after, int) { expect_old_or_new(before_, after, 5, kIcon, ""); });
}

TEST_F(FaultTest, Appending) {
  build(6, false);
  size_t appended = 0;
  each_fault([&](Database& db) { return db.append_record(); },
             [&](const std::vector<Rec>& after, int) {
               // A failed append leaves no half record behind.
               EXPECT_EQ(after, before_);
               ++appended;
             });
  EXPECT_GT(appended, 0u);
}

TEST_F(FaultTest, MarkingDeleted) {
  build(6, false);
  each_fault([&](Database& db) { return db.go_to_record(4) && db.mark_deleted(); },
             [&](const std::vector<Rec>& after, int) {
               ASSERT_EQ(after.size(), before_.size());
               for (size_t r = 0; r < after.size(); ++r) {
                 Rec want = before_[r];
                 if (r == 3 && after[r].id == -want.id) want.id = -want.id;
                 EXPECT_EQ(after[r], want) << r;
               }
             });
}

// Records of 20,804 bytes are packed seven to a batch: 30 of them in five batches, with
// removals in four.
TEST_F(FaultTest, PackingInSeveralBatches) {
  build(30, true, 20000);
  std::vector<Rec> kept = live(before_);
  ASSERT_EQ(kept.size(), 26u);
  each_fault([&](Database& db) { return db.pack_table(); },
             [&](const std::vector<Rec>& after, int) {
               // Live records all there, in order; only deleted ones may remain.
               EXPECT_EQ(live(after), kept);
             });
  // A finished pack after a failed one leaves exactly the live records.
  TempDir run;
  for (const auto& e : std::filesystem::directory_iterator(base_)) {
    std::filesystem::copy(e.path(), run.path() + "/" + e.path().filename().string());
  }
  Database db;
  ASSERT_TRUE(db.open_table(run.file("t.edb"), kPassword));
  ASSERT_TRUE(db.pack_table());
  db.close_table();
  EXPECT_EQ(snapshot(run.file("t.edb")), kept);
}

// Another program may add blocks at the end of the side file between the first block this
// change reads and the moment it takes the header lock. Undoing a failed change must not
// cut those blocks off.
TEST_F(FaultTest, UndoingKeepsBlocksAnotherProgramAdded) {
  build(6, false);
  const std::string value = pattern(4200, 7);  // record 1 grows past its old chain
  const std::string theirs = pattern(2000, 8);
  for (int k = 1;; ++k) {
    TempDir run;
    for (const auto& e : std::filesystem::directory_iterator(base_)) {
      std::filesystem::copy(e.path(), run.path() + "/" + e.path().filename().string());
    }
    std::string table = run.file("t.edb");
    Database other;
    ASSERT_TRUE(other.open_table(table, kPassword));
    FaultFileSystem fs(posix_file_system());
    Database db(fs);
    ASSERT_TRUE(db.open_table(table, kPassword));
    ASSERT_TRUE(db.go_to_record(1));
    bool acted = false;
    fs.before_call = [&](FaultFileSystem::Kind kind, int64_t pos, int64_t len) {
      if (kind != FaultFileSystem::kLock || pos != 0 || len != 1 || acted) return;
      acted = true;  // just before the side-file header lock: the other program appends
      ASSERT_TRUE(other.go_to_record(4));
      ASSERT_TRUE(other.write_field(kIcon48, Value::bytes(theirs)));
    };
    fs.arm(k, FaultFileSystem::kWrite | FaultFileSystem::kRead | FaultFileSystem::kTruncate);
    bool ok = db.write_field(kIcon, Value::bytes(value));
    bool fired = fs.fired();
    fs.before_call = nullptr;
    db.close_table();
    other.close_table();
    SCOPED_TRACE("failing call " + std::to_string(k));
    ASSERT_TRUE(testing::table_is_sound(table));
    std::vector<Rec> after = snapshot(table);
    if (acted) {
      EXPECT_EQ(after[3].values[kIcon48 - 1], theirs);
    }
    EXPECT_TRUE(after[0].values[kIcon - 1] == value ||
                after[0].values[kIcon - 1] == before_[0].values[kIcon - 1]);
    if (!fired) {
      ASSERT_TRUE(ok);
      break;
    }
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace storage
