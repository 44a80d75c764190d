// The main window's layout as data: every control with its name, kind, parent, geometry,
// caption, colours and font, the menu bar, the list columns and the bound events. The window
// is built from it once; nothing here depends on Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/events.h"

namespace ui {

enum class Kind {
  holder,         // rectangle with line and fill colour grouping its children
  panel,          // holder drawn as the frame of one page
  tab_container,  // pages without tab headers; its panels name their page
  label,
  edit,  // single line unless `multi_line`
  combo,
  flat_button,
  animation_box,    // hosts the icon slots
  list_view,        // report view
  drawing_surface,  // invisible, measures text
  timer,
  file_dialog,
  drop_target,
};

enum class FontRole { none, text, list, small };
enum class Align { left, centre };

inline constexpr std::string_view kFontFace = "微软雅黑";
int font_pixel_height(FontRole role);  // 15, 12, 11; 0 for none

struct ColourPair {
  uint32_t text = 0xFFFFFF;
  uint32_t background = 0x606060;
};

struct Control {
  std::string_view name;
  Kind kind;
  std::string_view parent;  // "" for the window's client area
  int left = 0, top = 0, width = 0, height = 0;
  std::string_view caption = {};  // UTF-8; CR LF breaks a button caption into lines
  FontRole font = FontRole::none;
  uint32_t text_colour = 0xC0C0C0;
  uint32_t background = 0x2D2D2D;  // labels, edits, combo, list, boxes, tab container
  uint32_t line = 0, fill = 0;     // holders and panels
  bool visible = true;
  bool enabled = true;
  Align align = Align::left;
  bool word_wrap = false;
  bool multi_line = false;  // edit: Enter breaks lines, each line centred, no scroll bars
  int page = -1;            // a panel in the tab container: its page index
  ColourPair normal = {}, hover = {0xFFFFFF, 0x808080}, focus = {};  // flat buttons
  app::Event events[2] = {};  // bound events, the first `event_count` of them
  int event_count = 0;
};

struct Column {
  std::string_view header;
  int width;
};

struct MenuItem {
  std::string_view caption;  // "-" is a separator
};

struct Menu {
  std::string_view caption;
  std::span<const MenuItem> items;
};

struct WindowSpec {
  std::string_view caption;
  int outer_width, outer_height;
  int client_width, client_height;
  uint32_t background;
};

const WindowSpec& window_spec();
std::span<const Control> controls();
std::span<const Column> list_columns();
std::span<const Menu> menus();
// The control of that name, nullptr when none.
const Control* find_control(std::string_view name);

}  // namespace ui
