// The tool record on real protected tables of the shapes the host has shipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "editing/display_name.h"
#include "editing/tool_record.h"
#include "host_text.h"
#include "platform/gbk.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/format.h"

namespace editing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kPassword = "kestrova907";

int width(std::string_view t) {
  return static_cast<int>(t.size()) * 6;
}

storage::NewField text(std::string_view name, int size) {
  return {std::string(name), storage::kText, size};
}
storage::NewField blob(std::string_view name) {
  return {std::string(name), storage::kByteString, 0};
}

std::vector<storage::NewField> eight_fields(int name_width = 60) {
  return {text(kFieldName, name_width), text(kFieldPath, 260),
          text(kFieldDirectory, 260),   {std::string(kFieldDescription), storage::kMemo, 0},
          blob(kFieldIcon32),           text(kFieldDisplayName, 80),
          blob(kFieldIcon40),           blob(kFieldIcon48)};
}

class ToolTable : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("toolmgr-tooltable-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Reading a field the table lacks is fatal; here it fails the test instead.
    storage::set_fatal_handler([](std::string_view report) { ADD_FAILURE() << report; });
  }
  void TearDown() override {
    storage::set_fatal_handler({});
    fs::remove_all(dir_);
  }

  // Creates the table and makes it the current one, as a category is opened.
  void open(const std::vector<storage::NewField>& fields) {
    path_ = (dir_ / "CPU.edb").string();
    std::string error;
    ASSERT_TRUE(storage::create_table(path_, fields, kPassword, &error)) << error;
    reopen();
  }
  void reopen() {
    db_.close_table();
    ASSERT_TRUE(db_.open_table(path_, kPassword)) << db_.error();
  }

  ToolRecord sample(std::string_view name) {
    ToolRecord t;
    t.name = G(name);
    t.path = G(R"(岚澄工具箱目录\Tools\demo.exe -x C:\cfg)");
    t.directory = G(R"(岚澄工具箱目录\Tools\)");
    t.description = G("说明：") + t.name;
    t.icon32 = std::string("\x89PNG\r\n\x1a\n\0\0 32", 14);
    t.icon40 = std::string("\x89PNG 40", 7);
    t.icon48 = std::string(3000, '\x48');  // longer than one side-file block
    return t;
  }

  fs::path dir_;
  std::string path_;
  storage::Database db_;
  DatabaseFieldStore store_{db_};
};

TEST_F(ToolTable, EightFieldsAddSaveRenameAndRead) {
  open(eight_fields());
  ToolRecord a = sample("CPU-Z绿色汉化版");
  ASSERT_EQ(add_tool(store_, a, width), AddResult::added);
  ASSERT_EQ(add_tool(store_, sample("GPU-Z"), width), AddResult::added);
  reopen();
  EXPECT_EQ(db_.record_count(), 2);

  ToolRecord back;
  ASSERT_TRUE(read_tool(store_, 1, &back));
  a.display_name = G("CPU-Z 绿色汉/换行/化版");
  EXPECT_EQ(back, a);

  // Save writes the current record, which reading it made current.
  ToolRecord changed = back;
  changed.name = G("一二三四五六七八");
  changed.icon40.clear();
  ASSERT_TRUE(save_tool(store_, changed, width));
  ASSERT_TRUE(rename_tool(store_, G("自定/换行/名字")));
  reopen();
  ASSERT_TRUE(read_tool(store_, 1, &back));
  changed.display_name = G("自定/换行/名字");
  EXPECT_EQ(back, changed);
  ASSERT_TRUE(read_tool(store_, 2, &back));
  EXPECT_EQ(back.name, "GPU-Z");

  // The move commands' exchange of two records.
  ToolRecord first, second;
  ASSERT_TRUE(read_tool(store_, 1, &first));
  ASSERT_TRUE(read_tool(store_, 2, &second));
  ASSERT_TRUE(db_.go_to_record(1));
  EXPECT_TRUE(write_tool(store_, second));
  ASSERT_TRUE(db_.go_to_record(2));
  EXPECT_TRUE(write_tool(store_, first));
  reopen();
  ASSERT_TRUE(read_tool(store_, 1, &back));
  EXPECT_EQ(back, second);
  ASSERT_TRUE(read_tool(store_, 2, &back));
  EXPECT_EQ(back, first);
}

// Older hosts' tables: whatever optional field is missing is neither read nor written.
TEST_F(ToolTable, SevenAndSixFieldTablesTouchOnlyTheirFields) {
  const std::vector<std::vector<storage::NewField>> shapes = {
      {eight_fields()[0], eight_fields()[1], eight_fields()[2], eight_fields()[3],
       eight_fields()[4], eight_fields()[6], eight_fields()[7]},
      {eight_fields()[0], eight_fields()[1], eight_fields()[2], eight_fields()[3],
       eight_fields()[4], eight_fields()[5], eight_fields()[6]},
      {eight_fields()[0], eight_fields()[1], eight_fields()[2], eight_fields()[3],
       eight_fields()[4], eight_fields()[6]},
      {eight_fields()[0], eight_fields()[1], eight_fields()[2], eight_fields()[3],
       eight_fields()[4], eight_fields()[5]},
  };
  for (size_t s = 0; s < shapes.size(); ++s) {
    SCOPED_TRACE(s);
    db_.close_table();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    open(shapes[s]);
    ASSERT_TRUE(is_supported_field_count(db_.field_count()));
    const ToolLayout layout = tool_layout(store_);

    ToolRecord t = sample("abcdefghijklmnop");
    ASSERT_EQ(add_tool(store_, t, width), AddResult::added);
    ASSERT_TRUE(save_tool(store_, t, width));
    EXPECT_EQ(rename_tool(store_, "x"), layout.has(ToolField::display_name));
    reopen();
    ToolRecord back;
    ASSERT_TRUE(read_tool(store_, 1, &back));
    ToolRecord expected = t;
    expected.display_name = layout.has(ToolField::display_name) ? "x" : "";
    if (!layout.has(ToolField::icon40)) expected.icon40.clear();
    if (!layout.has(ToolField::icon48)) expected.icon48.clear();
    EXPECT_EQ(back, expected);
    EXPECT_TRUE(write_tool(store_, back));
  }
}

TEST_F(ToolTable, UneditedCutTextGoesBackByteForByte) {
  open(eight_fields(5));
  // 6 bytes into a 5-byte field: cut by bytes, as the host does.
  ToolRecord t = sample("abcd中");
  ASSERT_EQ(add_tool(store_, t, width), AddResult::added);
  ToolRecord back;

  // A value cut through a character: shown with U+FFFD, stored back unchanged.
  ASSERT_TRUE(read_tool(store_, 1, &back));
  ASSERT_EQ(back.name, G("abcd中").substr(0, 5));
  const platform::EditableText shown(back.name);
  EXPECT_EQ(shown.shown(), "abcd\ufffd");
  ToolRecord edited = back;
  ASSERT_TRUE(shown.to_gbk(shown.shown(), &edited.name));
  ASSERT_TRUE(save_tool(store_, edited, width));
  reopen();
  ASSERT_TRUE(read_tool(store_, 1, &back));
  EXPECT_EQ(back.name, G("abcd中").substr(0, 5));
}

TEST_F(ToolTable, NoTableMeansNoRecordAndNoFatalRead) {
  ToolRecord out;
  EXPECT_FALSE(read_tool(store_, 1, &out));
  EXPECT_EQ(add_tool(store_, sample("x"), width), AddResult::append_failed);
  EXPECT_FALSE(save_tool(store_, sample("x"), width));
  EXPECT_FALSE(rename_tool(store_, "x"));
  EXPECT_EQ(tool_layout(store_).number, ToolLayout{}.number);

  open(eight_fields());
  EXPECT_FALSE(read_tool(store_, 1, &out));  // an empty table has no record to read
}

}  // namespace
}  // namespace editing
