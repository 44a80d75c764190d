// The editor panels plugged into the shell: their handlers bound to the controls' events,
// 添加工具, 修改 and a double-click on a row opening them, and the file drop intake feeding
// the add panel.
#pragma once

#include "app/drop_hook.h"
#include "app/shell.h"
#include "editing/panels.h"

namespace app {

class EditorPanels final : private editing::PanelHost {
 public:
  // Binds the panels into `shell` (before shell.start()). With a drop source, start-up ends
  // by attaching `drop_hook` to it and shutdown detaches it.
  EditorPanels(Shell& shell, DropHook* drop_hook = nullptr, DropSource* drop_source = nullptr);
  EditorPanels(const EditorPanels&) = delete;
  EditorPanels& operator=(const EditorPanels&) = delete;

  editing::Panels& panels() { return panels_; }

 private:
  WindowPort& port() override { return shell_.port(); }
  storage::Database& database() override { return shell_.database(); }
  const std::string& program_directory() override { return shell_.program_dir(); }
  int open_category_row() override;
  void on_category_combo_selected() override { shell_.on_category_combo_selected(); }
  void reload_category() override { shell_.reload_category(); }

  Shell& shell_;
  editing::Panels panels_;
};

}  // namespace app
