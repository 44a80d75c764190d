// The view/modify panel: the selected tool's record, changed in place.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "editing/panel_controls.h"
#include "editing/panels.h"
#include "editing/path_rules.h"
#include "imaging/imaging.h"
#include "platform/host_path.h"
#include "platform/shortcut.h"

namespace editing {

namespace c = controls;
using app::MessageAnswer;
using app::MessageButtons;
using app::MessageIcon;

namespace {

// '*' any run, '?' one byte: the host's file lookup takes both as wildcards.
bool wildcard_match(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// A directory entry of that name, of any kind; a last component with wildcards counts
// when any entry of its folder matches it.
bool entry_exists(const std::string& native) {
  namespace fs = std::filesystem;
  if (native.empty()) return false;
  std::error_code ec;
  const fs::path path(native);
  const std::string leaf = path.filename().string();
  if (leaf.find_first_of("*?") == std::string::npos)
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (wildcard_match(leaf, it->path().filename().string())) return true;
  return false;
}

}  // namespace

void Panels::open_view_panel() {
  app::WindowPort& port = host_.port();
  const int row = port.selected_row(c::kToolList);
  if (row == -1) {
    inform("请选中需要修改的项目。", MessageIcon::warning);
    return;
  }
  DatabaseFieldStore store(host_.database());
  ToolRecord tool;
  // A record that cannot be read is not shown: saving its empty fields would wipe it.
  if (!read_tool(store, row + 1, &tool)) {
    inform("读取数据记录失败，请检查程序是否有对应数据库的读取权限。", MessageIcon::error);
    return;
  }
  view_record_ = row + 1;

  for (std::string_view menu : {c::kMenuCategories, c::kMenuEdit, c::kMenuHelp})
    port.set_menu_enabled(menu, false);
  port.set_visible(c::kOverlay, true);
  port.set_current_page(c::kPages, c::kViewPage);

  port.set_text(c::kViewName, tool.name);
  port.set_text(c::kViewDescription, tool.description);
  port.set_text(c::kViewPath, tool.path);
  port.set_text(c::kViewDirectory, tool.directory);

  held_[0] = tool.icon32;
  held_[1] = tool.icon40.empty() ? std::string(imaging::default_icon_40()) : tool.icon40;
  held_[2] = tool.icon48.empty() ? std::string(imaging::default_icon_48()) : tool.icon48;
  // A stored animated GIF plays as the host plays it.
  show_held(c::kViewSlots, true);
}

void Panels::on_view_save() {
  ToolRecord tool;
  if (!read_texts({c::kViewName, c::kViewDescription, c::kViewPath, c::kViewDirectory},
                  {&tool.name, &tool.description, &tool.path, &tool.directory}))
    return;
  tool.icon32 = held_[0];
  tool.icon40 = held_[1];
  tool.icon48 = held_[2];

  DatabaseFieldStore store(host_.database());
  bool all_written = false;
  if (!store.go_to_record(view_record_) ||
      !save_tool(
          store, tool, [this](std::string_view t) { return text_width(t); }, &all_written)) {
    inform("写数据库失败，未进行任何操作。请检查程序是否有对应数据库的写入权限。",
           MessageIcon::error);
    return;
  }
  if (!all_written) {
    // The panel keeps every change, so saving again can complete it.
    inform("写数据库失败，部分内容未能保存。请检查程序是否有对应数据库的写入权限后重新保存。",
           MessageIcon::error);
    return;
  }
  close_editor();
  host_.reload_category();
}

void Panels::on_view_cancel() {
  close_editor();
}

void Panels::on_view_browse() {
  app::WindowPort& port = host_.port();
  std::optional<std::string> chosen = port.choose_open_file(c::kViewDialog);
  if (!chosen) return;
  std::string path;
  platform::ShellLink link;
  // A picked shortcut stands for its target, without its arguments, as a file dialog of
  // the host's platform hands it over.
  if (is_shortcut_path(*chosen) && platform::read_shell_link(*chosen, &link) &&
      !link.target.empty()) {
    path = link.target;
  } else if (!to_host_path(*chosen, &path)) {
    return;
  }
  path = insert_host_token(path, host_program_directory());
  port.set_text(c::kViewPath, path);
  port.set_text(c::kViewDirectory, view_panel_directory(path));
}

void Panels::extract_slot_icons() {
  std::string path;
  if (!read_texts({c::kViewPath}, {&path})) return;
  const std::string native =
      platform::host_to_native_path(expand_host_token(path, host_program_directory()));
  if (!entry_exists(native) &&
      inform("文件不存在，继续将会使用系统默认的空白图标，是否继续？", MessageIcon::question,
             MessageButtons::yes_no) != MessageAnswer::yes)
    return;
  held_[0] = imaging::extract_file_icon(native, 32);
  held_[2] = imaging::extract_file_icon(native, 48);
  held_[1] = imaging::scale_image(held_[2], 40, 40);
  show_held(c::kViewSlots, false);
}

void Panels::on_view_slot_double_clicked(int slot) {
  choose_slot_image(Variant::view, slot);
}

void Panels::on_view_slot_right_pressed(int slot) {
  if (slot != 2) return;
  // Not reported: the file is only a convenience for looking at the icon elsewhere.
  std::ofstream out(host_.program_directory() + "/48临时.png", std::ios::binary | std::ios::trunc);
  out.write(held_[2].data(), static_cast<std::streamsize>(held_[2].size()));
}

}  // namespace editing
