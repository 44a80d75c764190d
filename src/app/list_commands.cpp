// The commands of the menus 编辑 and 帮助 that the shell runs itself, and the notice
// countdown.
#include <string>
#include <vector>

#include "app/control_names.h"
#include "app/host_text.h"
#include "app/shell.h"
#include "editing/tool_record.h"

namespace app {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string join_lines(std::initializer_list<std::string_view> lines) {
  std::string out;
  bool first = true;
  for (std::string_view line : lines) {
    if (!first) out += kCrLf;
    out += line;
    first = false;
  }
  return out;
}

// The contact number that ends the about box and the notice text; a placeholder that can
// be nobody's account.
constexpr std::string_view kContactNumber = "0";

}  // namespace

// After a failed open the list may still show another category's rows; nothing may reach
// the table then, or a read would be fatal.
bool Shell::refuse_without_table() {
  if (has_table()) return false;
  inform("当前分类的数据库未能打开，无法进行此操作。", MessageIcon::warning);
  return true;
}

void Shell::add_tool() {
  inform("您可以直接拖文件到本窗口来添加工具。", MessageIcon::warning);
  if (hooks_.open_add_panel) hooks_.open_add_panel({});
}

void Shell::modify_tool() {
  if (refuse_without_table()) return;
  if (hooks_.open_view_panel) hooks_.open_view_panel();
}

void Shell::delete_tool() {
  if (refuse_without_table()) return;
  int s = port_.selected_row(names::kToolList);
  if (s == -1) {
    inform("请先选中需要删除的工具。", MessageIcon::warning);
    return;
  }
  if (inform("是否确定删除当前选中表项？", MessageIcon::question, MessageButtons::yes_no) !=
      MessageAnswer::yes)
    return;
  if (!db_.go_to_record(s + 1) || !db_.mark_deleted()) {
    inform("添加删除标记失败，未做任何更改。", MessageIcon::error);
    return;
  }
  if (!db_.pack_table()) inform("删除带有删除标记的数据失败。", MessageIcon::error);
  reload_category();
}

void Shell::move_up() {
  if (refuse_without_table()) return;
  int s = port_.selected_row(names::kToolList);
  if (s == -1) {
    inform("请在列表中选中需要上移的工具。", MessageIcon::warning);
    return;
  }
  if (s == 0) {
    inform("都TM在顶上了还上移个锤子。", MessageIcon::warning);
    return;
  }
  bool moved = exchange_records(s + 1, s);
  reload_category();
  port_.select_row(names::kToolList, moved ? s - 1 : s);
}

void Shell::move_down() {
  if (refuse_without_table()) return;
  int s = port_.selected_row(names::kToolList);
  if (s == -1) {
    inform("请在列表中选中需要下移的工具。", MessageIcon::warning);
    return;
  }
  if (s == port_.row_count(names::kToolList) - 1) {
    inform("都TM在最底下了还下移个锤子。", MessageIcon::warning);
    return;
  }
  bool moved = exchange_records(s + 1, s + 2);
  reload_category();
  port_.select_row(names::kToolList, moved ? s + 1 : s);
}

bool Shell::exchange_records(int a, int b) {
  using editing::ToolField;
  editing::DatabaseFieldStore store(db_);
  // Only the fields this table has: older host tables lack some of the eight.
  const editing::ToolLayout layout = editing::tool_layout(store);
  std::vector<ToolField> fields;
  for (ToolField f :
       {ToolField::name, ToolField::path, ToolField::directory, ToolField::description,
        ToolField::icon32, ToolField::icon40, ToolField::icon48, ToolField::display_name})
    if (layout.has(f)) fields.push_back(f);

  auto value_of = [](const editing::ToolRecord& r, ToolField f) {
    bool icon = f == ToolField::icon32 || f == ToolField::icon40 || f == ToolField::icon48;
    return icon ? storage::Value::bytes(r[f]) : storage::Value::text(r[f]);
  };
  // Writes the first `count` fields of `values` into `record`; the number written before
  // a failure goes to *written.
  auto write = [&](int record, const editing::ToolRecord& values, size_t count, size_t* written) {
    *written = 0;
    if (!store.go_to_record(record)) return false;
    for (size_t i = 0; i < count; ++i) {
      ToolField f = fields[i];
      if (!store.write_field(layout.number[static_cast<int>(f)], value_of(values, f))) return false;
      ++*written;
    }
    return true;
  };

  editing::ToolRecord ra, rb;
  if (!editing::read_tool(store, a, &ra) || !editing::read_tool(store, b, &rb)) {
    inform("读取工具数据失败，未做任何更改。", MessageIcon::error);
    return false;
  }
  // A failed write stops the exchange; what was written is put back, so that the two
  // tools are never left partly exchanged.
  size_t done_a = 0, done_b = 0, put_back = 0;
  bool restored;
  if (!write(a, rb, fields.size(), &done_a)) {
    restored = write(a, ra, done_a, &put_back);
  } else if (!write(b, ra, fields.size(), &done_b)) {
    restored = write(b, rb, done_b, &put_back) && write(a, ra, fields.size(), &put_back);
  } else {
    return true;
  }
  if (restored)
    inform("移动工具失败，未做任何更改。请确保程序有对应数据库的写入权限。", MessageIcon::error);
  else
    inform("移动工具失败，且未能恢复两个工具原有的数据，请检查这两个工具。", MessageIcon::error);
  return false;
}

void Shell::show_help() {
  inform(join_lines({"在分类菜单中可以选择需要修改的分类。", "拖动工具到本窗口可以快捷添加工具。",
                     "双击列表中的工具可以查看/修改工具。", "右键单击工具可以移动/删除工具。"}),
         MessageIcon::none);
}

void Shell::show_about() {
  std::string contact = "联系方式：QQ " + std::string(kContactNumber);
  inform(join_lines({"", "", "如有其他需求，可以联系岚澄工具箱官方定做。", "", contact}),
         MessageIcon::question);
}

void Shell::on_list_right_clicked() {
  if (port_.selected_row(names::kToolList) == -1) return;
  port_.set_menu_item_visible(names::kItemAdd, false);
  port_.popup_menu(names::kMenuEdit);
  port_.set_menu_item_visible(names::kItemAdd, true);
}

void Shell::on_list_double_clicked() {
  if (port_.selected_row(names::kToolList) == -1) return;
  modify_tool();
}

void Shell::on_notice_tick() {
  if (countdown_ <= 0) return;
  --countdown_;
  if (countdown_ > 0) {
    port_.set_text(names::kNoticeButton, host_text("确定(") + std::to_string(countdown_) + ")");
    return;
  }
  port_.set_enabled(names::kNoticeButton, true);
  port_.set_text(names::kNoticeButton, host_text("确定"));
  port_.set_timer_interval(names::kNoticeTimer, 0);
}

void Shell::on_notice_button() {
  port_.set_visible(names::kNoticeHolder, false);
}

}  // namespace app
