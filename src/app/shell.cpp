#include "app/shell.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/catalogue.h"
#include "app/control_names.h"
#include "app/host_text.h"
#include "editing/tool_record.h"
#include "imaging/imaging.h"

namespace app {

namespace {

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Shell::Shell(WindowPort& port, storage::Database& db, ShellOptions options)
    : port_(port), db_(db), options_(std::move(options)) {}

MessageAnswer Shell::inform(std::string_view text, MessageIcon icon, MessageButtons buttons) {
  return port_.show_message({host_text(text), host_text(kCaptionInfo), icon, buttons});
}

// A directory entry of that name, of any kind; the host's folders come from a system that
// ignores case, so "list" counts for "List".
bool Shell::entry_exists(const std::string& name) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir(options_.start_dir);
  if (fs::symlink_status(dir / name, ec).type() != fs::file_type::not_found && !ec) return true;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (equal_ignoring_ascii_case(it->path().filename().string(), name)) return true;
  }
  return false;
}

std::optional<int> Shell::start() {
  bind_events();
  if (!entry_exists("List") || !entry_exists("Skin")) {
    inform("本工具需放到岚澄工具箱运行目录才能运行。", MessageIcon::none);
    return 0;
  }
  select_category(kFirstCategory);

  // The overlay is drawn as one solid panel in its line colour.
  port_.move(names::kEditorOverlay, 0, 0);
  port_.set_holder_colors(names::kEditorOverlay, 0x373737, 0x373737);
  port_.move(names::kNoticeHolder, 0, 0);

  for (std::string_view box : {names::kViewSlots, names::kAddSlots}) {
    for (int x : {0, 57, 122}) {
      int slot = port_.add_slot(box, x, 0);
      port_.set_slot_picture(box, slot, {});
    }
  }

  imaging::start_imaging();

  countdown_ = 10;
  port_.set_timer_interval(names::kNoticeTimer, 1000);
  if (hooks_.started) hooks_.started();
  return std::nullopt;
}

void Shell::shutdown() {
  imaging::stop_imaging();
  if (hooks_.stopping) hooks_.stopping();
}

void Shell::bind_events() {
  for (const Category& c : kCatalogue) {
    std::string base(c.base_name);
    events_.bind(c.label, Event::clicked, [this, base] { select_category(base); });
  }
  events_.bind(names::kCategoryCombo, Event::item_selected,
               [this] { on_category_combo_selected(); });
  events_.bind(names::kItemAdd, Event::clicked, [this] { add_tool(); });
  events_.bind(names::kItemModify, Event::clicked, [this] { modify_tool(); });
  events_.bind(names::kItemDelete, Event::clicked, [this] { delete_tool(); });
  events_.bind(names::kItemMoveUp, Event::clicked, [this] { move_up(); });
  events_.bind(names::kItemMoveDown, Event::clicked, [this] { move_down(); });
  events_.bind(names::kItemHelp, Event::clicked, [this] { show_help(); });
  events_.bind(names::kItemAbout, Event::clicked, [this] { show_about(); });
  events_.bind(names::kToolList, Event::right_clicked, [this] { on_list_right_clicked(); });
  events_.bind(names::kToolList, Event::double_clicked, [this] { on_list_double_clicked(); });
  events_.bind(names::kNoticeTimer, Event::tick, [this] { on_notice_tick(); });
  events_.bind(names::kNoticeButton, Event::clicked, [this] { on_notice_button(); });
}

std::string Shell::table_path(std::string_view base_name) const {
  // The folder's own spelling when it is not "List" exactly ("list", "LIST"); the table
  // file's case is matched by the storage layer.
  namespace fs = std::filesystem;
  std::string list = "List";
  std::error_code ec;
  if (!fs::exists(fs::path(options_.program_dir) / list, ec)) {
    for (fs::directory_iterator it(options_.program_dir, ec), end; !ec && it != end;
         it.increment(ec)) {
      std::string name = it->path().filename().string();
      if (equal_ignoring_ascii_case(name, list)) {
        list = name;
        break;
      }
    }
  }
  std::string path = options_.program_dir;
  path += "/" + list + "/";
  path += base_name;
  path += ".edb";
  return path;
}

void Shell::select_category(std::string_view base_name) {
  open_category_ = std::string(base_name);
  reload_category();
}

void Shell::on_category_combo_selected() {
  int row = port_.current_index(names::kCategoryCombo);
  if (row < 0 || row >= static_cast<int>(kCatalogue.size())) return;
  select_category(kCatalogue[row].base_name);
}

void Shell::reload_category() {
  db_.close_table();
  if (!db_.open_table(table_path(open_category_), kTablePassword)) {
    port_.show_message({host_text("打开数据库失败。"), host_text(kCaptionError), MessageIcon::error,
                        MessageButtons::ok});
    return;
  }
  if (!editing::is_supported_field_count(db_.field_count())) {
    inform("岚澄工具箱版本太低，请更新。", MessageIcon::warning);
    port_.request_close();
    return;
  }
  fill_tool_list();
}

void Shell::fill_tool_list() {
  // Only the four shown fields are read: the icons stay on disk. A column whose field
  // the table lacks stays empty rather than reading a missing field.
  const std::string_view shown[4] = {editing::kFieldName, editing::kFieldPath,
                                     editing::kFieldDirectory, editing::kFieldDescription};
  int number[4];
  for (int c = 0; c < 4; ++c) number[c] = db_.find_field(shown[c]);
  const std::string hint = host_text("双击查看");

  port_.clear_rows(names::kToolList);
  int n = db_.record_count();
  std::vector<std::string> cells(5);
  for (int i = 1; i <= n; ++i) {
    db_.go_to_record(i);
    for (int c = 0; c < 4; ++c) cells[c] = number[c] > 0 ? db_.read_field(number[c]).data : "";
    cells[4] = hint;
    port_.append_row(names::kToolList, cells);
  }
}

}  // namespace app
