// The application shell: start-up and shutdown, the open category and its table, the tool
// list, the list commands and the notice countdown. One shell drives one window through
// the window port; every handler runs to completion on the window's thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/events.h"
#include "app/window_port.h"
#include "storage/database.h"

namespace app {

// What the editor panels and the file drop intake plug into the shell. An empty hook does
// nothing: until the panels exist, 添加工具 shows its hint and stops there, and 修改 and a
// double-click on a row open nothing.
struct ShellHooks {
  // Opens the add panel filled from a file (native path; empty from the menu).
  std::function<void(std::string_view native_path)> open_add_panel;
  // Opens the selected tool (row selected_row() is record selected_row() + 1) in the
  // view/modify panel. Runs only while a table is open.
  std::function<void()> open_view_panel;
  // The last start-up step (after the icon slots, the imaging library and the countdown),
  // e.g. attaching the drop hook; and the last shutdown step, after the imaging library
  // has stopped, e.g. detaching it.
  std::function<void()> started;
  std::function<void()> stopping;
};

struct ShellOptions {
  // Directory of the executable as it was started (native, without a trailing slash).
  std::string program_dir;
  // Where the host toolbox's List and Skin entries must be: the working directory.
  std::string start_dir = ".";
};

class Shell {
 public:
  Shell(WindowPort& port, storage::Database& db, ShellOptions options);
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Binds the shell's own events and runs the start-up sequence. Returns the exit code
  // when the program must end at once (not started in a host toolbox folder).
  std::optional<int> start();
  void shutdown();

  // Makes `base_name` (UTF-8, one of the catalogue's) the open category and reloads it.
  void select_category(std::string_view base_name);
  // Closes the current table, opens the open category's table again and refills the list;
  // reports a failed open or a too old table itself.
  void reload_category();
  void fill_tool_list();
  // Handler of the combo box 组合框1: switches to the category of its current row.
  void on_category_combo_selected();

  // List commands.
  void add_tool();
  void delete_tool();
  void move_up();
  void move_down();
  void modify_tool();
  void show_help();
  void show_about();
  void on_list_right_clicked();
  void on_list_double_clicked();
  void on_notice_tick();
  void on_notice_button();

  // Exchanges the contents of records a and b (1-based) of the current table, carrying only
  // the tool fields the table has. Stops at the first failed write and puts back what was
  // already written; reports a failure itself. True when the records were exchanged.
  bool exchange_records(int a, int b);

  WindowPort& port() { return port_; }
  storage::Database& database() { return db_; }
  EventTable& events() { return events_; }
  ShellHooks& hooks() { return hooks_; }
  const std::string& program_dir() const { return options_.program_dir; }
  // Base name (UTF-8) of the open category.
  const std::string& open_category() const { return open_category_; }
  // Native path of a category's table.
  std::string table_path(std::string_view base_name) const;
  // True while the open category's table is the current table.
  bool has_table() const { return db_.has_current_table(); }
  int countdown() const { return countdown_; }

  // Shows an OK box with the caption "信息：" (text in UTF-8).
  MessageAnswer inform(std::string_view text, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::ok);

 private:
  void bind_events();
  bool refuse_without_table();
  bool entry_exists(const std::string& name) const;

  WindowPort& port_;
  storage::Database& db_;
  ShellOptions options_;
  EventTable events_;
  ShellHooks hooks_;
  std::string open_category_;
  int countdown_ = 10;
};

}  // namespace app
