#include "editing/tool_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "editing/display_name.h"
#include "host_text.h"

namespace editing {
namespace {

// A table in memory that records every write by field name and fails the test on any
// access to a field it does not have (which the storage layer treats as fatal).
class FakeStore : public FieldStore {
 public:
  struct Field {
    std::string name;
    int capacity = 0;
  };
  explicit FakeStore(std::vector<Field> fields) : fields_(std::move(fields)) {}

  int field_count() override { return static_cast<int>(fields_.size()); }
  int find_field(std::string_view name) override {
    for (size_t i = 0; i < fields_.size(); ++i)
      if (fields_[i].name == name) return static_cast<int>(i) + 1;
    return 0;
  }
  bool go_to_record(int64_t n) override {
    if (records.empty()) return true;
    current = std::clamp<int64_t>(n - 1, 0, static_cast<int64_t>(records.size()) - 1);
    return true;
  }
  bool append_record() override {
    log.push_back("append");
    if (fail_append) return false;
    records.emplace_back(fields_.size());
    current = static_cast<int64_t>(records.size()) - 1;
    return true;
  }
  bool read_field(int n, std::string* value) override {
    if (!check(n) || current < 0 || current >= static_cast<int64_t>(records.size())) return false;
    if (fail_reads.count(fields_[n - 1].name)) return false;
    *value = records[current][n - 1];
    return true;
  }
  bool write_field(int n, const storage::Value& value) override {
    if (!check(n)) return false;
    log.push_back(fields_[n - 1].name);
    if (fail_writes.count(fields_[n - 1].name)) return false;
    if (current < 0 || current >= static_cast<int64_t>(records.size())) return false;
    const bool icon = fields_[n - 1].name.starts_with(kFieldIcon32);
    EXPECT_EQ(value.kind, icon ? storage::Value::Kind::bytes : storage::Value::Kind::text);
    records[current][n - 1] = value.data;
    return true;
  }

  std::string get(std::string_view name) { return records.at(current).at(find_field(name) - 1); }

  std::vector<std::vector<std::string>> records;
  int64_t current = -1;
  std::vector<std::string> log;
  std::set<std::string, std::less<>> fail_writes, fail_reads;
  bool fail_append = false;

 private:
  bool check(int n) {
    if (n >= 1 && n <= field_count()) return true;
    ADD_FAILURE() << "access to field " << n << " that the table lacks";
    return false;
  }
  std::vector<Field> fields_;
};

const std::string N = std::string(kFieldName), P = std::string(kFieldPath),
                  D = std::string(kFieldDirectory), S = std::string(kFieldDescription),
                  I = std::string(kFieldIcon32), T = std::string(kFieldDisplayName),
                  I40 = std::string(kFieldIcon40), I48 = std::string(kFieldIcon48);

std::vector<FakeStore::Field> fields(std::vector<std::string> names) {
  std::vector<FakeStore::Field> f;
  for (auto& n : names) f.push_back({n, 0});
  return f;
}

int width(std::string_view t) {
  return static_cast<int>(t.size()) * 6;
}

ToolRecord sample() {
  ToolRecord t;
  t.name = G("CPU-Z绿色汉化版");
  t.path = G(R"(岚澄工具箱目录\CPU\cpuz.exe)");
  t.directory = G(R"(岚澄工具箱目录\CPU\)");
  t.description = G("处理器信息");
  t.icon32 = std::string("\x89PNG32\0x", 8);
  t.display_name = "ignored";
  t.icon40 = "png40";
  t.icon48 = "png48";
  return t;
}

TEST(ToolRecord, FieldNamesAreTheHostsGbkNames) {
  const char* utf8[] = {"工具名", "路径",           "目录",   "说明",
                        "图标",   "处理后的工具名", "图标40", "图标48"};
  for (int i = 0; i < kToolFieldCount; ++i)
    EXPECT_EQ(field_name(static_cast<ToolField>(i)), G(utf8[i]));
  EXPECT_FALSE(is_supported_field_count(5));
  EXPECT_TRUE(is_supported_field_count(6));
}

// Write orders by table shape: every field the table has, none it lacks.
struct OrderCase {
  const char* what;
  std::vector<std::string> table;
  std::vector<std::string> add, save, move;
};

class WriteOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(WriteOrder, AddSaveAndMoveWriteOnlyPresentFieldsInOrder) {
  const OrderCase& c = GetParam();
  FakeStore store(fields(c.table));
  ASSERT_EQ(add_tool(store, sample(), width), AddResult::added);
  std::vector<std::string> expected = {"append"};
  expected.insert(expected.end(), c.add.begin(), c.add.end());
  EXPECT_EQ(store.log, expected) << c.what;

  store.log.clear();
  EXPECT_TRUE(save_tool(store, sample(), width));
  EXPECT_EQ(store.log, c.save) << c.what;

  store.log.clear();
  EXPECT_TRUE(write_tool(store, sample()));
  EXPECT_EQ(store.log, c.move) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Tables, WriteOrder,
                         testing::Values(OrderCase{"eight fields",
                                                   {N, P, D, S, I, T, I40, I48},
                                                   {N, S, D, P, I, T, I40, I48},
                                                   {N, S, P, D, I, T, I40, I48},
                                                   {N, P, D, S, I, I40, I48, T}},
                                         OrderCase{"seven fields, no display name",
                                                   {N, P, D, S, I, I40, I48},
                                                   {N, S, D, P, I, I40, I48},
                                                   {N, S, P, D, I, I40, I48},
                                                   {N, P, D, S, I, I40, I48}},
                                         OrderCase{"seven fields, no 48 px icon",
                                                   {N, P, D, S, I, T, I40},
                                                   {N, S, D, P, I, T, I40},
                                                   {N, S, P, D, I, T, I40},
                                                   {N, P, D, S, I, I40, T}},
                                         OrderCase{"six fields with the display name",
                                                   {N, P, D, S, I, T},
                                                   {N, S, D, P, I, T},
                                                   {N, S, P, D, I, T},
                                                   {N, P, D, S, I, T}},
                                         OrderCase{"six fields, other order on disk",
                                                   {I40, S, I, D, P, N},
                                                   {N, S, D, P, I, I40},
                                                   {N, S, P, D, I, I40},
                                                   {N, P, D, S, I, I40}}));

TEST(ToolRecord, AddWritesValuesAndComputedDisplayName) {
  FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
  ToolRecord t = sample();
  ASSERT_EQ(add_tool(store, t, width), AddResult::added);
  EXPECT_EQ(store.get(N), t.name);
  EXPECT_EQ(store.get(P), t.path);
  EXPECT_EQ(store.get(I), t.icon32);
  EXPECT_EQ(store.get(T), make_display_name(t.name, width));
  EXPECT_EQ(store.get(T), G("CPU-Z 绿色汉/换行/化版"));

  ToolRecord back;
  ASSERT_TRUE(read_tool(store, 1, &back));
  t.display_name = make_display_name(t.name, width);
  EXPECT_EQ(back, t);
  EXPECT_TRUE(rename_tool(store, G("自定/换行/名字")));
  EXPECT_EQ(store.get(T), G("自定/换行/名字"));
}

TEST(ToolRecord, AddFailures) {
  {
    FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
    store.fail_append = true;
    EXPECT_EQ(add_tool(store, sample(), width), AddResult::append_failed);
    EXPECT_EQ(store.log, std::vector<std::string>{"append"});
  }
  {
    FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
    store.fail_writes = {N};
    EXPECT_EQ(add_tool(store, sample(), width), AddResult::name_not_written);
    EXPECT_EQ(store.log, (std::vector<std::string>{"append", N}));
  }
  {
    // A later failure does not stop the rest, and is told apart from a full success.
    FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
    store.fail_writes = {S, T};
    EXPECT_EQ(add_tool(store, sample(), width), AddResult::partly_written);
    EXPECT_EQ(store.get(I48), "png48");
  }
  {
    // Without a name field nothing is appended, so no blank record is left behind.
    FakeStore store(fields({P, D, S, I, T, I40}));
    EXPECT_EQ(add_tool(store, sample(), width), AddResult::name_not_written);
    EXPECT_TRUE(store.log.empty());
  }
  {
    FakeStore store(std::vector<FakeStore::Field>{});
    EXPECT_EQ(add_tool(store, sample(), width), AddResult::append_failed);
    EXPECT_TRUE(store.log.empty());
  }
}

TEST(ToolRecord, SaveStopsWhenTheNameCannotBeWritten) {
  FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
  ASSERT_EQ(add_tool(store, sample(), width), AddResult::added);
  store.log.clear();
  store.fail_writes = {N};
  ToolRecord changed = sample();
  changed.path = "other";
  EXPECT_FALSE(save_tool(store, changed, width));
  EXPECT_EQ(store.log, std::vector<std::string>{N});
  EXPECT_EQ(store.get(P), sample().path);
}

// A later failure does not stop the save, but the caller learns of it; fields the table
// lacks are no failure.
TEST(ToolRecord, SaveTellsWhetherEveryLaterWriteSucceeded) {
  // The table has no 图标48, so only its own fields count.
  for (auto [failing, expected] :
       {std::pair{std::string(I40), false}, {std::string(S), false}, {std::string(I48), true}}) {
    FakeStore store(fields({N, P, D, S, I, T, I40}));
    ASSERT_EQ(add_tool(store, sample(), width), AddResult::added);
    store.fail_writes = {failing};
    bool all = !expected;
    EXPECT_TRUE(save_tool(store, sample(), width, &all));
    EXPECT_EQ(all, expected) << failing;
    EXPECT_EQ(store.get(P), sample().path);  // written after a failed 说明
  }
}

TEST(ToolRecord, SaveStoresEmptiedFieldsAndEmptyDisplayName) {
  FakeStore store(fields({N, P, D, S, I, T, I40, I48}));
  ASSERT_EQ(add_tool(store, sample(), width), AddResult::added);
  EXPECT_TRUE(save_tool(store, ToolRecord{}, width));
  ToolRecord back;
  ASSERT_TRUE(read_tool(store, 1, &back));
  EXPECT_EQ(back, ToolRecord{});
}

TEST(ToolRecord, ReadRefusesWhatItCannotReadWhole) {
  FakeStore store(fields({N, P, D, S, I, I40}));
  ToolRecord out = sample();
  EXPECT_FALSE(read_tool(store, 1, &out));  // no record at all
  ASSERT_EQ(add_tool(store, sample(), width), AddResult::added);
  store.fail_reads = {I40};
  EXPECT_FALSE(read_tool(store, 1, &out));
  EXPECT_EQ(out, sample());  // untouched
  store.fail_reads.clear();
  ASSERT_TRUE(read_tool(store, 1, &out));
  EXPECT_EQ(out.icon40, "png40");
  EXPECT_EQ(out.icon48, "");
  EXPECT_EQ(out.display_name, "");
  EXPECT_FALSE(rename_tool(store, "x"));  // the table has no display name field

  FakeStore none(std::vector<FakeStore::Field>{});
  EXPECT_FALSE(read_tool(none, 1, &out));
}

// The editors set no length of their own: a long text reaches the table whole, and the
// table cuts it by bytes as the host does.
TEST(ToolRecord, LongTextsReachTheTableWhole) {
  FakeStore store({{N, 5}, {P, 0}, {D, 0}, {S, 4}, {I, 0}, {I40, 0}});
  ToolRecord t = sample();
  t.name = G("ab中文");
  t.description = G("abcde");
  ASSERT_EQ(add_tool(store, t, width), AddResult::added);
  EXPECT_EQ(store.get(N), G("ab中文"));
  EXPECT_EQ(store.get(S), "abcde");
}

}  // namespace
}  // namespace editing
