// One tool of a category table: its eight fields by name, read and written in the orders
// the panels and list commands use. Only the fields the open table actually has are ever
// read or written, since reading a field a table lacks is fatal in the storage layer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "storage/database.h"
#include "storage/value.h"

namespace editing {

// Field names as the host's tables spell them (GBK).
inline constexpr std::string_view kFieldName = "\xb9\xa4\xbe\xdf\xc3\xfb";  // 工具名
inline constexpr std::string_view kFieldPath = "\xc2\xb7\xbe\xb6";          // 路径
inline constexpr std::string_view kFieldDirectory = "\xc4\xbf\xc2\xbc";     // 目录
inline constexpr std::string_view kFieldDescription = "\xcb\xb5\xc3\xf7";   // 说明
inline constexpr std::string_view kFieldIcon32 = "\xcd\xbc\xb1\xea";        // 图标
inline constexpr std::string_view kFieldDisplayName =                       // 处理后的工具名
    "\xb4\xa6\xc0\xed\xba\xf3\xb5\xc4\xb9\xa4\xbe\xdf\xc3\xfb";
inline constexpr std::string_view kFieldIcon40 =
    "\xcd\xbc\xb1\xea"
    "40";  // 图标40
inline constexpr std::string_view kFieldIcon48 =
    "\xcd\xbc\xb1\xea"
    "48";  // 图标48

// Tables with fewer fields come from a host too old for this program.
inline constexpr int kMinimumFieldCount = 6;
inline bool is_supported_field_count(int field_count) {
  return field_count >= kMinimumFieldCount;
}

enum class ToolField { name, path, directory, description, icon32, display_name, icon40, icon48 };
inline constexpr int kToolFieldCount = 8;
std::string_view field_name(ToolField f);

struct ToolRecord {
  std::string name;  // texts are GBK
  std::string path;
  std::string directory;
  std::string description;
  std::string icon32;  // whole image files; "" means no icon of that size
  std::string display_name;
  std::string icon40;
  std::string icon48;

  std::string& operator[](ToolField f);
  const std::string& operator[](ToolField f) const;
  bool operator==(const ToolRecord&) const = default;
};

// What the tool record needs of the current table. DatabaseFieldStore serves it from a
// storage::Database; tests may stand in their own.
class FieldStore {
 public:
  virtual ~FieldStore() = default;
  virtual int field_count() = 0;                      // 0 with no current table
  virtual int find_field(std::string_view name) = 0;  // 1-based, 0 when missing
  virtual bool go_to_record(int64_t n) = 0;           // 1-based
  virtual bool append_record() = 0;
  // The field's text or bytes of the current record; false when the read failed.
  virtual bool read_field(int number, std::string* value) = 0;
  virtual bool write_field(int number, const storage::Value& value) = 0;
};

class DatabaseFieldStore final : public FieldStore {
 public:
  explicit DatabaseFieldStore(storage::Database& db) : db_(db) {}
  int field_count() override;
  int find_field(std::string_view name) override;
  bool go_to_record(int64_t n) override;
  bool append_record() override;
  bool read_field(int number, std::string* value) override;
  bool write_field(int number, const storage::Value& value) override;

 private:
  storage::Database& db_;
};

// Where the eight fields stand in the open table; 0 for a field it lacks.
struct ToolLayout {
  std::array<int, kToolFieldCount> number{};
  bool has(ToolField f) const { return number[static_cast<int>(f)] != 0; }
};
ToolLayout tool_layout(FieldStore& store);

using TextWidth = std::function<int(std::string_view)>;

// Goes to record `record_number` (1-based) and reads every field the table has; the
// others are left empty. False, with *out untouched, when there is no table, the record
// cannot be reached or a read fails: an editor must not show (and later save) empty
// fields for a record it could not read.
bool read_tool(FieldStore& store, int64_t record_number, ToolRecord* out);

// partly_written: the tool is in the table under its name, but a later field (an icon,
// say) could not be written.
enum class AddResult { added, partly_written, append_failed, name_not_written };

// Appends a record and writes 工具名, 说明, 目录, 路径, 图标, 处理后的工具名, 图标40, 图标48,
// each when the table has it. The display name is computed from `tool.name`
// (tool.display_name is not used). A table without 工具名 is refused before anything is
// appended.
AddResult add_tool(FieldStore& store, const ToolRecord& tool, const TextWidth& text_width);

// Writes the current record: 工具名, 说明, 路径, 目录, 图标, 处理后的工具名 (computed from
// the name), 图标40, 图标48, each when the table has it. False when 工具名 could not be
// written, in which case nothing was. Every later write is attempted; *all_written tells
// whether each of them succeeded.
bool save_tool(FieldStore& store, const ToolRecord& tool, const TextWidth& text_width,
               bool* all_written = nullptr);

// Writes 处理后的工具名 of the current record as given. False when the table lacks the
// field or the write failed.
bool rename_tool(FieldStore& store, std::string_view display_name);

// Writes every field the table has into the current record in the order the move
// commands carry a record: 工具名, 路径, 目录, 说明, 图标, 图标40, 图标48, 处理后的工具名.
// Every write is attempted; false when any failed.
bool write_tool(FieldStore& store, const ToolRecord& tool);

}  // namespace editing
