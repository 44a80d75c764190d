// The three editor panels on the editor overlay: add a tool, view/modify the selected tool,
// and rename its display name. They share the held icons and close_editor.
//
// The panels drive the window through the window port only and reach the shell through
// PanelHost, so this layer needs nothing of the application library. The application binds
// each handler below to its control's event.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/window_port.h"
#include "editing/tool_record.h"
#include "storage/database.h"

namespace editing {

// What the panels need of the shell.
class PanelHost {
 public:
  virtual ~PanelHost() = default;
  virtual app::WindowPort& port() = 0;
  virtual storage::Database& database() = 0;
  // Native directory of the program, without a trailing separator.
  virtual const std::string& program_directory() = 0;
  // Catalogue row of the open category.
  virtual int open_category_row() = 0;
  // The handler of the category combo box: switches to the category of its current row.
  virtual void on_category_combo_selected() = 0;
  virtual void reload_category() = 0;
};

// Slot sizes in the order the slots were added to each animation box.
inline constexpr std::array<int, 3> kSlotSizes = {32, 40, 48};

// The help text of both 注意事项 buttons (UTF-8; lines joined by CR LF).
std::string_view panel_help_text();

class Panels {
 public:
  explicit Panels(PanelHost& host) : host_(host) {}
  Panels(const Panels&) = delete;
  Panels& operator=(const Panels&) = delete;

  // Add panel. `native_path` may be empty (the menu) or name a file, folder or shortcut.
  void open_add_panel(std::string_view native_path);
  void on_add_browse();   // "..."
  void on_add_confirm();  // 确定添加
  void on_add_cancel();   // 取消 and ×
  void on_add_slot_double_clicked(int slot);

  // View/modify panel.
  void open_view_panel();
  void on_view_save();  // 保存修改
  void on_view_cancel();
  void on_view_browse();
  void extract_slot_icons();
  void on_view_slot_double_clicked(int slot);
  void on_view_slot_right_pressed(int slot);
  void on_view_title_double_clicked();  // opens the rename panel

  // Rename panel.
  void on_rename_text_changed();
  void on_rename_save();
  void on_rename_close();

  void show_help();
  void close_editor();

  // The held icons: 32, 40 and 48 px image files, written on add and save.
  const std::array<std::string, 3>& held_icons() const { return held_; }
  // Record the view/modify panel edits (1-based), 0 when none was opened.
  int64_t view_record() const { return view_record_; }

 private:
  enum class Variant { add, view };
  void choose_slot_image(Variant variant, int slot);
  void show_held(std::string_view box, bool animate_first);
  // The texts of these edit boxes (GBK) into *out; false after refusing a text that GBK
  // cannot hold, with the message shown.
  bool read_texts(std::initializer_list<std::string_view> controls,
                  std::initializer_list<std::string*> out);
  // Host form of a native path; false after refusing a path that the host cannot hold.
  bool to_host_path(std::string_view native, std::string* host);
  std::string host_program_directory();
  int text_width(std::string_view text);
  app::MessageAnswer inform(std::string_view utf8, app::MessageIcon icon,
                            app::MessageButtons buttons = app::MessageButtons::ok);
  void inform_host_text(std::string_view gbk, app::MessageIcon icon);

  PanelHost& host_;
  std::array<std::string, 3> held_;
  int64_t view_record_ = 0;
};

}  // namespace editing
