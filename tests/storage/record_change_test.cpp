#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "storage/error.h"
#include "storage/format.h"
#include "support.h"

namespace storage {
namespace {

using testing::kPassword;
using testing::pattern;
using testing::TempDir;

constexpr int kName = 1, kNote = 4, kIcon = 5, kIcon40 = 7, kIcon48 = 8;

int32_t i32(const std::string& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

struct Block {
  int32_t prev, next, used;
};

class ChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(create_table(table_, testing::tool_fields(), kPassword, &error)) << error;
    ASSERT_TRUE(db_.open_table(table_, kPassword));
  }
  void TearDown() override {
    db_.close_table();
    EXPECT_TRUE(testing::table_is_sound(table_));
  }

  std::string side() { return testing::plain_bytes(side_, kPassword); }
  std::string table() { return testing::plain_bytes(table_, kPassword); }
  int32_t block_count() { return i32(side(), 16); }
  int32_t free_count() { return i32(side(), 20); }
  int32_t free_head() { return i32(side(), 24); }
  Block block(int32_t n) {
    std::string s = side();
    return {i32(s, n * 512), i32(s, n * 512 + 4), i32(s, n * 512 + 8)};
  }
  int32_t ref_of(int record, int field) {
    int64_t data = kDescriptorsOffset + 8 * kDescriptorSize;
    return i32(table(), data + (record - 1) * record_size() + db_.fields()[field - 1].offset);
  }
  int32_t record_size() { return i32(table(), 24); }

  TempDir dir_;
  std::string table_ = dir_.file("t.edb");
  std::string side_ = dir_.file("t.edt");
  Database db_;
};

TEST_F(ChangeTest, TextsAreCutOrFilledToTheirSize) {
  ASSERT_TRUE(db_.append_record());
  ASSERT_TRUE(db_.write_field(kName, Value::text(std::string(300, 'n'))));
  EXPECT_EQ(db_.read_field(kName).data, std::string(260, 'n'));
  ASSERT_TRUE(db_.write_field(kName, Value::text("ab")));
  std::string rec = table().substr(kDescriptorsOffset + 8 * kDescriptorSize, record_size());
  EXPECT_EQ(rec.substr(4, 260), "ab" + std::string(258, '\0'));
  // A cut inside a double-byte character stays cut.
  std::string gbk;
  for (int i = 0; i < 130; ++i) gbk += "\xb9\xa4";
  ASSERT_TRUE(db_.write_field(kName, Value::text("x" + gbk)));
  EXPECT_EQ(db_.read_field(kName).data, ("x" + gbk).substr(0, 260));
  // Memo fields hold their text without a terminating 0.
  ASSERT_TRUE(db_.write_field(kNote, Value::text("note")));
  EXPECT_EQ(block(ref_of(1, kNote)).used, 4);
  EXPECT_EQ(db_.read_field(kNote).data, "note");
  EXPECT_FALSE(db_.write_field(kNote, Value::bytes("x")));
  EXPECT_EQ(db_.error(), kTypeMismatch);
  EXPECT_FALSE(db_.write_field(kIcon, Value::text("x")));
  EXPECT_EQ(db_.error(), kTypeMismatch);
  ASSERT_TRUE(db_.write_field(kName));  // no value: the empty text
  EXPECT_EQ(db_.read_field(kName).data, "");
}

TEST_F(ChangeTest, ATextOfExactlyItsSizeHasNoTerminator) {
  std::string error;
  std::string t = dir_.file("small.edb");
  ASSERT_TRUE(create_table(t, {{"s", kText, 10}}, kPassword, &error));
  Database db;
  ASSERT_TRUE(db.open_table(t, kPassword));
  ASSERT_TRUE(db.append_record());
  ASSERT_TRUE(db.write_field(1, Value::text("0123456789")));
  EXPECT_EQ(testing::plain_bytes(t, kPassword).substr(kDescriptorsOffset + kDescriptorSize + 4),
            "0123456789");
  EXPECT_EQ(db.read_field(1).data, "0123456789");
  ASSERT_TRUE(db.write_field(1, Value::text("0123456789A")));
  EXPECT_EQ(db.read_field(1).data, "0123456789");
}

TEST_F(ChangeTest, TypedValuesAreConverted) {
  std::string error;
  std::string t = dir_.file("typed.edb");
  ASSERT_TRUE(create_table(t,
                           {{"b", kByte, 0},
                            {"s", kShort, 0},
                            {"i", kInteger, 0},
                            {"l", kLong, 0},
                            {"f", kSingle, 0},
                            {"d", kDouble, 0},
                            {"ok", kBoolean, 0},
                            {"when", kDateTime, 0},
                            {"fn", kRoutine, 0}},
                           "", &error));
  Database db;
  ASSERT_TRUE(db.open_table(t, ""));
  ASSERT_TRUE(db.append_record());
  struct Case {
    int field;
    Value in, out;
  } cases[] = {
      {1, Value::of_integer(300), Value::of_integer(255)},  // saturated to the byte
      {2, Value::of_real(-12.7), Value::of_integer(-12)},
      {3, Value::of_integer(-5), Value::of_integer(-5)},
      {4, Value::of_real(1e300), Value::of_integer(INT64_MAX)},
      {5, Value::of_integer(3), Value::of_real(3)},
      {6, Value::of_real(0.25), Value::of_real(0.25)},
      {7, Value::of_integer(2), Value::of_boolean(true)},
      {8, Value::of_real(-1e7), Value::of_real(kDateMin)},
      {9, Value::of_integer(77), Value::of_integer(77)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(db.write_field(c.field, c.in)) << c.field;
    EXPECT_EQ(db.read_field(c.field), c.out) << c.field;
  }
  EXPECT_FALSE(db.write_field(3, Value::text("1")));
  EXPECT_EQ(db.error(), kTypeMismatch);
  ASSERT_TRUE(db.write_field(7));
  EXPECT_EQ(db.read_field(7), Value::of_boolean(false));
}

TEST_F(ChangeTest, ChainsTakeFreeBlocksFirstThenGrowTheFile) {
  ASSERT_TRUE(db_.append_record());
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(10, 1))));    // block 1
  ASSERT_TRUE(db_.write_field(kIcon40, Value::bytes(pattern(10, 2))));  // block 2
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes("")));                // frees block 1
  EXPECT_EQ(ref_of(1, kIcon), 0);
  EXPECT_EQ(free_head(), 1);
  EXPECT_EQ(free_count(), 1);
  ASSERT_TRUE(db_.write_field(kIcon48, Value::bytes(pattern(1200, 3))));
  EXPECT_EQ(ref_of(1, kIcon48), 1);
  EXPECT_EQ(free_count(), 0);
  EXPECT_EQ(block_count(), 5);
  Block b1 = block(1), b3 = block(3), b4 = block(4);
  EXPECT_EQ(b1.prev, 0);
  EXPECT_EQ(b1.next, 3);
  EXPECT_EQ(b1.used, 500);
  EXPECT_EQ(b3.prev, 1);
  EXPECT_EQ(b3.next, 4);
  EXPECT_EQ(b3.used, 500);
  EXPECT_EQ(b4.prev, 3);
  EXPECT_EQ(b4.next, 0);
  EXPECT_EQ(b4.used, 200);
  EXPECT_EQ(db_.read_field(kIcon48).data, pattern(1200, 3));
  EXPECT_EQ(side().size(), 5u * 512);
}

TEST_F(ChangeTest, AShorterValueKeepsItsFirstBlockAndTrimsTheFile) {
  ASSERT_TRUE(db_.append_record());
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(1400, 1))));  // blocks 1-3
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(100, 2))));
  EXPECT_EQ(ref_of(1, kIcon), 1);
  EXPECT_EQ(block_count(), 2);
  EXPECT_EQ(free_count(), 0);
  EXPECT_EQ(free_head(), 0);
  EXPECT_EQ(side().size(), 2u * 512);
  EXPECT_EQ(db_.read_field(kIcon).data, pattern(100, 2));

  // Freed blocks that are not at the end stay on the free list.
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(1400, 3))));  // 1-3
  ASSERT_TRUE(db_.write_field(kIcon40, Value::bytes(pattern(50, 4))));  // 4
  ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(100, 5))));
  EXPECT_EQ(block_count(), 5);
  EXPECT_EQ(free_count(), 2);
  EXPECT_EQ(free_head(), 2);
  EXPECT_EQ(block(2).prev, 0);
  EXPECT_EQ(block(2).next, 3);
  EXPECT_EQ(block(3).next, 0);
  // Freeing the last block trims every free block behind it.
  ASSERT_TRUE(db_.write_field(kIcon40, Value::bytes("")));
  EXPECT_EQ(block_count(), 2);
  EXPECT_EQ(free_count(), 0);
  EXPECT_EQ(free_head(), 0);
}

TEST_F(ChangeTest, AppendMarkAndPack) {
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(db_.append_record());
    EXPECT_EQ(db_.current_record(), i);
    ASSERT_TRUE(db_.write_field(kName, Value::text("t" + std::to_string(i))));
    ASSERT_TRUE(db_.write_field(kIcon, Value::bytes(pattern(600, i))));
  }
  std::string before = table();
  ASSERT_TRUE(db_.go_to_record(4));
  ASSERT_TRUE(db_.mark_deleted());
  std::string marked = table();
  size_t id4 = kDescriptorsOffset + 8 * kDescriptorSize + 3 * record_size();
  for (size_t i = 0; i < before.size(); ++i) {
    if (i < id4 || i >= id4 + 4) {
      ASSERT_EQ(before[i], marked[i]) << i;  // only the sign changes
    }
  }
  EXPECT_EQ(i32(marked, id4), -4);
  ASSERT_TRUE(db_.mark_deleted());  // again: nothing changes
  EXPECT_EQ(table(), marked);
  EXPECT_EQ(db_.record_count(), 4);  // marked records still count
  EXPECT_EQ(db_.read_field(kName).data, "t3");

  ASSERT_TRUE(db_.go_to_record(2));
  ASSERT_TRUE(db_.pack_table());
  EXPECT_EQ(db_.current_record(), 0);
  std::string packed = table();
  EXPECT_EQ(packed.size(), before.size() - record_size());
  EXPECT_EQ(i32(packed, 16), 3);
  EXPECT_EQ(i32(packed, 20), 5);  // next_record_id stays
  EXPECT_EQ(packed.substr(kHeaderSize + 4), before.substr(kHeaderSize + 4, packed.size() - 116));
  EXPECT_EQ(block_count(), 7);  // the fourth icon's two blocks were the last ones
  // Nothing marked: the file stays as it is.
  ASSERT_TRUE(db_.pack_table());
  EXPECT_EQ(table(), packed);
}

// Another program may leave next_record_id at 0 while the table is open here.
TEST_F(ChangeTest, AppendRepairsAZeroNextId) {
  std::string plain = table();
  int32_t zero = 0;
  std::memcpy(plain.data() + 20, &zero, 4);
  testing::write_enciphered(table_, plain, kPassword);
  ASSERT_TRUE(db_.append_record());
  int32_t id = 0;
  ASSERT_TRUE(db_.read_record_id(&id));
  EXPECT_EQ(id, 1);
  EXPECT_EQ(i32(table(), 20), 2);
}

TEST_F(ChangeTest, AppendTakesValuesForTheFirstFields) {
  const Value values[] = {Value::text("name"), Value::text("path"), Value::none(),
                          Value::text("memo"), Value::bytes(pattern(800, 9))};
  ASSERT_TRUE(db_.append_record(values));
  EXPECT_EQ(db_.read_field(1).data, "name");
  EXPECT_EQ(db_.read_field(2).data, "path");
  EXPECT_EQ(db_.read_field(4).data, "memo");
  EXPECT_EQ(db_.read_field(5).data, pattern(800, 9));
  const Value wrong[] = {Value::bytes("x")};
  EXPECT_FALSE(db_.append_record(wrong));
  EXPECT_EQ(db_.error(), kTypeMismatch);
  EXPECT_EQ(db_.record_count(), 1);
}

// Random changes checked against a model of the records, with the integrity check after
// every step; packs run in batches of 148 records here.
TEST_F(ChangeTest, RandomChangesMatchAModel) {
  struct Rec {
    int32_t id;
    bool deleted = false;
    std::map<int, std::string> values;
  };
  std::vector<Rec> model;
  int32_t next_id = 1;
  std::mt19937 rng(42);
  const int fields[] = {kName, kNote, kIcon, kIcon40, kIcon48};
  for (int step = 0; step < 700; ++step) {
    int op = rng() % 100;
    if (model.size() < 5 || op < 15) {
      ASSERT_TRUE(db_.append_record());
      model.push_back({next_id++, false, {}});
    } else if (op < 85) {
      int r = rng() % model.size();
      int f = fields[rng() % 5];
      ASSERT_TRUE(db_.go_to_record(r + 1));
      size_t len = (rng() % 4 == 0) ? 0 : rng() % 3000;
      std::string v = pattern(len, step);
      if (f == kName) {
        v = std::string(len % 300, 'a' + step % 26);
        ASSERT_TRUE(db_.write_field(f, Value::text(v)));
        v = v.substr(0, 260);
      } else if (f == kNote) {
        for (char& c : v) c = static_cast<char>('A' + (static_cast<unsigned char>(c) % 26));
        ASSERT_TRUE(db_.write_field(f, Value::text(v)));
      } else {
        ASSERT_TRUE(db_.write_field(f, Value::bytes(v)));
      }
      model[r].values[f] = v;
    } else if (op < 95) {
      int r = rng() % model.size();
      ASSERT_TRUE(db_.go_to_record(r + 1));
      ASSERT_TRUE(db_.mark_deleted());
      model[r].deleted = true;
    } else {
      ASSERT_TRUE(db_.pack_table());
      std::erase_if(model, [](const Rec& r) { return r.deleted; });
    }
    if (step % 25 != 0 && step != 699) continue;
    ASSERT_TRUE(testing::table_is_sound(table_)) << "after step " << step;
    ASSERT_EQ(db_.record_count(), static_cast<int>(model.size()));
    for (size_t r = 0; r < model.size(); ++r) {
      ASSERT_TRUE(db_.go_to_record(r + 1));
      int32_t id = 0;
      ASSERT_TRUE(db_.read_record_id(&id));
      ASSERT_EQ(id, model[r].deleted ? -model[r].id : model[r].id);
      for (int f : fields) {
        auto it = model[r].values.find(f);
        ASSERT_EQ(db_.read_field(f).data, it == model[r].values.end() ? "" : it->second)
            << "record " << r + 1 << " field " << f << " step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace storage
