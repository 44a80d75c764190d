// The add panel: filled from a dropped, chosen or no file, then appended as a new tool.
#include "editing/panel_controls.h"
#include "editing/panels.h"
#include "editing/path_rules.h"
#include "imaging/imaging.h"
#include "platform/shortcut.h"

namespace editing {

namespace c = controls;
using app::MessageIcon;

void Panels::open_add_panel(std::string_view native_path) {
  app::WindowPort& port = host_.port();
  std::string p0;
  if (!native_path.empty() && !to_host_path(native_path, &p0)) return;

  // Reselect the open category: its table is reopened and the list refilled.
  port.set_current_index(c::kCategoryCombo, host_.open_category_row());
  host_.on_category_combo_selected();

  port.set_menu_enabled(c::kItemAdd, false);
  port.set_menu_enabled(c::kMenuCategories, false);
  port.set_menu_enabled(c::kMenuEdit, false);
  for (std::string_view box : {c::kAddDirectory, c::kAddPath, c::kAddName, c::kAddDescription})
    port.set_text(box, {});

  std::string path = p0;
  std::string name;
  if (is_shortcut_path(p0)) {
    name = tool_name_from_path(p0);
    path = platform::resolve_shortcut(std::string(native_path));
  } else {
    name = tool_name_from_path(path);
  }
  path = insert_host_token(path, host_program_directory());

  port.set_current_page(c::kPages, c::kAddPage);
  port.set_visible(c::kOverlay, true);

  port.set_text(c::kAddName, name);
  port.set_text(c::kAddPath, path);
  port.set_text(c::kAddDirectory, add_panel_directory(path));
  port.set_text(c::kAddDescription, name);

  // Icons of the dropped file itself: for a shortcut, the .lnk's own icon.
  const std::string icon_source(native_path);
  held_[0] = imaging::extract_file_icon(icon_source, 32);
  held_[2] = imaging::extract_file_icon(icon_source, 48);
  held_[1] = imaging::scale_image(held_[2], 40, 40);
  show_held(c::kAddSlots, false);
}

void Panels::on_add_browse() {
  std::optional<std::string> chosen = host_.port().choose_open_file(c::kAddDialog);
  if (chosen) open_add_panel(*chosen);
}

void Panels::on_add_slot_double_clicked(int slot) {
  choose_slot_image(Variant::add, slot);
}

void Panels::on_add_cancel() {
  close_editor();
  host_.port().set_menu_enabled(c::kItemAdd, true);
}

void Panels::on_add_confirm() {
  app::WindowPort& port = host_.port();
  ToolRecord tool;
  if (!read_texts({c::kAddPath, c::kAddDirectory, c::kAddName, c::kAddDescription},
                  {&tool.path, &tool.directory, &tool.name, &tool.description}))
    return;
  if (tool.path.empty() || tool.directory.empty() || tool.name.empty()) {
    inform("不允许添加空数据。", MessageIcon::warning);
    return;
  }
  tool.icon32 = held_[0];
  tool.icon40 = held_[1];
  tool.icon48 = held_[2];

  storage::Database& db = host_.database();
  DatabaseFieldStore store(db);
  const int before = db.has_current_table() ? db.record_count() : 0;
  switch (add_tool(store, tool, [this](std::string_view t) { return text_width(t); })) {
    case AddResult::append_failed:
      inform("添加数据记录失败，请确保程序有对应数据库及目录的写入权限。", MessageIcon::error);
      return;
    case AddResult::name_not_written:
      // A record without a name would show up as a blank tool in the host: take it out
      // again. The new record is still the current one.
      if (db.has_current_table() && db.record_count() > before && db.mark_deleted())
        db.pack_table();
      inform("写入数据记录失败，请确保程序有对应数据库及目录的写入权限。", MessageIcon::error);
      return;
    case AddResult::partly_written:
      // The tool is there under its name; say so instead of reporting success, and show
      // it so that it can be completed in the view/modify panel.
      inform("工具已加入，但部分内容未能写入数据库。请在查看/修改中检查该工具后重新保存。",
             MessageIcon::error);
      break;
    case AddResult::added:
      inform("成功加入~", MessageIcon::none);
      break;
  }
  close_editor();
  host_.reload_category();
  port.set_menu_enabled(c::kItemAdd, true);
  port.select_row(c::kToolList, port.row_count(c::kToolList) - 1);
  port.set_focus(c::kToolList);
}

}  // namespace editing
