// A headless window for the shell's tests: keeps every control's state in memory, records
// every message box and answers Yes/No boxes from a script.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/window_port.h"
#include "platform/gbk.h"

namespace app_test {

// UTF-8 to GBK for expectations.
inline std::string gbk(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(platform::utf8_to_gbk(utf8, &out)) << utf8;
  return out;
}
inline std::string utf8(std::string_view gbk) {
  return platform::gbk_to_utf8(gbk);
}

struct Shown {
  std::string text;  // UTF-8, for readable failures
  std::string caption;
  app::MessageIcon icon;
  app::MessageButtons buttons;
};

class FakeWindow : public app::WindowPort {
 public:
  using Key = std::string;

  // Answers for the next Yes/No boxes, in order; an unscripted one is answered No and
  // fails the test.
  std::deque<app::MessageAnswer> answers;
  std::vector<Shown> messages;
  // Runs while a popup menu is open (e.g. to choose an item).
  std::function<void(std::string_view menu)> on_popup;
  // Runs when a message box is shown, before it is answered.
  std::function<void(const Shown&)> on_message;

  std::map<Key, std::string, std::less<>> texts;
  std::set<Key, std::less<>> disabled, hidden, hidden_items, disabled_menus;
  std::map<Key, std::pair<int, int>, std::less<>> positions;
  std::map<Key, std::pair<uint32_t, uint32_t>, std::less<>> holder_colours;
  std::map<Key, int, std::less<>> pages, indexes, timers, selected;
  std::map<Key, std::vector<std::vector<std::string>>, std::less<>> rows;
  std::map<Key, std::vector<std::pair<int, int>>, std::less<>> icon_slots;
  std::map<Key, std::string, std::less<>> filters;
  std::vector<std::string> popups;  // menus popped up, with 添加工具 visible or not
  // Files the next open-file dialogs return (nullopt: cancelled); an unscripted dialog is
  // cancelled and fails the test. Each dialog shown records its name and filter (UTF-8).
  std::deque<std::optional<std::string>> chosen_files;
  std::vector<std::pair<std::string, std::string>> dialogs_shown;
  struct Picture {
    std::string bytes;
    bool animate = false;
  };
  std::map<Key, std::map<int, Picture>, std::less<>> pictures;
  std::string focused;
  bool close_requested = false;
  int clears = 0;

  std::vector<std::string> message_texts() const {
    std::vector<std::string> out;
    for (const Shown& m : messages) out.push_back(m.text);
    return out;
  }
  std::vector<std::string> column(std::string_view list, int c) {
    std::vector<std::string> out;
    for (auto& r : rows[Key(list)]) out.push_back(utf8(r.at(c)));
    return out;
  }

  void set_text(std::string_view c, std::string_view t) override { texts[Key(c)] = t; }
  std::string text(std::string_view c) override {
    if (refusals.count(c)) return {};
    auto it = texts.find(c);
    return it == texts.end() ? std::string() : it->second;
  }
  // A control listed here holds a character GBK cannot: its text reads as "" and this
  // refusal (UTF-8) is what text_refusal reports.
  std::map<Key, std::string, std::less<>> refusals;
  std::string text_refusal(std::string_view c) override {
    auto it = refusals.find(c);
    return it == refusals.end() ? std::string() : gbk(it->second);
  }
  void set_enabled(std::string_view c, bool e) override {
    if (e)
      disabled.erase(Key(c));
    else
      disabled.insert(Key(c));
  }
  bool enabled(std::string_view c) override { return !disabled.count(c); }
  void set_visible(std::string_view c, bool v) override {
    if (v)
      hidden.erase(Key(c));
    else
      hidden.insert(Key(c));
  }
  bool visible(std::string_view c) override { return !hidden.count(c); }
  void set_focus(std::string_view c) override { focused = c; }
  void move(std::string_view c, int l, int t) override { positions[Key(c)] = {l, t}; }
  void set_holder_colors(std::string_view c, uint32_t line, uint32_t fill) override {
    holder_colours[Key(c)] = {line, fill};
  }
  void set_current_page(std::string_view c, int p) override { pages[Key(c)] = p; }
  int current_page(std::string_view c) override { return pages[Key(c)]; }
  void set_current_index(std::string_view c, int i) override { indexes[Key(c)] = i; }
  int current_index(std::string_view c) override {
    auto it = indexes.find(c);
    return it == indexes.end() ? -1 : it->second;
  }
  void clear_rows(std::string_view l) override {
    rows[Key(l)].clear();
    selected[Key(l)] = -1;
    ++clears;
  }
  void append_row(std::string_view l, const std::vector<std::string>& cells) override {
    rows[Key(l)].push_back(cells);
  }
  int row_count(std::string_view l) override { return static_cast<int>(rows[Key(l)].size()); }
  std::string cell(std::string_view l, int r, int c) override {
    auto& rs = rows[Key(l)];
    if (r < 0 || r >= static_cast<int>(rs.size())) return {};
    return rs[r].at(c);
  }
  int selected_row(std::string_view l) override {
    auto it = selected.find(l);
    return it == selected.end() ? -1 : it->second;
  }
  void select_row(std::string_view l, int r) override {
    if (r >= 0 && r < row_count(l)) selected[Key(l)] = r;
  }
  void set_menu_enabled(std::string_view m, bool e) override {
    if (e)
      disabled_menus.erase(Key(m));
    else
      disabled_menus.insert(Key(m));
  }
  bool menu_enabled(std::string_view m) override { return !disabled_menus.count(m); }
  void set_menu_item_visible(std::string_view i, bool v) override {
    if (v)
      hidden_items.erase(Key(i));
    else
      hidden_items.insert(Key(i));
  }
  bool menu_item_visible(std::string_view i) override { return !hidden_items.count(i); }
  void popup_menu(std::string_view m) override {
    popups.push_back(Key(m) +
                     (menu_item_visible("添加工具") ? " with 添加工具" : " without 添加工具"));
    if (on_popup) on_popup(m);
  }
  void set_timer_interval(std::string_view t, int ms) override { timers[Key(t)] = ms; }
  int timer_interval(std::string_view t) override { return timers[Key(t)]; }
  int add_slot(std::string_view b, int l, int t) override {
    icon_slots[Key(b)].push_back({l, t});
    return static_cast<int>(icon_slots[Key(b)].size()) - 1;
  }
  void set_slot_picture(std::string_view b, int slot, std::string_view bytes,
                        bool animate) override {
    pictures[Key(b)][slot] = {std::string(bytes), animate};
  }
  app::MessageAnswer show_message(const app::Message& m) override {
    Shown s{utf8(m.text), utf8(m.caption), m.icon, m.buttons};
    messages.push_back(s);
    if (on_message) on_message(s);
    if (m.buttons == app::MessageButtons::ok) return app::MessageAnswer::ok;
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << s.text;
      return app::MessageAnswer::no;
    }
    app::MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  void set_dialog_filter(std::string_view d, std::string_view f) override { filters[Key(d)] = f; }
  std::string dialog_filter(std::string_view d) override { return filters[Key(d)]; }
  std::optional<std::string> choose_open_file(std::string_view d) override {
    dialogs_shown.push_back({Key(d), utf8(filters[Key(d)])});
    if (chosen_files.empty()) {
      ADD_FAILURE() << "unscripted file dialog " << d;
      return std::nullopt;
    }
    std::optional<std::string> file = chosen_files.front();
    chosen_files.pop_front();
    return file;
  }
  // Six pixels a byte: enough for rules that only compare widths.
  int text_width(std::string_view t) override { return static_cast<int>(t.size()) * 6; }
  void request_close() override { close_requested = true; }
};

}  // namespace app_test
