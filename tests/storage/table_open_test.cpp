#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "storage/error.h"
#include "storage/format.h"
#include "support.h"

namespace storage {
namespace {

using testing::kPassword;
using testing::plain_bytes;
using testing::TempDir;
using testing::write_enciphered;

constexpr int kName = 1, kPath = 2, kIcon = 5;

// A protected tool table with three records, the first with a two-block icon.
class OpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::make_tool_table(table_, 3);
    Database db;
    ASSERT_TRUE(db.open_table(table_, kPassword));
    ASSERT_TRUE(db.go_to_record(1));
    ASSERT_TRUE(db.write_field(kIcon, Value::bytes(testing::pattern(700, 1))));
  }

  // Rewrites the deciphered table (or side) file through `change`.
  void mutate(const std::string& path, const std::function<void(std::string&)>& change) {
    std::string b = plain_bytes(path, kPassword);
    change(b);
    write_enciphered(path, b, kPassword);
  }

  int open_code(bool read_only = false) {
    Database db;
    OpenOptions o;
    o.read_only = read_only;
    bool ok = db.open_table(table_, kPassword, o);
    EXPECT_EQ(ok, db.error() == 0);
    return db.error();
  }

  TempDir dir_;
  std::string table_ = dir_.file("CPU.edb");
  std::string side_ = dir_.file("CPU.edt");
};

void put(std::string& b, size_t at, int32_t v) {
  std::memcpy(b.data() + at, &v, 4);
}
constexpr size_t kField1 = kDescriptorsOffset;  // first descriptor

TEST_F(OpenTest, DamagedTablesAreRefusedWithTheirCode) {
  const std::string original = testing::read_file(table_);
  struct Case {
    const char* what;
    std::function<void(std::string&)> change;
    int code;
  } cases[] = {
      {"shorter than the header", [](std::string& b) { b.resize(100); }, kNotDatabase},
      {"bad magic", [](std::string& b) { b[1] = 'X'; }, kNotDatabase},
      {"record_size 0", [](std::string& b) { put(b, 24, 0); }, kNotDatabase},
      {"negative record_count", [](std::string& b) { put(b, 16, -1); }, kNotDatabase},
      {"next_record_id 0", [](std::string& b) { put(b, 20, 0); }, kNotDatabase},
      {"newer version", [](std::string& b) { put(b, 4, 65537); }, kVersionTooHigh},
      {"no fields", [](std::string& b) { put(b, 112, 0); }, kNotDatabase},
      {"field table cut", [](std::string& b) { put(b, 112, 1000); }, kNotDatabase},
      {"name not terminated", [](std::string& b) { std::memset(b.data() + kField1, 'a', 17); },
       kNotDatabase},
      {"type 13", [](std::string& b) { put(b, kField1 + 20, 13); }, kNotDatabase},
      {"negative offset", [](std::string& b) { put(b, kField1 + 24, -1); }, kNotDatabase},
      {"text size 0", [](std::string& b) { put(b, kField1 + 28, 0); }, kNotDatabase},
      // A field reaching into the next record would let writes of one record change another.
      {"field past the record", [](std::string& b) { put(b, kField1 + 28, 2000); }, kNotDatabase},
  };
  for (const Case& c : cases) {
    testing::write_file(table_, original);
    mutate(table_, c.change);
    EXPECT_EQ(open_code(), c.code) << c.what;
  }
}

TEST_F(OpenTest, DamagedSideFilesAreRefused) {
  const std::string original = testing::read_file(side_);
  struct Case {
    const char* what;
    std::function<void(std::string&)> change;
    int code;
  } cases[] = {
      {"bad magic", [](std::string& b) { b[3] = 'X'; }, kSideFileUnreadable},
      {"block_count 0", [](std::string& b) { put(b, 16, 0); }, kSideFileUnreadable},
      {"free count too big", [](std::string& b) { put(b, 20, 99); }, kSideFileUnreadable},
      {"free head too big", [](std::string& b) { put(b, 24, 99); }, kSideFileUnreadable},
      {"other version", [](std::string& b) { put(b, 4, 1); }, kSideFileVersion},
      {"header cut", [](std::string& b) { b.resize(20); }, kSideFileUnreadable},
  };
  for (const Case& c : cases) {
    testing::write_file(side_, original);
    mutate(side_, c.change);
    EXPECT_EQ(open_code(), c.code) << c.what;
  }
  std::remove(side_.c_str());
  EXPECT_EQ(open_code(), kSideFileUnreadable);
}

TEST_F(OpenTest, PasswordsAreChecked) {
  Database db;
  EXPECT_FALSE(db.open_table(table_, "wrong"));
  EXPECT_EQ(db.error(), kBadPassword);
  EXPECT_FALSE(db.open_table(table_, ""));
  EXPECT_EQ(db.error(), kBadPassword);
  EXPECT_EQ(db.open_table_count(), 0u);

  // A digest stored in upper case still matches.
  mutate(table_, [](std::string& b) {
    for (int i = 28; i < 60; ++i) b[i] = static_cast<char>(toupper(b[i]));
  });
  EXPECT_EQ(open_code(), 0);

  std::string error;
  std::string plain = dir_.file("plain.edb");
  ASSERT_TRUE(create_table(plain, {{"a", kInteger, 0}}, "", &error));
  EXPECT_FALSE(db.open_table(plain, "x"));
  EXPECT_EQ(db.error(), kBadPassword);
  EXPECT_TRUE(db.open_table(plain, ""));
}

TEST_F(OpenTest, ShortFilesAreRepairedOnlyWhenWritable) {
  std::string full = testing::read_file(table_);
  // Half a record after the three counted ones, then a count above what is there.
  testing::write_file(table_, full + std::string(300, 'z'));
  EXPECT_EQ(open_code(true), 0);
  EXPECT_EQ(testing::read_file(table_).size(), full.size() + 300);  // read-only: untouched
  EXPECT_EQ(open_code(), 0);
  EXPECT_EQ(testing::read_file(table_), full);  // partial record cut

  mutate(table_, [](std::string& b) { put(b, 16, 5); });
  EXPECT_EQ(open_code(true), kFileSizeWrong);
  Database db;
  ASSERT_TRUE(db.open_table(table_, kPassword));
  EXPECT_EQ(db.record_count(), 3);

  // A side file shorter than block_count blocks.
  std::string side = testing::read_file(side_);
  mutate(side_, [](std::string& b) { put(b, 16, 9); });
  db.close_table();
  EXPECT_EQ(open_code(true), kSideFileDamaged);
  EXPECT_EQ(open_code(), 0);
  EXPECT_EQ(testing::read_file(side_), side);  // block_count back to what the file holds
}

TEST_F(OpenTest, TableListRules) {
  Database db;
  EXPECT_FALSE(db.open_table("", kPassword));
  EXPECT_EQ(db.error(), kFileNotFound);
  EXPECT_FALSE(db.open_table(dir_.file("none.edb"), kPassword));
  EXPECT_EQ(db.error(), kFileNotFound);
  OpenOptions bad;
  bad.alias = "1abc";
  EXPECT_FALSE(db.open_table(table_, kPassword, bad));
  EXPECT_EQ(db.error(), kBadAlias);

  OpenOptions named;
  named.alias =
      "\xb9\xa4\xbe\xdf"
      "A1";                                                        // 工具A1
  ASSERT_TRUE(db.open_table(dir_.file("CPU"), kPassword, named));  // ".EDB" is added
  EXPECT_FALSE(db.open_table(dir_.file("cpu.EDB"), kPassword));
  EXPECT_EQ(db.error(), kAlreadyOpen);

  std::string error;
  ASSERT_TRUE(create_table(dir_.file("other.edb"), {{"n", kText, 8}}, kPassword, &error));
  ASSERT_TRUE(db.open_table(dir_.file("other.edb"), kPassword));
  EXPECT_EQ(db.field_count(), 1);
  db.close_table(
      "\xb9\xa4\xbe\xdf"
      "a1");  // by alias, case ignored
  EXPECT_EQ(db.open_table_count(), 1u);
  EXPECT_EQ(db.field_count(), 1);  // the current table stayed current
  db.close_table("OTHER");         // by title
  EXPECT_FALSE(db.has_current_table());
  EXPECT_EQ(db.field_count(), 0);
  EXPECT_EQ(db.error(), kNoCurrentTable);
  EXPECT_EQ(db.record_count(), 0);
  EXPECT_EQ(db.error(), kNoCurrentTable);
  EXPECT_FALSE(db.go_to_record(1));
  EXPECT_TRUE(db.open_table(table_, kPassword));
  db.close_table(table_);  // by full path
  EXPECT_EQ(db.open_table_count(), 0u);
}

TEST_F(OpenTest, SideFileIsFoundWhateverTheCaseOfItsExtension) {
  std::rename(side_.c_str(), dir_.file("CPU.EdT").c_str());
  Database db;
  ASSERT_TRUE(db.open_table(table_, kPassword));
  EXPECT_EQ(db.read_field(kIcon).data, testing::pattern(700, 1));
}

TEST_F(OpenTest, NavigationAndReading) {
  Database db;
  ASSERT_TRUE(db.open_table(table_, kPassword));
  EXPECT_EQ(db.record_count(), 3);
  const std::pair<int64_t, int64_t> moves[] = {{0, 0}, {-5, 0}, {2, 1}, {3, 2}, {6, 2}};
  for (auto [n, index] : moves) {
    ASSERT_TRUE(db.go_to_record(n));
    EXPECT_EQ(db.current_record(), index) << n;
  }
  ASSERT_TRUE(db.go_to_record(2));
  EXPECT_EQ(db.read_field("\xb9\xa4\xbe\xdf\xc3\xfb").data, "tool1");
  EXPECT_EQ(db.read_field(kPath), Value::text(""));
  EXPECT_EQ(db.read_field(kIcon), Value::bytes(""));  // reference 0
  ASSERT_TRUE(db.go_to_record(1));
  EXPECT_EQ(db.read_field(kIcon).data, testing::pattern(700, 1));

  std::string error;
  std::string t = dir_.file("types.edb");
  ASSERT_TRUE(create_table(t, {{"Count", kInteger, 0}, {"When", kDateTime, 0}}, "", &error));
  ASSERT_TRUE(db.open_table(t, ""));
  ASSERT_TRUE(db.go_to_record(1));
  EXPECT_FALSE(db.write_field(1, Value::of_integer(1)));  // empty table
  EXPECT_EQ(db.error(), kNoCurrentRecord);
  ASSERT_TRUE(db.append_record());
  ASSERT_TRUE(db.write_field("WHEN", Value::of_real(1e9)));
  EXPECT_EQ(db.read_field("count"), Value::of_integer(0));     // ASCII case ignored
  EXPECT_EQ(db.read_field("when"), Value::of_real(kDateMax));  // clamped on read
  EXPECT_FALSE(db.write_field("nope", Value::of_integer(1)));
  EXPECT_EQ(db.error(), kNoSuchField);
}

TEST_F(OpenTest, ReadingAMissingFieldIsFatal) {
  std::vector<std::string> reports;
  set_fatal_handler([&](std::string_view r) { reports.emplace_back(r); });
  Database db;
  db.read_field(1);
  ASSERT_TRUE(db.open_table(table_, kPassword));
  db.read_field("missing");
  db.read_field(9);
  set_fatal_handler(nullptr);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0], "运行时出错!\n\n错误信息：未指定当前数据库或者指定数据库未打开");
  EXPECT_EQ(reports[1], "运行时出错!\n\n错误信息：指定字段不存在");
}

TEST_F(OpenTest, DefaultFatalReportEndsTheProcess) {
  EXPECT_EXIT(
      {
        Database db;
        db.read_field(1);
      },
      ::testing::ExitedWithCode(255), "指定数据库未打开");
}

TEST_F(OpenTest, DamagedChainsFailInsteadOfLooping) {
  // The icon's two blocks are 1 and 2: point block 2 back at block 1, then overfill it.
  mutate(side_, [](std::string& b) { put(b, 2 * kBlockSize + 4, 1); });
  Database db;
  ASSERT_TRUE(db.open_table(table_, kPassword));
  ASSERT_TRUE(db.go_to_record(1));
  EXPECT_EQ(db.read_field(kIcon), Value::bytes(""));
  EXPECT_EQ(db.error(), kSideFileAccess);
  db.close_table();
  mutate(side_, [](std::string& b) {
    put(b, 2 * kBlockSize + 4, 0);
    put(b, kBlockSize + 8, 501);
  });
  ASSERT_TRUE(db.open_table(table_, kPassword));
  ASSERT_TRUE(db.go_to_record(1));
  EXPECT_EQ(db.read_field(kIcon), Value::bytes(""));
  EXPECT_EQ(db.error(), kSideFileAccess);
}

}  // namespace
}  // namespace storage
