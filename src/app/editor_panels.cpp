#include "app/editor_panels.h"

#include "app/catalogue.h"
#include "editing/panel_controls.h"

namespace app {

namespace c = editing::controls;

int EditorPanels::open_category_row() {
  return category_row(shell_.open_category());
}

EditorPanels::EditorPanels(Shell& shell, DropHook* drop_hook, DropSource* drop_source)
    : shell_(shell), panels_(*this) {
  editing::Panels& p = panels_;
  EventTable& e = shell.events();
  ShellHooks& hooks = shell.hooks();
  hooks.open_add_panel = [&p](std::string_view path) { p.open_add_panel(path); };
  hooks.open_view_panel = [&p] { p.open_view_panel(); };
  if (drop_hook && drop_source) {
    hooks.started = [drop_hook, drop_source, &p] {
      drop_hook->attach_drop_hook(*drop_source,
                                  [&p](std::string_view path) { p.open_add_panel(path); });
    };
    hooks.stopping = [drop_hook] { drop_hook->detach_drop_hook(); };
  }

  e.bind(c::kAddBrowse, Event::clicked, [&p] { p.on_add_browse(); });
  e.bind(c::kAddConfirm, Event::clicked, [&p] { p.on_add_confirm(); });
  e.bind(c::kAddCancel, Event::clicked, [&p] { p.on_add_cancel(); });
  e.bind(c::kAddClose, Event::clicked, [&p] { p.on_add_cancel(); });
  e.bind(c::kAddHelp, Event::clicked, [&p] { p.show_help(); });
  e.bind(c::kAddSlots, Event::slot_double_clicked,
         EventTable::Handler([&p](int slot) { p.on_add_slot_double_clicked(slot); }));

  e.bind(c::kViewSave, Event::clicked, [&p] { p.on_view_save(); });
  e.bind(c::kViewCancel, Event::clicked, [&p] { p.on_view_cancel(); });
  e.bind(c::kViewClose, Event::clicked, [&p] { p.on_view_cancel(); });
  e.bind(c::kViewHelp, Event::clicked, [&p] { p.show_help(); });
  e.bind(c::kViewBrowse, Event::clicked, [&p] { p.on_view_browse(); });
  e.bind(c::kViewExtract, Event::clicked, [&p] { p.extract_slot_icons(); });
  e.bind(c::kViewSlots, Event::slot_double_clicked,
         EventTable::Handler([&p](int slot) { p.on_view_slot_double_clicked(slot); }));
  e.bind(c::kViewSlots, Event::slot_right_pressed,
         EventTable::Handler([&p](int slot) { p.on_view_slot_right_pressed(slot); }));
  e.bind(c::kViewTitle, Event::double_clicked, [&p] { p.on_view_title_double_clicked(); });

  e.bind(c::kRenameText, Event::text_changed, [&p] { p.on_rename_text_changed(); });
  e.bind(c::kRenameSave, Event::clicked, [&p] { p.on_rename_save(); });
  e.bind(c::kRenameClose, Event::clicked, [&p] { p.on_rename_close(); });
}

}  // namespace app
