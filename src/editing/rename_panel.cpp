// The rename panel: the display name of the view/modify panel's record, with a preview of
// the two lines the host draws.
#include "editing/display_name.h"
#include "editing/panel_controls.h"
#include "editing/panels.h"

namespace editing {

namespace c = controls;
using app::MessageIcon;

void Panels::on_view_title_double_clicked() {
  app::WindowPort& port = host_.port();
  if (!port.visible(c::kOverlay) || port.current_page(c::kPages) != c::kViewPage) return;
  DatabaseFieldStore store(host_.database());
  const ToolLayout layout = tool_layout(store);
  if (!layout.has(ToolField::display_name)) {
    inform("当前分类的数据库没有显示名字段，无法修改工具箱内显示的工具名。", MessageIcon::warning);
    return;
  }
  std::string display_name;
  if (!store.go_to_record(view_record_) ||
      !store.read_field(layout.number[static_cast<int>(ToolField::display_name)], &display_name)) {
    inform("读取数据记录失败，请检查程序是否有对应数据库的读取权限。", MessageIcon::error);
    return;
  }
  port.set_current_page(c::kPages, c::kRenamePage);
  port.set_text(c::kRenameText, display_name);
  on_rename_text_changed();
}

void Panels::on_rename_text_changed() {
  app::WindowPort& port = host_.port();
  port.set_text(c::kRenamePreview, preview_display_name(port.text(c::kRenameText)));
}

void Panels::on_rename_save() {
  std::string display_name;
  if (!read_texts({c::kRenameText}, {&display_name})) return;
  DatabaseFieldStore store(host_.database());
  if (!store.go_to_record(view_record_) || !rename_tool(store, display_name)) {
    inform("写数据库失败，未进行任何操作。请检查程序是否有对应数据库的写入权限。",
           MessageIcon::error);
    return;
  }
  close_editor();
}

void Panels::on_rename_close() {
  host_.port().set_current_page(c::kPages, c::kViewPage);
}

}  // namespace editing
