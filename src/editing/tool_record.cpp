#include "editing/tool_record.h"

#include "editing/display_name.h"

namespace editing {
namespace {

using F = ToolField;

int number_of(const ToolLayout& layout, ToolField f) {
  return layout.number[static_cast<int>(f)];
}

bool is_icon(ToolField f) {
  return f == F::icon32 || f == F::icon40 || f == F::icon48;
}

// Writes one field when the table has it; a field it lacks counts as not written.
bool write_one(FieldStore& store, const ToolLayout& layout, ToolField f, std::string_view value) {
  const int n = number_of(layout, f);
  if (n == 0) return false;
  if (is_icon(f)) return store.write_field(n, storage::Value::bytes(value));
  return store.write_field(n, storage::Value::text(value));
}

// Writes a field the table has; true when it has none or the write succeeded.
bool write_if_present(FieldStore& store, const ToolLayout& layout, ToolField f,
                      std::string_view value) {
  return !layout.has(f) || write_one(store, layout, f, value);
}

// The panels' write order after the name: the display name before the two larger icons.
// True when every field the table has was written.
bool write_tail(FieldStore& store, const ToolLayout& layout, const ToolRecord& tool,
                const TextWidth& text_width) {
  bool all = true;
  if (layout.has(F::display_name))
    all &= write_one(store, layout, F::display_name, make_display_name(tool.name, text_width));
  all &= write_if_present(store, layout, F::icon40, tool.icon40);
  all &= write_if_present(store, layout, F::icon48, tool.icon48);
  return all;
}

}  // namespace

std::string_view field_name(ToolField f) {
  switch (f) {
    case F::name:
      return kFieldName;
    case F::path:
      return kFieldPath;
    case F::directory:
      return kFieldDirectory;
    case F::description:
      return kFieldDescription;
    case F::icon32:
      return kFieldIcon32;
    case F::display_name:
      return kFieldDisplayName;
    case F::icon40:
      return kFieldIcon40;
    case F::icon48:
      return kFieldIcon48;
  }
  return {};
}

std::string& ToolRecord::operator[](ToolField f) {
  switch (f) {
    case F::name:
      return name;
    case F::path:
      return path;
    case F::directory:
      return directory;
    case F::description:
      return description;
    case F::icon32:
      return icon32;
    case F::display_name:
      return display_name;
    case F::icon40:
      return icon40;
    case F::icon48:
      break;
  }
  return icon48;
}

const std::string& ToolRecord::operator[](ToolField f) const {
  return const_cast<ToolRecord&>(*this)[f];
}

ToolLayout tool_layout(FieldStore& store) {
  ToolLayout layout;
  if (store.field_count() <= 0) return layout;
  for (int i = 0; i < kToolFieldCount; ++i)
    layout.number[i] = store.find_field(field_name(static_cast<ToolField>(i)));
  return layout;
}

bool read_tool(FieldStore& store, int64_t record_number, ToolRecord* out) {
  const ToolLayout layout = tool_layout(store);
  if (store.field_count() <= 0 || !store.go_to_record(record_number)) return false;
  ToolRecord tool;
  for (ToolField f : {F::name, F::path, F::directory, F::description, F::icon32, F::icon40,
                      F::icon48, F::display_name}) {
    const int n = number_of(layout, f);
    if (n != 0 && !store.read_field(n, &tool[f])) return false;
  }
  *out = std::move(tool);
  return true;
}

AddResult add_tool(FieldStore& store, const ToolRecord& tool, const TextWidth& text_width) {
  const ToolLayout layout = tool_layout(store);
  if (store.field_count() <= 0) return AddResult::append_failed;
  if (!layout.has(F::name)) return AddResult::name_not_written;
  if (!store.append_record()) return AddResult::append_failed;
  if (!write_one(store, layout, F::name, tool.name)) return AddResult::name_not_written;
  bool all = true;
  all &= write_if_present(store, layout, F::description, tool.description);
  all &= write_if_present(store, layout, F::directory, tool.directory);
  all &= write_if_present(store, layout, F::path, tool.path);
  all &= write_if_present(store, layout, F::icon32, tool.icon32);
  all &= write_tail(store, layout, tool, text_width);
  return all ? AddResult::added : AddResult::partly_written;
}

bool save_tool(FieldStore& store, const ToolRecord& tool, const TextWidth& text_width,
               bool* all_written) {
  const ToolLayout layout = tool_layout(store);
  if (!write_one(store, layout, F::name, tool.name)) return false;
  bool all = true;
  all &= write_if_present(store, layout, F::description, tool.description);
  all &= write_if_present(store, layout, F::path, tool.path);
  all &= write_if_present(store, layout, F::directory, tool.directory);
  all &= write_if_present(store, layout, F::icon32, tool.icon32);
  all &= write_tail(store, layout, tool, text_width);
  if (all_written) *all_written = all;
  return true;
}

bool rename_tool(FieldStore& store, std::string_view display_name) {
  return write_one(store, tool_layout(store), F::display_name, display_name);
}

bool write_tool(FieldStore& store, const ToolRecord& tool) {
  const ToolLayout layout = tool_layout(store);
  bool all = true;
  for (ToolField f : {F::name, F::path, F::directory, F::description, F::icon32, F::icon40,
                      F::icon48, F::display_name}) {
    if (layout.has(f) && !write_one(store, layout, f, tool[f])) all = false;
  }
  return all;
}

}  // namespace editing
