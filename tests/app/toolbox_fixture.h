// A host toolbox folder in a temporary directory: List/ with protected category tables,
// Skin/, and helpers to fill and read the tables.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fake_window.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/format.h"

namespace app_test {

// Texts in UTF-8; icons are raw bytes.
struct Tool {
  std::string name, path, directory, description, icon32, display_name, icon40, icon48;
  bool operator==(const Tool&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Tool& t) {
  return os << "{" << t.name << ", " << t.path << ", " << t.directory << ", " << t.description
            << ", icon " << t.icon32.size() << "/" << t.icon40.size() << "/" << t.icon48.size()
            << ", " << t.display_name << "}";
}

inline Tool sample_tool(const std::string& name) {
  return {name,
          "岚澄工具箱目录\\Tools\\" + name + ".exe",
          "岚澄工具箱目录\\Tools\\",
          name + "说明",
          "PNG32-" + name + std::string("\0\x89", 2),
          name + "/换行/显示",
          "PNG40-" + name,
          "PNG48-" + name};
}

class Toolbox {
 public:
  Toolbox() {
    char pattern[] = "/tmp/toolmgr-app-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    dir_ = made ? made : "/tmp";
    std::filesystem::create_directory(dir_ + "/List");
    std::filesystem::create_directory(dir_ + "/Skin");
  }
  ~Toolbox() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  Toolbox(const Toolbox&) = delete;
  Toolbox& operator=(const Toolbox&) = delete;

  const std::string& dir() const { return dir_; }
  std::string table(const std::string& base) const { return dir_ + "/List/" + base + ".edb"; }

  // The eight-field layout of the host's tables; `field_count` keeps the first ones.
  static std::vector<storage::NewField> fields(int field_count = 8) {
    std::vector<storage::NewField> all = {
        {gbk("工具名"), storage::kText, 80},      {gbk("路径"), storage::kText, 260},
        {gbk("目录"), storage::kText, 260},       {gbk("说明"), storage::kText, 200},
        {gbk("图标"), storage::kByteString, 0},   {gbk("处理后的工具名"), storage::kText, 80},
        {gbk("图标40"), storage::kByteString, 0}, {gbk("图标48"), storage::kByteString, 0}};
    all.resize(field_count);
    return all;
  }

  void create(const std::string& base, const std::vector<Tool>& tools, int field_count = 8) {
    std::string error;
    ASSERT_TRUE(storage::create_table(table(base), fields(field_count), "kestrova907", &error))
        << error;
    storage::Database db;
    ASSERT_TRUE(db.open_table(table(base), "kestrova907"));
    for (const Tool& t : tools) {
      ASSERT_TRUE(db.append_record());
      auto put = [&](const char* field, const std::string& value, bool bytes) {
        std::string name = gbk(field);
        if (db.find_field(name) == 0) return;
        ASSERT_TRUE(db.write_field(
            name, bytes ? storage::Value::bytes(value) : storage::Value::text(gbk(value))));
      };
      put("工具名", t.name, false);
      put("路径", t.path, false);
      put("目录", t.directory, false);
      put("说明", t.description, false);
      put("图标", t.icon32, true);
      put("处理后的工具名", t.display_name, false);
      put("图标40", t.icon40, true);
      put("图标48", t.icon48, true);
    }
  }

  // Every category table with one tool named after the category's file.
  void create_all(const std::vector<std::string>& bases) {
    for (const std::string& b : bases) create(b, {sample_tool(b + "-工具")});
  }

  std::vector<Tool> read(const std::string& base) const {
    storage::Database db;
    std::vector<Tool> out;
    EXPECT_TRUE(db.open_table(table(base), "kestrova907"));
    int n = db.record_count();
    for (int i = 1; i <= n; ++i) {
      db.go_to_record(i);
      auto get = [&](const char* field, bool bytes) {
        std::string name = gbk(field);
        if (db.find_field(name) == 0) return std::string();
        std::string v = db.read_field(name).data;
        return bytes ? v : utf8(v);
      };
      out.push_back({get("工具名", false), get("路径", false), get("目录", false),
                     get("说明", false), get("图标", true), get("处理后的工具名", false),
                     get("图标40", true), get("图标48", true)});
    }
    return out;
  }

 private:
  std::string dir_;
};

}  // namespace app_test
